#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include <QORUniversalSDK/Analytics/Events.h>
#include <QORUniversalSDK/Analytics/Plugin.h>
#include <QORUniversalSDK/Platform/Support/Export.h>

namespace qor {

// The plugins of one stage, in the order they were added, and the loop that runs an event
// through them. The list may change while other threads run events: a run works on the
// list as it was when the run began, and no plugin is called with the list's lock held.
class QOR_EXPORT Mediator {
public:
    Mediator();

    // Appends the plugin (a plugin added twice runs twice), then offers it the current
    // settings of its Analytics, when it has one and settings exist.
    void add(const std::shared_ptr<Plugin>& plugin);
    // Takes out every entry that is this plugin and returns how many there were.
    std::size_t removeAll(const std::shared_ptr<Plugin>& plugin);

    // Runs the plugins in order. A plugin that returns nothing ends the run; a destination's
    // result is dropped, so the next plugin sees what the destination saw.
    std::optional<AnyRawEvent> run(AnyRawEvent event) const;
    // The same run for a caller that drops the result: a destination that comes last gets
    // the event itself instead of a copy.
    void runToEnd(AnyRawEvent event) const;

    // Without the list's lock: a stage with no plugins is passed over on every event.
    bool empty() const { return count_.load(std::memory_order_acquire) == 0; }

    std::vector<std::shared_ptr<Plugin>> plugins() const;

private:
    struct Entry {
        std::shared_ptr<Plugin> plugin;
        bool isDestination = false;
    };
    using List = std::vector<Entry>;

    std::shared_ptr<const List> snapshot() const;
    std::optional<AnyRawEvent> runEntries(AnyRawEvent event, bool resultNeeded) const;

    mutable std::mutex mutex_;
    std::shared_ptr<const List> entries_;  // replaced whole on each change
    std::atomic<std::size_t> count_{0};    // entries_->size(), kept beside it
};

}  // namespace qor
