#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "Analytics/Plugin.h"
#include "Analytics/Store.h"
#include "Analytics/System.h"
#include "Core/Guarded.h"
#include "Platform/Dispatch/DispatchQueue.h"

namespace qor {

// Holds events back while the analytics system is not running: it takes every event out of
// the timeline and keeps the newest 1000; when a System state says running, it hands the
// kept events, oldest first, to Analytics::process and lets later events pass. It learns the
// flag from the System changes that follow its configuration (none is delivered at once).
class StartupQueue : public Plugin, public Subscriber, public std::enable_shared_from_this<StartupQueue> {
public:
    static constexpr std::size_t maxQueuedEvents = 1000;

    explicit StartupQueue(PluginType type = PluginType::before);
    static std::shared_ptr<StartupQueue> make(PluginType type = PluginType::before) {
        return std::make_shared<StartupQueue>(type);
    }

    PluginType type() const override { return type_; }

    bool running() const { return running_.wrappedValue(); }
    void setRunning(bool running) { running_.setWrappedValue(running); }

    // Stores the reference and, when it is alive, subscribes to its System state on the main
    // queue.
    void configure(const std::shared_ptr<Analytics>& analytics) override;
    std::optional<AnyRawEvent> execute(AnyRawEvent event) override;

    std::size_t queuedEventCount() const;

private:
    void systemStateDidChange(const System& state);
    void holdEvent(AnyRawEvent event);  // on syncQueue_
    void replayHeldEvents();            // on syncQueue_

    Guarded<bool> running_{false};
    const PluginType type_;
    const std::shared_ptr<platform::DispatchQueue> syncQueue_;
    std::vector<AnyRawEvent> queuedEvents_;  // on syncQueue_
};

}  // namespace qor
