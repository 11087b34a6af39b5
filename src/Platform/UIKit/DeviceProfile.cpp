#include "Platform/UIKit/DeviceProfile.h"

#include <mutex>
#include <shared_mutex>

#include "Platform/Foundation/Locale.h"
#include "Platform/Foundation/ProcessInfo.h"
#include "Platform/Foundation/TimeZone.h"

namespace qor::platform {
namespace {

struct ProfileSlot {
    std::shared_mutex mutex;
    std::optional<DeviceProfile> profile;  // made from the host on first use
};

ProfileSlot& slot() {
    static auto* instance = new ProfileSlot;
    return *instance;
}

}  // namespace

DeviceProfile hostDeviceProfile() {
    DeviceProfile profile;
    profile.model = "Linux";
    profile.name = hostName();
    profile.systemName = "Linux";
    profile.systemVersion = numericVersionPrefix(kernelRelease());
    if (profile.systemVersion.empty()) profile.systemVersion = "0";
    profile.hardwareModel = hardwareMachine();
    profile.preferredLanguages = preferredLanguagesFromEnvironment();
    profile.localeIdentifier = localeIdentifierFromEnvironment();
    profile.timeZoneIdentifier = timeZoneIdentifierFromHost();
    profile.webViewUserAgent =
        "Mozilla/5.0 (X11; Linux " + profile.hardwareModel + ") AppleWebKit/605.1.15 (KHTML, like Gecko)";
    return profile;
}

DeviceProfile currentDeviceProfile() {
    auto& s = slot();
    {
        std::shared_lock lock(s.mutex);
        if (s.profile) return *s.profile;
    }
    std::unique_lock lock(s.mutex);
    if (!s.profile) s.profile = hostDeviceProfile();
    return *s.profile;
}

ReachabilityFacts currentReachabilityFacts() {
    auto& s = slot();
    {
        std::shared_lock lock(s.mutex);
        if (s.profile) return s.profile->reachability;
    }
    return currentDeviceProfile().reachability;
}

void setDeviceProfile(DeviceProfile profile) {
    auto& s = slot();
    std::unique_lock lock(s.mutex);
    s.profile = std::move(profile);
}

void updateDeviceProfile(const std::function<void(DeviceProfile&)>& change) {
    auto& s = slot();
    std::unique_lock lock(s.mutex);
    if (!s.profile) s.profile = hostDeviceProfile();
    change(*s.profile);
}

void resetDeviceProfile() {
    auto& s = slot();
    std::unique_lock lock(s.mutex);
    s.profile.reset();
}

}  // namespace qor::platform
