#include "Platform/Net/URLSession.h"

#include <algorithm>

#include "Platform/Dispatch/OperationQueue.h"
#include "Platform/Net/TransferEngine.h"

namespace qor::platform {

namespace {

// make_shared needs public constructors; the task types keep theirs protected.
template <class Task>
struct Constructible : Task {
    template <class... Arguments>
    explicit Constructible(Arguments&&... arguments) : Task(std::forward<Arguments>(arguments)...) {}
};

}  // namespace

std::shared_ptr<URLSession> URLSession::make(URLSessionConfiguration configuration,
                                             std::shared_ptr<URLSessionDataDelegate> delegate,
                                             std::shared_ptr<OperationQueue> delegateQueue) {
    if (!delegateQueue) delegateQueue = OperationQueue::make("URLSession delegate queue");
    return std::shared_ptr<URLSession>(
        new URLSession(std::move(configuration), std::move(delegate), std::move(delegateQueue)));
}

URLSession::URLSession(URLSessionConfiguration configuration, std::shared_ptr<URLSessionDataDelegate> delegate,
                       std::shared_ptr<OperationQueue> delegateQueue)
    : configuration_(std::move(configuration)),
      delegateQueue_(std::move(delegateQueue)),
      engine_(net::TransferEngine::make(configuration_)),
      delegate_(std::move(delegate)) {}

URLSession::~URLSession() {
    // Every task holds its session, so no task of ours is left to report.
    engine_->shutdown();
}

std::shared_ptr<URLSessionDataDelegate> URLSession::delegate() const {
    std::lock_guard lock(mutex_);
    return delegate_;
}

template <class Task>
std::shared_ptr<Task> URLSession::makeTask(URLRequest request, std::optional<URL> uploadFile,
                                           URLSessionCompletionHandler completionHandler) {
    std::lock_guard lock(mutex_);
    std::int64_t identifier = nextIdentifier_++;
    auto task = std::make_shared<Constructible<Task>>(shared_from_this(), identifier, std::move(request),
                                                      std::move(uploadFile), std::move(completionHandler));
    // Finished tasks are swept out once the table has doubled since the last sweep, not on
    // every new task: a round of many tasks stays linear.
    if (tasks_.size() >= 2 * tasksAfterSweep_) {
        for (auto entry = tasks_.begin(); entry != tasks_.end();) {
            auto existing = entry->second.lock();
            if (!existing || existing->state() == URLSessionTask::State::completed) {
                entry = tasks_.erase(entry);
            } else {
                ++entry;
            }
        }
        tasksAfterSweep_ = std::max<std::size_t>(tasks_.size(), 8);
    }
    tasks_.emplace(identifier, task);
    return task;
}

std::shared_ptr<URLSessionDataTask> URLSession::dataTask(URLRequest request) {
    return makeTask<URLSessionDataTask>(std::move(request), std::nullopt, nullptr);
}

std::shared_ptr<URLSessionDataTask> URLSession::dataTask(URLRequest request,
                                                         URLSessionCompletionHandler completionHandler) {
    return makeTask<URLSessionDataTask>(std::move(request), std::nullopt, std::move(completionHandler));
}

std::shared_ptr<URLSessionUploadTask> URLSession::uploadTask(URLRequest request, const URL& fromFile) {
    return makeTask<URLSessionUploadTask>(std::move(request), fromFile, nullptr);
}

void URLSession::invalidateAndCancel() {
    std::vector<std::shared_ptr<URLSessionTask>> unfinished;
    {
        std::lock_guard lock(mutex_);
        for (auto& [identifier, weak] : tasks_) {
            if (auto task = weak.lock()) unfinished.push_back(std::move(task));
        }
    }
    // Tasks never resumed end as cancelled too; running ones are cancelled by the engine.
    for (auto& task : unfinished) task->cancel();
    engine_->invalidate(shared_from_this(), true);
}

void URLSession::finishTasksAndInvalidate() { engine_->invalidate(shared_from_this(), false); }

void URLSession::deliverEvent(net::TaskEvent& event) {
    auto& task = *event.task;
    auto& session = *task.session_;
    if (event.kind == net::TaskEvent::Kind::data) {
        if (auto delegate = session.delegate()) {
            delegate->didReceiveData(session, static_cast<URLSessionDataTask&>(task), event.data);
        }
        return;
    }
    if (task.completionHandler_) {
        task.completionHandler_(std::move(event.collected), task.response(), std::move(event.error));
        return;
    }
    if (auto delegate = session.delegate()) delegate->didCompleteWithError(session, task, std::move(event.error));
}

// Always through the delegate queue's own workers, never on the I/O thread: the delegate and the
// completion handlers are host code, and one that takes its time must not hold up the transfers.
void URLSession::deliverEvents(std::vector<net::TaskEvent> events) {
    delegateQueue_->addOperation([events = std::move(events)]() mutable {
        for (auto& event : events) deliverEvent(event);
    });
}

void URLSession::deliverInvalidation() {
    // Queued behind every event already handed to the delegate queue.
    delegateQueue_->addOperation([self = shared_from_this()] {
        std::shared_ptr<URLSessionDataDelegate> released;
        std::lock_guard lock(self->mutex_);
        released = std::move(self->delegate_);
    });
}

}  // namespace qor::platform
