#pragma once

#include <optional>

#include "Platform/Foundation/Data.h"
#include "Platform/Foundation/URLError.h"

namespace qor::platform {

class URLSession;
class URLSessionTask;
class URLSessionDataTask;

// Receives the events of a session's tasks on the session's delegate queue, in
// order per task: the answer's bytes chunk by chunk as they arrive, then exactly
// one completion. Tasks made with a completion handler report there instead.
class URLSessionDataDelegate {
public:
    virtual ~URLSessionDataDelegate() = default;

    virtual void didReceiveData(URLSession& session, URLSessionDataTask& task, const Data& data);
    // `error` is empty when an answer arrived, whatever its HTTP status.
    virtual void didCompleteWithError(URLSession& session, URLSessionTask& task, std::optional<URLError> error);
};

}  // namespace qor::platform
