#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <unordered_map>
#include <utility>

namespace qor::platform {

// `from + delay`, pinned to the clock's range: a huge delay means "not in this process's
// lifetime", never a wrapped-around time in the past. Takes any duration type so that
// converting, say, milliseconds::max() to nanoseconds cannot overflow either.
template <class Rep, class Period>
std::chrono::steady_clock::time_point deadlineAfter(std::chrono::steady_clock::time_point from,
                                                    std::chrono::duration<Rep, Period> delay) {
    using std::chrono::duration_cast;
    using std::chrono::nanoseconds;
    using Delay = std::chrono::duration<Rep, Period>;
    using TimePoint = std::chrono::steady_clock::time_point;
    if (delay > duration_cast<Delay>(nanoseconds::max())) return TimePoint::max();
    if (delay < duration_cast<Delay>(nanoseconds::min())) return TimePoint::min();
    const auto step = duration_cast<nanoseconds>(delay);
    const auto since = from.time_since_epoch();
    if (step > nanoseconds::zero() && step > TimePoint::max().time_since_epoch() - since) return TimePoint::max();
    if (step < nanoseconds::zero() && step < TimePoint::min().time_since_epoch() - since) return TimePoint::min();
    return from + step;
}

// Waits are cut into slices of at most this, so no wait is handed an extreme time.
inline constexpr std::chrono::hours longestWait(1);

// One process-wide thread that runs short actions at their deadlines (handing a block
// to a queue, waking a timer source). Actions must not block; they run outside the
// scheduler's lock, so they may schedule or cancel entries themselves.
class DeadlineScheduler {
public:
    using Clock = std::chrono::steady_clock;

    static DeadlineScheduler& shared();

    // Returns an id for cancel(); ids are never 0.
    std::uint64_t schedule(Clock::time_point deadline, std::function<void()> action);
    // Drops the entry if it has not started; unknown or finished ids are ignored.
    void cancel(std::uint64_t id);

private:
    DeadlineScheduler() = default;
    void loop();

    using Key = std::pair<Clock::time_point, std::uint64_t>;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<Key, std::function<void()>> entries_;
    std::unordered_map<std::uint64_t, Clock::time_point> deadlines_;
    std::uint64_t nextId_ = 1;
    bool started_ = false;
};

}  // namespace qor::platform
