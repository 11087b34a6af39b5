#pragma once

#include <atomic>
#include <functional>
#include <memory>

#include "Core/Guarded.h"

namespace qor::platform {
class DispatchQueue;
class DispatchSourceTimer;
}  // namespace qor::platform

namespace qor {

// A repeating timer over a dispatch timer source that fires `handler` on `queue`.
// It can be suspended and resumed any number of times without unbalancing the
// source, and releasing it cancels the source.
class QueueTimer {
public:
    enum class State { suspended, resumed };

    // A running timer whose first firing comes one `interval` (seconds) after creation
    // and which then repeats every `interval`.
    QueueTimer(double interval, std::shared_ptr<platform::DispatchQueue> queue, std::function<void()> handler);
    static std::shared_ptr<QueueTimer> make(double interval, std::shared_ptr<platform::DispatchQueue> queue,
                                            std::function<void()> handler);
    ~QueueTimer();

    QueueTimer(const QueueTimer&) = delete;
    QueueTimer& operator=(const QueueTimer&) = delete;

    void suspend();
    void resume();

    State state() const { return state_.wrappedValue(); }
    double interval() const { return interval_; }
    const std::shared_ptr<platform::DispatchQueue>& queue() const { return queue_; }

private:
    // What the source's block reaches. The block never owns the QueueTimer itself, so
    // the timer's destruction never runs inside a firing that the timer caused.
    struct Firing {
        std::function<void()> handler;
        std::atomic<bool> live{true};
    };

    const double interval_;
    const std::shared_ptr<platform::DispatchQueue> queue_;
    const std::shared_ptr<Firing> firing_;
    std::shared_ptr<platform::DispatchSourceTimer> timer_;
    Guarded<State> state_{State::suspended};
};

}  // namespace qor
