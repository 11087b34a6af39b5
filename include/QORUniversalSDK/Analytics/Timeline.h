#pragma once

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include <QORUniversalSDK/Analytics/Events.h>
#include <QORUniversalSDK/Analytics/Mediator.h>
#include <QORUniversalSDK/Analytics/Plugin.h>
#include <QORUniversalSDK/Platform/Support/Export.h>

namespace qor {

// The plugins of one owner (the Analytics instance or a destination), one Mediator per
// stage. The mediators are made with the timeline and never replaced.
class QOR_EXPORT Timeline {
public:
    Timeline();

    // One stage: an absent event stays absent and reaches no plugin.
    std::optional<AnyRawEvent> runStage(PluginType type, std::optional<AnyRawEvent> event) const;

    template <class T>
    std::optional<T> runStage(PluginType type, std::optional<T> event) const {
        if (!event) return std::nullopt;
        const Mediator& stage = mediator(type);
        if (stage.empty()) return event;  // nothing to run: the event passes untouched
        auto result = stage.run(AnyRawEvent(std::move(*event)));
        if (!result) return std::nullopt;
        if (auto* same = std::get_if<T>(&*result)) return std::move(*same);
        return std::nullopt;
    }

    // To the mediator of the plugin's stage.
    void add(const std::shared_ptr<Plugin>& plugin);
    // Out of every stage; each listed entry receives shutdown() once.
    void remove(const std::shared_ptr<Plugin>& plugin);

    // The first plugin that is a T, over the stages in order.
    template <class T>
    std::shared_ptr<T> find() const {
        for (auto type : allPluginTypes) {
            for (const auto& plugin : mediator(type).plugins()) {
                if (auto found = std::dynamic_pointer_cast<T>(plugin)) return found;
            }
        }
        return nullptr;
    }
    // The first destination of the destination stage with that key.
    std::shared_ptr<DestinationPlugin> find(const std::string& key) const;

    // Every plugin, stage by stage; a destination's own plugins right after it.
    void apply(const std::function<void(const std::shared_ptr<Plugin>&)>& closure) const;

    Mediator& mediator(PluginType type) const { return *mediators_[static_cast<std::size_t>(type)]; }

private:
    std::array<std::shared_ptr<Mediator>, 5> mediators_;
};

}  // namespace qor
