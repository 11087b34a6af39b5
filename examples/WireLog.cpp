#include "WireLog.h"

#include "Networking/Client/Session/Session.h"
#include "Platform/Foundation/HTTPURLResponse.h"
#include "Platform/Foundation/URLSession.h"
#include "Platform/Foundation/URLSessionConfiguration.h"
#include "Platform/Foundation/URLSessionTask.h"

namespace qor::example {

std::shared_ptr<WireLog> WireLog::watchSharedSession() {
    auto inner = std::make_shared<SessionDelegate>();
    auto log = std::make_shared<WireLog>(inner);
    Session::setSharedInstance(Session::make(
        platform::URLSession::make(platform::URLSessionConfiguration::defaultConfiguration(), log), inner));
    return log;
}

void WireLog::didReceiveData(platform::URLSession& session, platform::URLSessionDataTask& task,
                             const platform::Data& data) {
    {
        std::lock_guard guard(mutex_);
        bodies_[task.taskIdentifier()].append(data.begin(), data.end());
    }
    inner_->didReceiveData(session, task, data);
}

void WireLog::didCompleteWithError(platform::URLSession& session, platform::URLSessionTask& task,
                                   std::optional<platform::URLError> error) {
    const auto& request = task.originalRequest();
    Exchange exchange;
    exchange.method = request.httpMethod();
    exchange.url = request.url() ? request.url()->absoluteString() : "";
    if (const auto& body = request.httpBody()) exchange.requestBody.assign(body->begin(), body->end());
    const auto http = std::dynamic_pointer_cast<platform::HTTPURLResponse>(task.response());
    if (http && !error) exchange.status = http->statusCode();
    if (error) exchange.error = error->localizedDescription();
    {
        std::lock_guard guard(mutex_);
        exchange.responseBody = std::move(bodies_[task.taskIdentifier()]);
        bodies_.erase(task.taskIdentifier());
        exchanges_.push_back(std::move(exchange));
    }
    inner_->didCompleteWithError(session, task, error);
}

std::vector<Exchange> WireLog::exchanges() const {
    std::lock_guard guard(mutex_);
    return exchanges_;
}

std::size_t WireLog::finishedCount() const {
    std::lock_guard guard(mutex_);
    return exchanges_.size();
}

}  // namespace qor::example
