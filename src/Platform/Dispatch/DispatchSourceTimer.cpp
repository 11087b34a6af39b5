#include "Platform/Dispatch/DispatchSourceTimer.h"

#include <utility>

#include "Platform/Dispatch/DeadlineScheduler.h"
#include "Platform/Dispatch/DispatchQueue.h"
#include "Platform/Support/FatalError.h"

namespace qor::platform {

std::shared_ptr<DispatchSourceTimer> DispatchSourceTimer::make(std::shared_ptr<DispatchQueue> queue) {
    return std::make_shared<DispatchSourceTimer>(ConstructionKey<DispatchSourceTimer>{}, std::move(queue));
}

DispatchSourceTimer::DispatchSourceTimer(ConstructionKey<DispatchSourceTimer>, std::shared_ptr<DispatchQueue> queue)
    : queue_(std::move(queue)) {}

DispatchSourceTimer::~DispatchSourceTimer() {
    if (armedEntry_ != 0) DeadlineScheduler::shared().cancel(armedEntry_);
}

void DispatchSourceTimer::schedule(std::chrono::nanoseconds deadlineFromNow, std::chrono::nanoseconds repeating,
                                   std::chrono::nanoseconds leeway) {
    std::lock_guard lock(mutex_);
    if (cancelled_) return;
    repeating_ = repeating;
    leeway_ = leeway;
    missedSuspended_ = false;
    firesAgain_ = false;
    armLocked(deadlineAfter(Clock::now(), deadlineFromNow));
}

void DispatchSourceTimer::armLocked(Clock::time_point deadline) {
    auto& scheduler = DeadlineScheduler::shared();
    if (armedEntry_ != 0) scheduler.cancel(armedEntry_);
    deadline_ = deadline;
    const std::uint64_t generation = ++generation_;
    armedEntry_ = scheduler.schedule(deadline, [weak = weak_from_this(), generation] {
        if (auto self = weak.lock()) self->deadlineReached(generation);
    });
}

void DispatchSourceTimer::deadlineReached(std::uint64_t generation) {
    std::lock_guard lock(mutex_);
    if (cancelled_ || generation != generation_) return;
    armedEntry_ = 0;
    if (repeating_ > std::chrono::nanoseconds::zero() && repeating_ != never) {
        // Deadlines stay on the grid set by schedule(); ones this thread was too late for are merged.
        const auto now = Clock::now();
        auto next = deadlineAfter(deadline_, repeating_);
        if (next <= now) next += ((now - next) / repeating_ + 1) * repeating_;
        if (next != Clock::time_point::max()) armLocked(next);
    }
    if (suspendCount_ > 0) {
        missedSuspended_ = true;
    } else if (queued_) {
        firesAgain_ = true;
    } else {
        submitLocked();
    }
}

void DispatchSourceTimer::submitLocked() {
    queued_ = true;
    queue_->async([weak = weak_from_this()] {
        if (auto self = weak.lock()) self->deliver();
    });
}

void DispatchSourceTimer::deliver() {
    std::unique_lock lock(mutex_);
    if (cancelled_) {
        queued_ = false;
        return;
    }
    if (suspendCount_ > 0) {
        queued_ = false;
        missedSuspended_ = true;
        return;
    }
    auto handler = handler_;
    invoking_ = true;
    invokingThread_ = std::this_thread::get_id();
    lock.unlock();
    if (handler && *handler) (*handler)();
    handler.reset();  // a replaced handler dies here, outside the lock
    lock.lock();
    invoking_ = false;
    invocationDone_.notify_all();
    queued_ = false;
    if (firesAgain_ && !cancelled_) {
        firesAgain_ = false;
        if (suspendCount_ > 0) {
            missedSuspended_ = true;
        } else {
            submitLocked();
        }
    }
}

void DispatchSourceTimer::setEventHandler(std::function<void()> handler) {
    auto replacement = std::make_shared<const Handler>(std::move(handler));
    std::unique_lock lock(mutex_);
    if (cancelled_) return;
    handler_.swap(replacement);
    lock.unlock();  // the old handler's captures are released outside the lock
}

void DispatchSourceTimer::suspend() {
    std::lock_guard lock(mutex_);
    ++suspendCount_;
}

void DispatchSourceTimer::resume() {
    std::unique_lock lock(mutex_);
    if (suspendCount_ == 0) {
        lock.unlock();
        fatalError("DispatchSourceTimer resumed more times than it was suspended");
    }
    if (--suspendCount_ > 0 || !missedSuspended_ || cancelled_) return;
    missedSuspended_ = false;
    if (!queued_) submitLocked();
}

void DispatchSourceTimer::cancel() {
    std::shared_ptr<const Handler> released;
    std::unique_lock lock(mutex_);
    if (!cancelled_) {
        cancelled_ = true;
        ++generation_;
        if (armedEntry_ != 0) DeadlineScheduler::shared().cancel(armedEntry_);
        armedEntry_ = 0;
        released = std::move(handler_);
    }
    if (invoking_ && invokingThread_ != std::this_thread::get_id()) {
        invocationDone_.wait(lock, [this] { return !invoking_; });
    }
}

bool DispatchSourceTimer::isCancelled() const {
    std::lock_guard lock(mutex_);
    return cancelled_;
}

}  // namespace qor::platform
