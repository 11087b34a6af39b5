#include "Core/QueueTimer.h"

#include <chrono>
#include <cmath>
#include <optional>

#include "Platform/Dispatch/DispatchQueue.h"
#include "Platform/Dispatch/DispatchSourceTimer.h"

namespace qor {

namespace {

// The period the source aims at. An interval that is not a positive finite number of
// seconds, or one too long to add to a clock reading safely, gives no period: such a
// timer is never scheduled and never fires.
std::optional<std::chrono::nanoseconds> period(double seconds) {
    constexpr double maxSeconds = 1.0e9;  // about 31 years
    if (!std::isfinite(seconds) || seconds <= 0.0 || seconds > maxSeconds) return std::nullopt;
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::duration<double>(seconds));
}

}  // namespace

QueueTimer::QueueTimer(double interval, std::shared_ptr<platform::DispatchQueue> queue, std::function<void()> handler)
    : interval_(interval),
      queue_(std::move(queue)),
      firing_(std::make_shared<Firing>()),
      timer_(platform::DispatchSourceTimer::make(queue_)) {
    firing_->handler = std::move(handler);
    if (const auto every = period(interval_)) timer_->schedule(*every, *every, std::chrono::nanoseconds(0));
    std::weak_ptr<Firing> weakFiring = firing_;
    timer_->setEventHandler([weakFiring] {
        // Hold the firing state for the whole call: the handler may release the timer.
        if (auto firing = weakFiring.lock(); firing && firing->live.load()) firing->handler();
    });
    resume();
}

std::shared_ptr<QueueTimer> QueueTimer::make(double interval, std::shared_ptr<platform::DispatchQueue> queue,
                                             std::function<void()> handler) {
    return std::make_shared<QueueTimer>(interval, std::move(queue), std::move(handler));
}

QueueTimer::~QueueTimer() {
    firing_->live.store(false);
    timer_->setEventHandler([] {});
    timer_->cancel();
    // A source must never be released while suspended: resume the cancelled source.
    resume();
}

void QueueTimer::suspend() {
    // Test and change under one lock so that calls from several threads stay balanced.
    state_.mutate([this](State& state) {
        if (state != State::resumed) return;
        state = State::suspended;
        timer_->suspend();
    });
}

void QueueTimer::resume() {
    state_.mutate([this](State& state) {
        if (state != State::suspended) return;
        state = State::resumed;
        timer_->resume();
    });
}

}  // namespace qor
