#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "Analytics/Plugin.h"

namespace qor {

class Analytics;

// Adds the app's push-notification token to every event's context, under "device.token".
// Events pass unchanged while no token is set, and an event without a context object is
// never given one.
class DeviceToken : public PlatformPlugin {
public:
    DeviceToken() = default;

    PluginType type() const override { return PluginType::before; }

    std::optional<std::string> token() const;
    void setToken(std::optional<std::string> token);

    std::optional<AnyRawEvent> execute(AnyRawEvent event) override;

private:
    // Written by the app's thread, read by every thread that processes events.
    mutable std::mutex mutex_;
    std::optional<std::string> token_;
};

// Hands the token to the instance's DeviceToken plugin, adding one at the end of the before
// stage when the timeline has none. The token is kept as given.
void setDeviceToken(Analytics& analytics, const std::string& token);

}  // namespace qor
