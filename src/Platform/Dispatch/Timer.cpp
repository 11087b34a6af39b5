#include "Platform/Dispatch/Timer.h"

#include <utility>

#include "Platform/Dispatch/DeadlineScheduler.h"
#include "Platform/Dispatch/RunLoop.h"

namespace qor::platform {
namespace {

// A repeating timer at (or below) zero would spin its loop.
constexpr std::chrono::nanoseconds minimumRepeatInterval = std::chrono::microseconds(100);

}  // namespace

Timer::Timer(std::chrono::nanoseconds interval, bool repeats, Block block)
    : interval_(repeats && interval < minimumRepeatInterval ? minimumRepeatInterval : interval),
      repeats_(repeats),
      block_(std::make_shared<const Block>(std::move(block))) {}

std::shared_ptr<Timer> Timer::scheduledTimer(std::chrono::nanoseconds interval, bool repeats, Block block) {
    std::shared_ptr<Timer> timer(new Timer(interval, repeats, std::move(block)));
    RunLoop& loop = RunLoop::current();
    timer->loop_ = loop.shared_from_this();
    loop.addTimer(timer, deadlineAfter(RunLoop::Clock::now(), timer->interval_));
    return timer;
}

bool Timer::isValid() const {
    std::lock_guard lock(mutex_);
    return block_ != nullptr;
}

std::shared_ptr<const Timer::Block> Timer::takeBlockForFiring() const {
    std::lock_guard lock(mutex_);
    return block_;
}

void Timer::invalidate() {
    std::shared_ptr<const Block> released;
    {
        std::lock_guard lock(mutex_);
        released = std::move(block_);
        block_ = nullptr;
    }
    if (!released) return;
    if (auto loop = loop_.lock()) loop->removeTimer(this);
}

void Timer::fire() {
    const auto block = takeBlockForFiring();
    if (!block) return;
    (*block)(*this);
    if (!repeats_) invalidate();
}

void Timer::fireFromRunLoop(std::chrono::steady_clock::time_point scheduledDate) {
    const auto block = takeBlockForFiring();
    if (!block) return;
    (*block)(*this);
    if (!repeats_) {
        invalidate();
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    auto next = deadlineAfter(scheduledDate, interval_);
    if (next <= now) next += ((now - next) / interval_ + 1) * interval_;
    if (auto loop = loop_.lock()) loop->addTimer(shared_from_this(), next);
}

}  // namespace qor::platform
