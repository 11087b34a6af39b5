#pragma once

#include <memory>
#include <optional>

#include "Platform/UIKit/UIApplication.h"

namespace qor {

// The app's lifecycle as callbacks that any plugin may adopt; each one does nothing unless
// the adopter overrides it. The lifecycle monitor calls them on the main thread. The
// application is absent inside an app extension.
class iOSLifecycle {
public:
    using Application = std::shared_ptr<platform::UIApplication>;
    using LaunchOptions = std::optional<platform::UIApplicationLaunchOptions>;

    virtual ~iOSLifecycle() = default;

    virtual void applicationDidEnterBackground(const Application& /*application*/) {}
    virtual void applicationWillEnterForeground(const Application& /*application*/) {}
    virtual void applicationDidFinishLaunching(const Application& /*application*/, const LaunchOptions& /*options*/) {}
    virtual void applicationDidBecomeActive(const Application& /*application*/) {}
    virtual void applicationWillResignActive(const Application& /*application*/) {}
    virtual void applicationDidReceiveMemoryWarning(const Application& /*application*/) {}
    virtual void applicationWillTerminate(const Application& /*application*/) {}
    virtual void applicationSignificantTimeChange(const Application& /*application*/) {}
    virtual void applicationBackgroundRefreshDidChange(const Application& /*application*/,
                                                       platform::UIBackgroundRefreshStatus /*refreshStatus*/) {}
};

// The shared application, or nothing inside an app extension.
std::shared_ptr<platform::UIApplication> sharedApplication();

}  // namespace qor
