#include "Platform/Dispatch/RunLoop.h"

#include <algorithm>
#include <sstream>
#include <utility>

#include "Platform/Dispatch/DeadlineScheduler.h"
#include "Platform/Dispatch/Thread.h"
#include "Platform/Dispatch/Timer.h"
#include "Platform/Support/FatalError.h"

namespace qor::platform {
namespace {

constexpr std::chrono::milliseconds predicatePollInterval(2);

}  // namespace

RunLoop::RunLoop(bool isMain) : isMain_(isMain), owner_(std::this_thread::get_id()) {}

std::shared_ptr<RunLoop>& RunLoop::mainPointer() {
    // Never destroyed (the exit-time rule): other threads post to it until the process ends.
    static auto* loop = new std::shared_ptr<RunLoop>(new RunLoop(true));
    return *loop;
}

RunLoop& RunLoop::main() { return *mainPointer(); }

RunLoop& RunLoop::current() {
    if (Thread::isMainThread()) return main();
    thread_local std::shared_ptr<RunLoop> loop(new RunLoop(false));
    return *loop;
}

std::string RunLoop::name() const {
    if (isMain_) return "run loop main";
    std::ostringstream text;
    text << "run loop of thread " << owner_;
    return text.str();
}

void RunLoop::checkOwner() const {
    const bool owned = isMain_ ? Thread::isMainThread() : owner_ == std::this_thread::get_id();
    if (!owned) fatalError("RunLoop run from a thread that does not own it");
}

void RunLoop::run() { runLoop(nullptr, nullptr); }

bool RunLoop::runUntil(Clock::time_point deadline) { return runLoop(&deadline, nullptr) == Exit::stopped; }

bool RunLoop::runUntil(const std::function<bool()>& predicate, std::chrono::milliseconds timeout) {
    const auto deadline = deadlineAfter(Clock::now(), timeout);
    return runLoop(&deadline, &predicate) == Exit::predicate;
}

void RunLoop::stop() {
    std::lock_guard lock(mutex_);
    if (activeRuns_ > 0) stopRequested_ = true;
    wake_.notify_all();
}

void RunLoop::perform(std::function<void()> block) {
    {
        std::lock_guard lock(mutex_);
        blocks_.push_back(std::move(block));
    }
    // Woken after the lock is let go, so the loop does not wake only to wait for it.
    wake_.notify_all();
}

RunLoop::Exit RunLoop::runLoop(const Clock::time_point* deadline, const std::function<bool()>* predicate) {
    checkOwner();
    struct ActiveRun {
        RunLoop& loop;
        explicit ActiveRun(RunLoop& l) : loop(l) {
            std::lock_guard lock(loop.mutex_);
            ++loop.activeRuns_;
        }
        ~ActiveRun() {
            std::lock_guard lock(loop.mutex_);
            if (--loop.activeRuns_ == 0) loop.stopRequested_ = false;
        }
    } active(*this);

    for (;;) {
        if (predicate != nullptr && (*predicate)()) return Exit::predicate;
        std::unique_lock lock(mutex_);
        if (stopRequested_) {
            stopRequested_ = false;
            return Exit::stopped;
        }
        const auto now = Clock::now();
        // Due timers first, so that a steady stream of blocks cannot starve them; a fired
        // repeating timer is re-added with a future date, so blocks get their turn too.
        if (!timers_.empty() && timers_.begin()->first <= now) {
            const auto fireDate = timers_.begin()->first;
            auto timer = std::move(timers_.begin()->second);
            timers_.erase(timers_.begin());
            lock.unlock();
            try {
                timer->fireFromRunLoop(fireDate);
            } catch (...) {
                stopForUncaughtException(name(), std::current_exception(), "A timer");
            }
            continue;
        }
        if (!blocks_.empty()) {
            auto block = std::move(blocks_.front());
            blocks_.pop_front();
            lock.unlock();
            // Nobody waits for a performed block: what it throws has no caller to go to.
            try {
                block();
            } catch (...) {
                stopForUncaughtException(name(), std::current_exception());
            }
            continue;
        }
        if (deadline != nullptr && now >= *deadline) return Exit::deadline;
        auto wakeAt = deadline != nullptr ? *deadline : Clock::time_point::max();
        if (!timers_.empty() && timers_.begin()->first < wakeAt) wakeAt = timers_.begin()->first;
        // A predicate may watch state that other threads change without waking the loop.
        if (predicate != nullptr) wakeAt = std::min(wakeAt, now + predicatePollInterval);
        wakeAt = std::min(wakeAt, now + longestWait);
        wake_.wait_until(lock, wakeAt);
    }
}

void RunLoop::addTimer(std::shared_ptr<Timer> timer, Clock::time_point fireDate) {
    std::lock_guard lock(mutex_);
    // Checked under the loop's lock: an invalidate() racing with a re-arm either sees the
    // timer here and removes it, or its flag is seen here and the timer is not re-added.
    if (!timer->isValid()) return;
    timers_.emplace(fireDate, std::move(timer));
    wake_.notify_all();
}

void RunLoop::removeTimer(const Timer* timer) {
    std::shared_ptr<Timer> removed;  // released after the lock
    std::lock_guard lock(mutex_);
    for (auto it = timers_.begin(); it != timers_.end(); ++it) {
        if (it->second.get() == timer) {
            removed = std::move(it->second);
            timers_.erase(it);
            return;
        }
    }
}

}  // namespace qor::platform
