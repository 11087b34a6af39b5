#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include <QORUniversalSDK/Platform/Support/Export.h>

namespace qor::platform {

class Timer;

// The event loop of one thread. Blocks handed to perform() (the main queue's blocks, on
// the main run loop) and the thread's Timers run only inside run()/runUntil(), on the
// thread that owns the loop. Any thread may call perform() and stop(). A block or timer
// that throws stops the process with a fatal message naming the loop, as a queue's block does:
// nobody waits for it, so its exception has no caller to go to.
class QOR_EXPORT RunLoop : public std::enable_shared_from_this<RunLoop> {
public:
    using Clock = std::chrono::steady_clock;

    // The calling thread's loop (on the main thread: the main loop).
    static RunLoop& current();
    // The main thread's loop, reachable from every thread.
    static RunLoop& main();

    RunLoop(const RunLoop&) = delete;
    RunLoop& operator=(const RunLoop&) = delete;

    // Runs until stop().
    void run();
    // Runs until the deadline or stop(); returns true when stop() ended it, false on the deadline.
    bool runUntil(Clock::time_point deadline);
    // Runs until the predicate holds, stop() or the timeout; returns whether the predicate held.
    // The predicate is checked after each block or timer and every few milliseconds while
    // idle, so it may watch state that other threads change.
    bool runUntil(const std::function<bool()>& predicate, std::chrono::milliseconds timeout);
    // Ends the innermost run call in progress; does nothing when the loop is not running.
    void stop();

    // Queues a block for a later turn of the loop, after the blocks already queued.
    void perform(std::function<void()> block);

    bool isMain() const { return isMain_; }

private:
    friend class Timer;
    enum class Exit { stopped, deadline, predicate };

    explicit RunLoop(bool isMain);
    static std::shared_ptr<RunLoop>& mainPointer();
    Exit runLoop(const Clock::time_point* deadline, const std::function<bool()>* predicate);
    void checkOwner() const;
    // "run loop main", or the owning thread's; names the loop when a block or timer throws.
    std::string name() const;

    // Timer bookkeeping; a scheduled timer is kept alive by its loop until invalidated.
    void addTimer(std::shared_ptr<Timer> timer, Clock::time_point fireDate);
    void removeTimer(const Timer* timer);

    const bool isMain_;
    const std::thread::id owner_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> blocks_;
    std::multimap<Clock::time_point, std::shared_ptr<Timer>> timers_;
    std::size_t activeRuns_ = 0;
    bool stopRequested_ = false;
};

}  // namespace qor::platform
