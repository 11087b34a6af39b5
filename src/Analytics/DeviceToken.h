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
// never given one. The app hands the token over with Analytics::setDeviceToken.
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

}  // namespace qor
