#include "Networking/Client/Session/SessionDelegate.h"

#include "Platform/Dispatch/DispatchQueue.h"

#include <mutex>

namespace qor {

void SessionDelegate::registerTask(std::shared_ptr<SessionTask> task) {
    const auto identifier = task->task->taskIdentifier();
    std::lock_guard guard(lock_);
    tasks_[identifier] = std::move(task);
}

std::shared_ptr<SessionTask> SessionDelegate::removeTask(const platform::URLSessionTask& task) {
    std::lock_guard guard(lock_);
    const auto found = tasks_.find(task.taskIdentifier());
    if (found == tasks_.end()) return nullptr;
    auto removed = std::move(found->second);
    tasks_.erase(found);
    return removed;
}

std::shared_ptr<SessionTask> SessionDelegate::sessionTask(const platform::URLSessionTask& task) const {
    std::lock_guard guard(lock_);
    const auto found = tasks_.find(task.taskIdentifier());
    return found == tasks_.end() ? nullptr : found->second;
}

std::size_t SessionDelegate::taskCount() const {
    std::lock_guard guard(lock_);
    return tasks_.size();
}

void SessionDelegate::didReceiveData(platform::URLSession&, platform::URLSessionDataTask& task,
                                     const platform::Data& data) {
    if (const auto sessionTask = this->sessionTask(task)) {
        sessionTask->mutableData.insert(sessionTask->mutableData.end(), data.begin(), data.end());
    }
}

void SessionDelegate::didCompleteWithError(platform::URLSession&, platform::URLSessionTask& task,
                                           std::optional<platform::URLError> error) {
    if (dynamic_cast<platform::URLSessionDataTask*>(&task) == nullptr) return;
    const auto sessionTask = removeTask(task);
    if (!sessionTask) return;

    SessionTaskOutcome outcome{std::move(sessionTask->mutableData), task.response(), std::nullopt};
    if (error) outcome.error = AnyError::make(std::move(*error));

    // The handling runs once; afterwards the holder lets go of it (and of what it keeps alive).
    auto handling = std::move(sessionTask->onResult.block);
    sessionTask->onResult.block = nullptr;
    if (handling) handling(std::move(outcome));
    // The handling may hold the last reference to a Session that a second start-up replaced;
    // that Session owns this very URL session, so then it is let go of off the delegate queue.
    // Held by others too (the shared slot, until a second start-up replaces it), the Session
    // outlives the handling, which is let go of here: a hand-off to another thread for every
    // answer costs more than the answer's handling. The count is theirs, ours and the handling's.
    if (auto owner = sessionTask->owner.lock(); owner && owner.use_count() > 2) {
        handling = nullptr;
        return;
    }
    platform::DispatchQueue::global()->async([released = std::move(handling)] {});
}

}  // namespace qor
