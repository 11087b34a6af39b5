#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Core/VendorSystem.h"
#include "Platform/UIKit/UIDevice.h"

namespace qor {

// The device facts of the platform the system runs on, read from the platform's device,
// screen, reachability and web-view stand-ins at each call. VendorSystem::current() makes
// one of these for the process (it registers itself as the factory when the library loads).
class iOSVendorSystem : public VendorSystem {
public:
    explicit iOSVendorSystem(std::shared_ptr<platform::UIDevice> device = platform::UIDevice::current());

    std::string manufacturer() const override { return "Apple"; }
    std::string type() const override { return "ios"; }
    // The hardware model identifier; "unknown" when it cannot be read.
    std::string model() const override;
    // The device's model name (not its user-given name).
    std::string name() const override;
    std::optional<std::string> identifierForVendor() const override;
    std::string systemName() const override;
    std::string systemVersion() const override;
    ScreenSize screenSize() const override;
    // The web view's user agent; nothing when it cannot be read.
    std::optional<std::string> userAgent() const override;
    ConnectionStatus connection() const override;
    // A new lifecycle monitor, then a new device-token plugin.
    std::vector<std::shared_ptr<Plugin>> requiredPlugins() const override;

    const std::shared_ptr<platform::UIDevice>& device() const { return device_; }

    // Makes sure VendorSystem::current() will be one of these (a no-op once it is made).
    static void install();

private:
    std::shared_ptr<platform::UIDevice> device_;
};

// The connection that reachability flags describe: reachable without a connection to set
// up is online, over cellular when the flags say so, otherwise over wifi.
ConnectionStatus connectionStatus(std::optional<std::uint32_t> reachabilityFlags);

}  // namespace qor
