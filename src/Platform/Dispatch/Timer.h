#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>

namespace qor::platform {

class RunLoop;

// A timer on the run loop of the thread that creates it; it fires only while that loop
// runs. The loop keeps a scheduled timer alive until it is invalidated (a one-shot timer
// invalidates itself after firing), so the caller need not hold the returned pointer.
class Timer : public std::enable_shared_from_this<Timer> {
public:
    using Block = std::function<void(Timer&)>;

    // First firing one interval from now; a repeating timer then fires every interval,
    // skipping the firings its loop was too busy to make.
    static std::shared_ptr<Timer> scheduledTimer(std::chrono::nanoseconds interval, bool repeats, Block block);

    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    bool isValid() const;
    // Stops the timer from any thread and releases its block. Once invalidate() returns the
    // loop begins no further firing; one it had already begun on its thread completes.
    void invalidate();
    // Runs the block now on the calling thread; a one-shot timer is then invalidated.
    // A repeating timer keeps its schedule. Does nothing on an invalid timer.
    void fire();

    std::chrono::nanoseconds interval() const { return interval_; }
    bool repeats() const { return repeats_; }

private:
    friend class RunLoop;
    Timer(std::chrono::nanoseconds interval, bool repeats, Block block);
    std::shared_ptr<const Block> takeBlockForFiring() const;
    void fireFromRunLoop(std::chrono::steady_clock::time_point scheduledDate);

    const std::chrono::nanoseconds interval_;
    const bool repeats_;
    std::weak_ptr<RunLoop> loop_;
    mutable std::mutex mutex_;
    std::shared_ptr<const Block> block_;  // null once invalid
};

}  // namespace qor::platform
