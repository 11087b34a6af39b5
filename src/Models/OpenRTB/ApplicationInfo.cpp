#include "Models/OpenRTB/ApplicationInfo.h"

#include "Models/OpenRTB/BundleReaders.h"
#include "Platform/Foundation/Bundle.h"

namespace qor {

ApplicationInfo ApplicationInfo::fromMainBundle() {
    // Each value looks the main bundle up afresh, so a host that changes its Info.plist between
    // requests is seen at once.
    ApplicationInfo app;
    app.name = appName(*platform::Bundle::main());
    app.bundle = platform::Bundle::main()->bundleIdentifier();
    app.version = appVersion(*platform::Bundle::main());
    app.ext = Extension{};
    return app;
}

}  // namespace qor
