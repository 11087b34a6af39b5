#include "Analytics/StartupPlugins.h"

#include "Analytics/Analytics.h"
#include "Analytics/Context.h"
#include "Analytics/QORDestination.h"
#include "Analytics/iOSLifecycleEvents.h"
#include "Analytics/iOSVendorSystem.h"
#include "Core/VendorSystem.h"

namespace qor {

std::optional<std::vector<std::shared_ptr<Plugin>>> startupPluginList(const Configuration::Values& values) {
    std::vector<std::shared_ptr<Plugin>> plugins;
    plugins.push_back(Context::make());
    iOSVendorSystem::install();
    for (auto& plugin : VendorSystem::current()->requiredPlugins()) plugins.push_back(std::move(plugin));
    if (values.trackApplicationLifecycleEvents) plugins.push_back(std::make_shared<iOSLifecycleEvents>());
    if (plugins.empty()) return std::nullopt;
    return plugins;
}

void installDeliveryPlugins(Analytics& analytics) {
    if (analytics.find<Context>()) return;
    const auto self = analytics.shared_from_this();
    const auto values = analytics.configuration()->values();
    if (values.autoAddQORDestination) {
        // Its analytics reference is set first; adding it configures it (once: a second
        // configure would subscribe to the System state a second time).
        auto destination = QORDestination::make();
        destination->setAnalytics(self);
        analytics.add(destination);
    }
    if (auto plugins = startupPluginList(values)) {
        for (const auto& plugin : *plugins) analytics.add(plugin);
    }
}

}  // namespace qor
