#include "Analytics/Plugin.h"

#include "Analytics/Analytics.h"
#include "Analytics/System.h"
#include "Analytics/Timeline.h"
#include "Core/KeyPath.h"

namespace qor {

std::optional<PluginType> pluginTypeFromRawValue(int rawValue) {
    if (rawValue < 0 || rawValue > 4) return std::nullopt;
    return static_cast<PluginType>(rawValue);
}

// MARK: Plugin

std::shared_ptr<Analytics> Plugin::analytics() const {
    std::lock_guard<std::mutex> guard(analyticsMutex_);
    return analytics_.lock();
}

void Plugin::setAnalytics(std::weak_ptr<Analytics> analytics) {
    std::lock_guard<std::mutex> guard(analyticsMutex_);
    analytics_ = std::move(analytics);
}

void Plugin::configure(const std::shared_ptr<Analytics>& analytics) { setAnalytics(analytics); }

void Plugin::update(const Settings&, UpdateType) {}

std::optional<AnyRawEvent> Plugin::execute(AnyRawEvent event) { return event; }

void Plugin::shutdown() {}

// MARK: EventPlugin

namespace {

template <class T>
std::optional<AnyRawEvent> wrap(std::optional<T> event) {
    if (!event) return std::nullopt;
    return AnyRawEvent(std::move(*event));
}

}  // namespace

std::optional<AnyRawEvent> EventPlugin::dispatchToHandler(AnyRawEvent event) {
    return std::visit(
        [this](auto&& typed) -> std::optional<AnyRawEvent> {
            using T = std::decay_t<decltype(typed)>;
            if constexpr (std::is_same_v<T, IdentifyEvent>) return wrap(identify(std::move(typed)));
            if constexpr (std::is_same_v<T, TrackEvent>) return wrap(track(std::move(typed)));
            if constexpr (std::is_same_v<T, ScreenEvent>) return wrap(screen(std::move(typed)));
            if constexpr (std::is_same_v<T, AliasEvent>) return wrap(alias(std::move(typed)));
            if constexpr (std::is_same_v<T, GroupEvent>) return wrap(group(std::move(typed)));
        },
        std::move(event));
}

std::optional<AnyRawEvent> EventPlugin::execute(AnyRawEvent event) { return dispatchToHandler(std::move(event)); }

// MARK: DestinationPlugin

DestinationPlugin::DestinationPlugin() : timeline_(std::make_shared<Timeline>()) {}

std::shared_ptr<Plugin> DestinationPlugin::add(const std::shared_ptr<Plugin>& plugin) {
    if (auto owner = analytics()) plugin->configure(owner);
    timeline_->add(plugin);
    return plugin;
}

void DestinationPlugin::apply(const std::function<void(const std::shared_ptr<Plugin>&)>& closure) {
    timeline_->apply(closure);
}

void DestinationPlugin::remove(const std::shared_ptr<Plugin>& plugin) { timeline_->remove(plugin); }

void DestinationPlugin::configure(const std::shared_ptr<Analytics>& analytics) {
    setAnalytics(analytics);
    apply([&analytics](const std::shared_ptr<Plugin>& plugin) { plugin->configure(analytics); });
}

std::optional<AnyRawEvent> DestinationPlugin::execute(AnyRawEvent event) { return deliver(std::move(event)); }

bool DestinationPlugin::accepts(const RawEvent& event) const {
    bool flag = true;
    const std::string name = key();
    const auto* members = event.integrations ? event.integrations->object() : nullptr;
    // Empty integrations (as every new event has them) name no destination.
    if (event.integrations && !(members && members->empty())) {
        // The key is split at its dots here, unlike in the settings: "qor.io" reads the
        // member "io" of the object "qor".
        if (auto explicitFlag = event.integrations->value<bool>(KeyPath(name))) flag = *explicitFlag;
    }
    auto owner = analytics();
    if (!owner) return false;
    // The settings are asked in the store, not copied out of it for every event.
    const auto listed = owner->store()->withState<System>(
        [&name](const System& system) { return system.settings && system.settings->hasIntegrationSettings(name); });
    return listed.value_or(false) && flag;
}

std::optional<AnyRawEvent> DestinationPlugin::deliver(AnyRawEvent event) {
    if (!accepts(common(event))) return std::nullopt;
    const std::size_t kind = event.index();
    auto keepsKind = [kind](std::optional<AnyRawEvent> result) -> std::optional<AnyRawEvent> {
        if (result && result->index() != kind) return std::nullopt;
        return result;
    };
    auto before = keepsKind(timeline_->runStage(PluginType::before, std::optional<AnyRawEvent>(std::move(event))));
    auto enriched = keepsKind(timeline_->runStage(PluginType::enrichment, std::move(before)));
    std::optional<AnyRawEvent> handled;
    if (enriched) handled = keepsKind(dispatchToHandler(std::move(*enriched)));
    return keepsKind(timeline_->runStage(PluginType::after, std::move(handled)));
}

std::optional<platform::AnyDictionary> integrationSettings(const Settings& settings, const DestinationPlugin& plugin) {
    return settings.integrationSettings(plugin.key());
}

bool hasIntegrationSettings(const Settings& settings, const DestinationPlugin& plugin) {
    return settings.hasIntegrationSettings(plugin.key());
}

}  // namespace qor
