#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace qor::platform {

class DispatchQueue;

// Counts outstanding pieces of work; when the count returns to zero the registered
// notifications are queued and waiters wake. The group can be used again afterwards.
class DispatchGroup {
public:
    DispatchGroup() = default;
    DispatchGroup(const DispatchGroup&) = delete;
    DispatchGroup& operator=(const DispatchGroup&) = delete;

    void enter();
    // A leave without a matching enter is a fatal error.
    void leave();

    // Queues the block asynchronously on the queue once the count is zero: at once when it
    // already is, else when the last leave() comes.
    void notify(std::shared_ptr<DispatchQueue> queue, std::function<void()> block);

    void wait();
    // Returns true when the count reached zero within the timeout.
    bool wait(std::chrono::nanoseconds timeout);

private:
    std::mutex mutex_;
    std::condition_variable empty_;
    std::size_t count_ = 0;
    std::vector<std::pair<std::shared_ptr<DispatchQueue>, std::function<void()>>> notifications_;
};

}  // namespace qor::platform
