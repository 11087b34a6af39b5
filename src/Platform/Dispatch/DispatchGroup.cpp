#include "Platform/Dispatch/DispatchGroup.h"

#include "Platform/Dispatch/DispatchQueue.h"
#include "Platform/Support/FatalError.h"

namespace qor::platform {

void DispatchGroup::enter() {
    std::lock_guard lock(mutex_);
    ++count_;
}

void DispatchGroup::leave() {
    decltype(notifications_) due;
    {
        std::lock_guard lock(mutex_);
        if (count_ == 0) fatalError("DispatchGroup.leave called more times than enter");
        if (--count_ > 0) return;
        due.swap(notifications_);
        empty_.notify_all();
    }
    for (auto& [queue, block] : due) queue->async(std::move(block));
}

void DispatchGroup::notify(std::shared_ptr<DispatchQueue> queue, std::function<void()> block) {
    {
        std::lock_guard lock(mutex_);
        if (count_ > 0) {
            notifications_.emplace_back(std::move(queue), std::move(block));
            return;
        }
    }
    queue->async(std::move(block));
}

void DispatchGroup::wait() {
    std::unique_lock lock(mutex_);
    empty_.wait(lock, [this] { return count_ == 0; });
}

bool DispatchGroup::wait(std::chrono::nanoseconds timeout) {
    std::unique_lock lock(mutex_);
    return empty_.wait_for(lock, timeout, [this] { return count_ == 0; });
}

}  // namespace qor::platform
