#include "Core/PlatformFacts.h"

#include "Platform/Support/FatalError.h"
#include "Platform/UIKit/UIDevice.h"

namespace qor {

std::shared_ptr<platform::Bundle> sdkResourceBundle(const platform::Bundle& bundle) {
    const auto path = bundle.urlForResource("QORSDK", "bundle");
    if (!path) platform::fatalError("MySDK.bundle not found!");
    auto resourceBundle = platform::Bundle::make(*path);
    if (!resourceBundle) platform::fatalError("Cannot access MySDK.bundle!");
    return resourceBundle;
}

bool bundlePathIsAppExtension(std::string_view bundlePath) { return bundlePath.ends_with(".appex"); }

bool isAppExtension() {
    static const bool value = bundlePathIsAppExtension(platform::Bundle::main()->bundlePath());
    return value;
}

std::string platformSuffix() {
    return platform::UIDevice::current()->systemName().find("tvOS") != std::string::npos ? "@appletv" : "@ios";
}

}  // namespace qor
