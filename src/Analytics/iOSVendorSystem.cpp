#include "Analytics/iOSVendorSystem.h"

#include "Analytics/DeviceToken.h"
#include "Analytics/iOSLifecycleMonitor.h"
#include "Platform/Support/SharedDeviceProfile.h"
#include "Platform/SystemConfiguration/SCNetworkReachability.h"
#include "Platform/UIKit/UIScreen.h"

namespace qor {

namespace {

std::shared_ptr<VendorSystem> makeCurrent() { return std::make_shared<iOSVendorSystem>(); }

// The library registers the platform's vendor system as soon as it is loaded, so the first
// read of VendorSystem::current() anywhere already gets it.
const bool registeredAtLoad = VendorSystem::registerFactory(makeCurrent);

}  // namespace

iOSVendorSystem::iOSVendorSystem(std::shared_ptr<platform::UIDevice> device) : device_(std::move(device)) {}

void iOSVendorSystem::install() {
    (void)registeredAtLoad;
    VendorSystem::registerFactory(makeCurrent);
}

std::string iOSVendorSystem::model() const {
    const std::string machine = platform::sharedDeviceProfile()->hardwareModel;
    return machine.empty() ? std::string("unknown") : machine;
}

std::string iOSVendorSystem::name() const { return device_->model(); }

std::optional<std::string> iOSVendorSystem::identifierForVendor() const { return device_->identifierForVendor(); }

std::string iOSVendorSystem::systemName() const { return device_->systemName(); }

std::string iOSVendorSystem::systemVersion() const { return device_->systemVersion(); }

ScreenSize iOSVendorSystem::screenSize() const {
    const auto screen = platform::UIScreen::main();
    const auto bounds = screen->bounds();
    return ScreenSize{bounds.size.width, bounds.size.height, screen->scale()};
}

std::optional<std::string> iOSVendorSystem::userAgent() const {
    // The headless web view's user agent is a fixed fact of the device profile, so reading it
    // needs no hop to the main thread.
    return platform::sharedDeviceProfile()->webViewUserAgent;
}

ConnectionStatus connectionStatus(std::optional<std::uint32_t> flags) {
    if (!flags) return ConnectionStatus::unknown;
    const bool reachable = (*flags & platform::kSCNetworkReachabilityFlagsReachable) != 0;
    const bool needsConnection = (*flags & platform::kSCNetworkReachabilityFlagsConnectionRequired) != 0;
    if (!reachable || needsConnection) return ConnectionStatus::offline;
    if ((*flags & platform::kSCNetworkReachabilityFlagsIsWWAN) != 0) return ConnectionStatus::cellular;
    return ConnectionStatus::wifi;
}

ConnectionStatus iOSVendorSystem::connection() const {
    const auto reachability = platform::SCNetworkReachability::createWithZeroAddress();
    if (!reachability) return ConnectionStatus::unknown;
    return connectionStatus(reachability->flags());
}

std::vector<std::shared_ptr<Plugin>> iOSVendorSystem::requiredPlugins() const {
    return {iOSLifecycleMonitor::make(), std::make_shared<DeviceToken>()};
}

}  // namespace qor
