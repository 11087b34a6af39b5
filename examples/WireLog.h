#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Networking/Client/Session/SessionDelegate.h"
#include "Platform/Foundation/URLSessionDelegate.h"

namespace qor::example {

// One HTTP exchange of the SDK, as it went over the wire.
struct Exchange {
    std::string method;
    std::string url;
    std::string requestBody;    // empty for a request sent from a file
    std::optional<int> status;  // nothing when no answer came
    std::string responseBody;
    std::string error;  // the transport error's text, when there was one

    bool succeeded() const { return status && *status >= 200 && *status < 300; }
};

// Watches the HTTP traffic of the SDK's shared Session on its way to the SDK's own delegate, so
// the example can tell afterwards what was asked and answered. An app needs nothing of this: it
// is how the example writes its summary, whichever servers it talks to.
//
// Its calls come on the URL session's delegate queue; the readers may be called from any thread.
class WireLog final : public platform::URLSessionDataDelegate {
public:
    // Replaces the shared Session with one whose traffic the returned log sees. Exchanges that
    // the earlier Session started finish there, unseen.
    static std::shared_ptr<WireLog> watchSharedSession();

    explicit WireLog(std::shared_ptr<SessionDelegate> inner) : inner_(std::move(inner)) {}

    void didReceiveData(platform::URLSession& session, platform::URLSessionDataTask& task,
                        const platform::Data& data) override;
    void didCompleteWithError(platform::URLSession& session, platform::URLSessionTask& task,
                              std::optional<platform::URLError> error) override;

    // Every finished exchange, in the order they finished.
    std::vector<Exchange> exchanges() const;
    // How many have finished: a mark to read the exchanges of a stretch of work by.
    std::size_t finishedCount() const;
    // Requests started and not yet finished.
    std::size_t inFlight() const { return inner_->taskCount(); }

private:
    const std::shared_ptr<SessionDelegate> inner_;
    mutable std::mutex mutex_;
    std::map<std::int64_t, std::string> bodies_;
    std::vector<Exchange> exchanges_;
};

}  // namespace qor::example
