#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "Platform/Foundation/Data.h"
#include "Platform/Foundation/URL.h"
#include "Platform/Foundation/URLError.h"
#include "Platform/Foundation/URLRequest.h"
#include "Platform/Foundation/URLResponse.h"

namespace qor::platform {

class URLSession;
namespace net {
class TransferEngine;
}

using URLSessionCompletionHandler =
    std::function<void(std::optional<Data>, std::shared_ptr<URLResponse>, std::optional<URLError>)>;

// One load of a session. A task starts suspended; resume() starts it once. It
// keeps its session alive until it is released.
class URLSessionTask : public std::enable_shared_from_this<URLSessionTask> {
public:
    enum class State { running = 0, suspended = 1, canceling = 2, completed = 3 };

    virtual ~URLSessionTask() = default;
    URLSessionTask(const URLSessionTask&) = delete;
    URLSessionTask& operator=(const URLSessionTask&) = delete;

    // Unique within the session, increasing in the order tasks are made.
    std::int64_t taskIdentifier() const { return identifier_; }
    const URLRequest& originalRequest() const { return request_; }
    State state() const;
    // The answer's metadata once it has started to arrive; nothing before.
    std::shared_ptr<URLResponse> response() const;
    std::optional<URLError> error() const;

    void resume();
    // Ends the task with the transport error "cancelled" unless it has already completed.
    void cancel();

protected:
    URLSessionTask(std::shared_ptr<URLSession> session, std::int64_t identifier, URLRequest request,
                   std::optional<URL> uploadFile, URLSessionCompletionHandler completionHandler);

private:
    friend class URLSession;
    friend class net::TransferEngine;

    // Both run on the session's I/O thread.
    void setResponse(std::shared_ptr<URLResponse> response);
    bool markCompleted(std::optional<URLError> error);

    const std::shared_ptr<URLSession> session_;
    const std::shared_ptr<net::TransferEngine> engine_;
    const std::int64_t identifier_;
    const URLRequest request_;
    const std::optional<URL> uploadFile_;
    const URLSessionCompletionHandler completionHandler_;

    mutable std::mutex mutex_;
    State state_ = State::suspended;
    std::shared_ptr<URLResponse> response_;
    std::optional<URLError> error_;
};

class URLSessionDataTask : public URLSessionTask {
protected:
    using URLSessionTask::URLSessionTask;
    friend class URLSession;
};

// A data task whose body is streamed from a file.
class URLSessionUploadTask : public URLSessionDataTask {
protected:
    using URLSessionDataTask::URLSessionDataTask;
    friend class URLSession;
};

}  // namespace qor::platform
