#include "Analytics/Timeline.h"

namespace qor {

Timeline::Timeline() {
    for (auto& mediator : mediators_) mediator = std::make_shared<Mediator>();
}

std::optional<AnyRawEvent> Timeline::runStage(PluginType type, std::optional<AnyRawEvent> event) const {
    if (!event) return std::nullopt;
    const Mediator& stage = mediator(type);
    if (stage.empty()) return event;
    return stage.run(std::move(*event));
}

void Timeline::add(const std::shared_ptr<Plugin>& plugin) {
    if (!plugin) return;
    mediator(plugin->type()).add(plugin);
}

void Timeline::remove(const std::shared_ptr<Plugin>& plugin) {
    if (!plugin) return;
    for (auto type : allPluginTypes) {
        const std::size_t removed = mediator(type).removeAll(plugin);
        for (std::size_t index = 0; index < removed; ++index) plugin->shutdown();
    }
}

std::shared_ptr<DestinationPlugin> Timeline::find(const std::string& key) const {
    for (const auto& plugin : mediator(PluginType::destination).plugins()) {
        auto destination = std::dynamic_pointer_cast<DestinationPlugin>(plugin);
        if (destination && destination->key() == key) return destination;
    }
    return nullptr;
}

void Timeline::apply(const std::function<void(const std::shared_ptr<Plugin>&)>& closure) const {
    for (auto type : allPluginTypes) {
        for (const auto& plugin : mediator(type).plugins()) {
            closure(plugin);
            if (auto destination = std::dynamic_pointer_cast<DestinationPlugin>(plugin)) destination->apply(closure);
        }
    }
}

}  // namespace qor
