#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "Analytics/Configuration.h"
#include "Analytics/Plugin.h"

namespace qor {

class Analytics;

// The platform's plugins for a new instance, in installation order: the context plugin
// (which starts its public-IP lookup), the vendor system's required plugins (lifecycle
// monitor, device token), then the lifecycle events when the configuration tracks them.
std::optional<std::vector<std::shared_ptr<Plugin>>> startupPluginList(const Configuration::Values& values);

// What start-up installs after the logging plugin: the upload destination when the
// configuration asks for it, then the platform's plugins, each configured with the instance
// and offered its settings as it is added. Does nothing when the instance's timeline already
// holds a context plugin, so a second call never installs twice.
void installDeliveryPlugins(Analytics& analytics);

}  // namespace qor
