#pragma once

#include <array>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include <QORUniversalSDK/Analytics/Events.h>
#include <QORUniversalSDK/Analytics/Settings/Settings.h>
#include <QORUniversalSDK/Platform/Support/Export.h>

namespace qor {

class Analytics;
class Timeline;

// The stage a plugin belongs to, in the order the stages run.
enum class PluginType { before = 0, enrichment = 1, destination = 2, after = 3, utility = 4 };

inline constexpr std::array<PluginType, 5> allPluginTypes{
    PluginType::before, PluginType::enrichment, PluginType::destination, PluginType::after, PluginType::utility};

// The stage with that raw value; nothing outside 0...4.
QOR_EXPORT std::optional<PluginType> pluginTypeFromRawValue(int rawValue);

// Why a plugin receives settings. Only `initial` is ever sent, when a plugin is added.
enum class UpdateType { initial, refresh };

// Every piece of analytics work that looks at or changes events. Plugins are compared by
// identity and keep their Analytics weakly.
//
// `execute` receives one event and returns the event to pass on (changed or not) or
// nothing to end the event's road. A result of another kind than the event it was given
// counts as nothing.
class QOR_EXPORT Plugin {
public:
    virtual ~Plugin() = default;

    virtual PluginType type() const = 0;

    std::shared_ptr<Analytics> analytics() const;
    void setAnalytics(std::weak_ptr<Analytics> analytics);

    // Stores the analytics reference.
    virtual void configure(const std::shared_ptr<Analytics>& analytics);
    virtual void update(const Settings& settings, UpdateType type);
    virtual std::optional<AnyRawEvent> execute(AnyRawEvent event);
    virtual void shutdown();

private:
    mutable std::mutex analyticsMutex_;
    std::weak_ptr<Analytics> analytics_;
};

// A plugin with one handler per event kind. Its default `execute` hands each event to the
// handler of its kind.
class QOR_EXPORT EventPlugin : public virtual Plugin {
public:
    virtual std::optional<IdentifyEvent> identify(IdentifyEvent event) { return event; }
    virtual std::optional<TrackEvent> track(TrackEvent event) { return event; }
    virtual std::optional<GroupEvent> group(GroupEvent event) { return event; }
    virtual std::optional<AliasEvent> alias(AliasEvent event) { return event; }
    virtual std::optional<ScreenEvent> screen(ScreenEvent event) { return event; }
    virtual void reset() {}
    virtual void flush() {}

    std::optional<AnyRawEvent> execute(AnyRawEvent event) override;

protected:
    // The handler of the event's kind.
    std::optional<AnyRawEvent> dispatchToHandler(AnyRawEvent event);
};

// A plugin that never sees events; reached through Analytics::apply or directly.
class QOR_EXPORT UtilityPlugin : public EventPlugin {};

// A plugin the platform installs at start-up.
class QOR_EXPORT PlatformPlugin : public virtual Plugin {};

// A plugin that can name its version.
class QOR_EXPORT VersionedPlugin {
public:
    virtual ~VersionedPlugin() = default;
    virtual std::string version() const = 0;
};

// A plugin that delivers events somewhere. It runs the events it accepts through a
// timeline of its own (before, enrichment, its handler, after). Its result never changes
// the event the next plugin of the stage sees.
class QOR_EXPORT DestinationPlugin : public EventPlugin {
public:
    DestinationPlugin();

    // Names the destination in the settings' integrations and in an event's integrations.
    virtual std::string key() const = 0;
    const std::shared_ptr<Timeline>& timeline() const { return timeline_; }

    // Configures the plugin with this destination's Analytics (when set), then adds it to
    // the destination's own timeline.
    virtual std::shared_ptr<Plugin> add(const std::shared_ptr<Plugin>& plugin);
    virtual void apply(const std::function<void(const std::shared_ptr<Plugin>&)>& closure);
    virtual void remove(const std::shared_ptr<Plugin>& plugin);

    // Stores the reference, then configures every plugin of the own timeline with it.
    void configure(const std::shared_ptr<Analytics>& analytics) override;
    std::optional<AnyRawEvent> execute(AnyRawEvent event) override;

    // On when the settings hold an entry under the whole key and the event does not switch
    // the destination off with an explicit false at the key's dotted path.
    bool accepts(const RawEvent& event) const;

protected:
    // The run of an accepted event through the own timeline and the kind's handler.
    std::optional<AnyRawEvent> deliver(AnyRawEvent event);

private:
    std::shared_ptr<Timeline> timeline_;
};

// The settings' entry of a destination, by its key.
QOR_EXPORT std::optional<platform::AnyDictionary> integrationSettings(const Settings& settings,
                                                                      const DestinationPlugin& plugin);
template <class T>
std::optional<T> integrationSettings(const Settings& settings, const DestinationPlugin& plugin) {
    return settings.integrationSettings<T>(plugin.key());
}
QOR_EXPORT bool hasIntegrationSettings(const Settings& settings, const DestinationPlugin& plugin);

// The event's kind as its index in AnyRawEvent.
inline bool sameKind(const AnyRawEvent& a, const AnyRawEvent& b) { return a.index() == b.index(); }

}  // namespace qor
