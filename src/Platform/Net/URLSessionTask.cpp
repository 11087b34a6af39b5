#include "Platform/Net/URLSessionTask.h"

#include "Platform/Net/TransferEngine.h"
#include "Platform/Net/URLSession.h"

namespace qor::platform {

URLSessionTask::URLSessionTask(std::shared_ptr<URLSession> session, std::int64_t identifier, URLRequest request,
                               std::optional<URL> uploadFile, URLSessionCompletionHandler completionHandler)
    : session_(std::move(session)),
      engine_(session_->engine_),
      identifier_(identifier),
      request_(std::move(request)),
      uploadFile_(std::move(uploadFile)),
      completionHandler_(std::move(completionHandler)) {}

URLSessionTask::State URLSessionTask::state() const {
    std::lock_guard lock(mutex_);
    return state_;
}

std::shared_ptr<URLResponse> URLSessionTask::response() const {
    std::lock_guard lock(mutex_);
    return response_;
}

std::optional<URLError> URLSessionTask::error() const {
    std::lock_guard lock(mutex_);
    return error_;
}

void URLSessionTask::resume() {
    {
        std::lock_guard lock(mutex_);
        if (state_ != State::suspended) return;
        state_ = State::running;
    }
    engine_->start(shared_from_this());
}

void URLSessionTask::cancel() {
    {
        std::lock_guard lock(mutex_);
        if (state_ == State::completed || state_ == State::canceling) return;
        state_ = State::canceling;
    }
    engine_->cancel(shared_from_this());
}

void URLSessionTask::setResponse(std::shared_ptr<URLResponse> response) {
    std::lock_guard lock(mutex_);
    response_ = std::move(response);
}

bool URLSessionTask::markCompleted(std::optional<URLError> error) {
    std::lock_guard lock(mutex_);
    if (state_ == State::completed) return false;
    state_ = State::completed;
    error_ = std::move(error);
    return true;
}

}  // namespace qor::platform
