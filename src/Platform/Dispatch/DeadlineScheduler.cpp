#include "Platform/Dispatch/DeadlineScheduler.h"

#include <algorithm>
#include <thread>

namespace qor::platform {

DeadlineScheduler& DeadlineScheduler::shared() {
    // Never destroyed (the exit-time rule): its thread and the queues it feeds may outlive
    // static destruction.
    static auto* scheduler = new DeadlineScheduler;
    return *scheduler;
}

std::uint64_t DeadlineScheduler::schedule(Clock::time_point deadline, std::function<void()> action) {
    std::lock_guard lock(mutex_);
    const std::uint64_t id = nextId_++;
    entries_.emplace(Key{deadline, id}, std::move(action));
    deadlines_.emplace(id, deadline);
    if (!started_) {
        started_ = true;
        std::thread([this] { loop(); }).detach();
    }
    changed_.notify_one();
    return id;
}

void DeadlineScheduler::cancel(std::uint64_t id) {
    std::function<void()> dropped;  // destroyed after the lock is released
    std::lock_guard lock(mutex_);
    const auto found = deadlines_.find(id);
    if (found == deadlines_.end()) return;
    const auto entry = entries_.find(Key{found->second, id});
    dropped = std::move(entry->second);
    entries_.erase(entry);
    deadlines_.erase(found);
}

void DeadlineScheduler::loop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (entries_.empty()) {
            changed_.wait(lock);
            continue;
        }
        const auto first = entries_.begin();
        // A copy: the entry may be cancelled (and its node freed) while we wait.
        const Clock::time_point deadline = first->first.first;
        const auto now = Clock::now();
        if (deadline > now) {
            changed_.wait_until(lock, std::min(deadline, now + longestWait));
            continue;
        }
        auto action = std::move(first->second);
        deadlines_.erase(first->first.second);
        entries_.erase(first);
        lock.unlock();
        action();
        action = nullptr;
        lock.lock();
    }
}

}  // namespace qor::platform
