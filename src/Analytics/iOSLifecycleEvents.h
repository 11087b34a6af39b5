#pragma once

#include <memory>

#include "Analytics/Plugin.h"
#include "Analytics/iOSLifecycle.h"
#include "Core/Guarded.h"

namespace qor {

// Records the app's installation, updates, openings and backgrounding as track events.
// The version and build of the last launch are kept in the app's standard defaults under
// "VersionKey" and "BuildKeyV2", so an update is reported once per new build.
class iOSLifecycleEvents : public PlatformPlugin, public iOSLifecycle {
public:
    static constexpr const char* versionKey = "VersionKey";
    static constexpr const char* buildKey = "BuildKeyV2";

    PluginType type() const override { return PluginType::before; }

    void applicationDidFinishLaunching(const Application& application, const LaunchOptions& options) override;
    void applicationWillEnterForeground(const Application& application) override;
    void applicationDidEnterBackground(const Application& application) override;
    // Runs the launch handler when the launch went by before this plugin was installed.
    void applicationDidBecomeActive(const Application& application) override;

    bool didFinishLaunching() const { return didFinishLaunching_.wrappedValue(); }

private:
    // Whether lifecycle tracking is switched off for the plugin's Analytics.
    bool trackingOff() const;

    Guarded<bool> didFinishLaunching_{false};
};

}  // namespace qor
