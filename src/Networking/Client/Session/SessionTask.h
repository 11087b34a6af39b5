#pragma once

#include "Core/Delegate.h"
#include "Networking/Client/AnyError.h"
#include "Platform/Foundation/Data.h"
#include "Platform/Foundation/URL.h"
#include "Platform/Foundation/URLRequest.h"
#include "Platform/Foundation/URLResponse.h"
#include "Platform/Net/URLSession.h"
#include "Platform/Net/URLSessionTask.h"

#include <memory>
#include <optional>

namespace qor {

class Session;

// What the platform reported when a task ended: the bytes gathered, the answer's metadata and
// the transport error.
struct SessionTaskOutcome {
    std::optional<platform::Data> data;
    std::shared_ptr<platform::URLResponse> response;
    std::optional<AnyError> error;
};

// One request in flight. The task table of the SessionDelegate holds it until the platform
// reports completion; the caller of send or upload may keep a second reference.
class SessionTask {
public:
    // Makes, but does not resume, the platform task: an upload from the file when one is given.
    SessionTask(std::shared_ptr<platform::URLSession> session, platform::URLRequest request,
                const std::optional<platform::URL>& fileURL);
    SessionTask(const SessionTask&) = delete;
    SessionTask& operator=(const SessionTask&) = delete;

    const std::shared_ptr<platform::URLSession> session;
    const std::shared_ptr<platform::URLSessionDataTask> task;

    // The request as built, held once by the platform task (a batch's body can be large).
    const platform::URLRequest& request() const { return task->originalRequest(); }

    // The answer's bytes gathered so far; written only on the session's delegate queue.
    platform::Data mutableData;
    // The result handling, set before the task is registered and run once at completion.
    Delegate<SessionTaskOutcome> onResult;
    // The Session that sent it, which the handling holds.
    std::weak_ptr<const Session> owner;
};

}  // namespace qor
