#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "Platform/Support/ConstructionKey.h"

namespace qor::platform {

class DispatchQueue;

// A timer that runs its event handler on a queue.
//
// - A new source is suspended once: it fires only after schedule() and a resume().
// - suspend()/resume() are counted; a resume() without a matching suspend() is fatal.
//   Deadlines that pass while suspended are not lost: the source fires once on resume.
// - Firings never overlap, even on a concurrent queue; deadlines that pass while a firing
//   is still queued or running are merged into one more firing.
// - Every firing that begins after setEventHandler() returns uses the new handler; one
//   already under way may still finish with the old one.
// - Once cancel() returns, the handler is not running and never runs again: cancel() waits
//   for a firing under way on another thread (so do not cancel while holding something
//   the handler needs). Called from inside the handler it returns at once. cancel() also
//   releases the handler.
// - The source lives as long as someone holds it; dropping the last reference cancels it,
//   whether it is suspended or not.
class DispatchSourceTimer : public std::enable_shared_from_this<DispatchSourceTimer> {
public:
    using Clock = std::chrono::steady_clock;
    // A repeat interval meaning "fire once".
    static constexpr std::chrono::nanoseconds never = std::chrono::nanoseconds::max();

    static std::shared_ptr<DispatchSourceTimer> make(std::shared_ptr<DispatchQueue> queue);

    DispatchSourceTimer(const DispatchSourceTimer&) = delete;
    DispatchSourceTimer& operator=(const DispatchSourceTimer&) = delete;
    ~DispatchSourceTimer();

    // First deadline `deadlineFromNow` from now, then every `repeating` (never, zero or less:
    // once). Replaces any earlier schedule. The leeway is accepted for callers' sake; the
    // source aims at the deadline itself.
    void schedule(std::chrono::nanoseconds deadlineFromNow, std::chrono::nanoseconds repeating = never,
                  std::chrono::nanoseconds leeway = std::chrono::nanoseconds::zero());
    void setEventHandler(std::function<void()> handler);

    void suspend();
    void resume();
    void cancel();
    bool isCancelled() const;

    DispatchSourceTimer(ConstructionKey<DispatchSourceTimer>, std::shared_ptr<DispatchQueue> queue);

private:
    using Handler = std::function<void()>;
    void armLocked(Clock::time_point deadline);
    void deadlineReached(std::uint64_t generation);
    void submitLocked();
    void deliver();

    const std::shared_ptr<DispatchQueue> queue_;
    mutable std::mutex mutex_;
    std::condition_variable invocationDone_;
    bool invoking_ = false;
    std::thread::id invokingThread_;
    std::shared_ptr<const Handler> handler_;
    int suspendCount_ = 1;
    bool cancelled_ = false;
    bool queued_ = false;           // a firing is queued or running
    bool firesAgain_ = false;       // a deadline passed while queued_
    bool missedSuspended_ = false;  // a deadline passed while suspended
    std::chrono::nanoseconds repeating_ = never;
    std::chrono::nanoseconds leeway_ = std::chrono::nanoseconds::zero();
    Clock::time_point deadline_{};
    std::uint64_t generation_ = 0;
    std::uint64_t armedEntry_ = 0;
};

}  // namespace qor::platform
