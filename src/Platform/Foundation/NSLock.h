#pragma once

#include <mutex>

namespace qor::platform {

// A plain non-recursive lock; usable with std::lock_guard and std::unique_lock.
class NSLock {
public:
    NSLock() = default;
    NSLock(const NSLock&) = delete;
    NSLock& operator=(const NSLock&) = delete;

    void lock() { mutex_.lock(); }
    void unlock() { mutex_.unlock(); }
    bool tryLock() { return mutex_.try_lock(); }
    bool try_lock() { return tryLock(); }

private:
    std::mutex mutex_;
};

}  // namespace qor::platform
