#include "Analytics/StartupQueue.h"

#include "Analytics/Analytics.h"

namespace qor {

StartupQueue::StartupQueue(PluginType type)
    : type_(type), syncQueue_(platform::DispatchQueue::serial("startupQueue.qor.io")) {}

void StartupQueue::configure(const std::shared_ptr<Analytics>& analytics) {
    Plugin::configure(analytics);
    if (!analytics) return;
    std::weak_ptr<StartupQueue> weak = weak_from_this();
    if (weak.expired()) return;
    analytics->store()->subscribe<System>(std::weak_ptr<Subscriber>(shared_from_this()), false,
                                          platform::DispatchQueue::main(), [weak](const System& state) {
                                              if (auto self = weak.lock()) self->systemStateDidChange(state);
                                          });
}

std::optional<AnyRawEvent> StartupQueue::execute(AnyRawEvent event) {
    if (running()) return event;
    bool held = false;
    syncQueue_->sync([&] {
        // Read again here: a replay that has just finished switched the flag, and the event
        // would otherwise wait for the next running notification.
        if (running()) return;
        holdEvent(std::move(event));
        held = true;
    });
    if (held) return std::nullopt;
    return event;
}

void StartupQueue::holdEvent(AnyRawEvent event) {
    if (queuedEvents_.size() >= maxQueuedEvents) queuedEvents_.erase(queuedEvents_.begin());
    queuedEvents_.push_back(std::move(event));
}

void StartupQueue::systemStateDidChange(const System& state) {
    setRunning(state.running);
    if (state.running) syncQueue_->sync([this] { replayHeldEvents(); });
}

void StartupQueue::replayHeldEvents() {
    const auto snapshot = queuedEvents_;
    for (const auto& event : snapshot) {
        // Replayed events meet this plugin with the flag already on and pass.
        if (auto owner = analytics()) owner->process(event);
    }
    queuedEvents_.clear();
}

std::size_t StartupQueue::queuedEventCount() const {
    std::size_t count = 0;
    syncQueue_->sync([&] { count = queuedEvents_.size(); });
    return count;
}

}  // namespace qor
