#include "Analytics/iOSLifecycleEvents.h"

#include "Analytics/Analytics.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/UserDefaults.h"

namespace qor {

namespace {

std::optional<std::string> infoString(const char* key) {
    const auto value = platform::Bundle::main()->objectForInfoDictionaryKey(key);
    if (!value) return std::nullopt;
    if (const auto* text = value->asString()) return *text;
    return std::nullopt;
}

std::string launchOptionText(const iOSLifecycle::LaunchOptions& options, const char* key) {
    if (!options) return "";
    const auto* value = options->find(key);
    if (value == nullptr) return "";
    if (const auto* text = value->tryString()) return *text;
    return "";
}

void storeOrRemove(platform::UserDefaults& defaults, const char* key, const std::optional<std::string>& value) {
    if (value) {
        defaults.set(platform::PlistValue(*value), key);
    } else {
        defaults.removeObject(key);
    }
}

}  // namespace

bool iOSLifecycleEvents::trackingOff() const {
    const auto owner = analytics();
    return owner && !owner->configuration()->values().trackApplicationLifecycleEvents;
}

void iOSLifecycleEvents::applicationDidFinishLaunching(const Application& /*application*/,
                                                       const LaunchOptions& options) {
    didFinishLaunching_.setWrappedValue(true);
    if (trackingOff()) return;

    const auto defaults = platform::UserDefaults::standard();
    const auto previousVersion = defaults->stringForKey(versionKey);
    const auto previousBuild = defaults->stringForKey(buildKey);
    const auto currentVersion = infoString("CFBundleShortVersionString");
    const auto currentBuild = infoString("CFBundleVersion");
    const std::string version = currentVersion.value_or("");
    const std::string build = currentBuild.value_or("");

    const auto owner = analytics();
    if (owner) {
        if (!previousBuild) {
            owner->track("Application Installed", platform::AnyDictionary{{"version", version}, {"build", build}});
        } else if (currentBuild != previousBuild) {
            owner->track("Application Updated",
                         platform::AnyDictionary{{"previous_version", previousVersion.value_or("")},
                                                 {"previous_build", *previousBuild},
                                                 {"version", version},
                                                 {"build", build}});
        }
        owner->track("Application Opened Not Background",
                     platform::AnyDictionary{
                         {"from_background", false},
                         {"version", version},
                         {"build", build},
                         {"referring_application",
                          launchOptionText(options, platform::UIApplicationLaunchOptionsKey::sourceApplication)},
                         {"url", launchOptionText(options, platform::UIApplicationLaunchOptionsKey::url)},
                     });
    }

    storeOrRemove(*defaults, versionKey, currentVersion);
    storeOrRemove(*defaults, buildKey, currentBuild);
    defaults->synchronize();
}

void iOSLifecycleEvents::applicationWillEnterForeground(const Application& /*application*/) {
    if (trackingOff()) return;
    const auto owner = analytics();
    if (!owner) return;
    owner->track("Application Opened Background",
                 platform::AnyDictionary{{"from_background", true},
                                         {"version", infoString("CFBundleShortVersionString").value_or("")},
                                         {"build", infoString("CFBundleVersion").value_or("")}});
}

void iOSLifecycleEvents::applicationDidEnterBackground(const Application& /*application*/) {
    if (trackingOff()) return;
    const auto owner = analytics();
    if (!owner) return;
    owner->track("Application Backgrounded");
}

void iOSLifecycleEvents::applicationDidBecomeActive(const Application& application) {
    if (trackingOff()) return;
    if (!didFinishLaunching()) applicationDidFinishLaunching(application, std::nullopt);
}

}  // namespace qor
