#include "Platform/Support/DeviceProfile.h"

#include <memory>
#include <mutex>
#include <shared_mutex>

#include "Platform/Support/HostLocale.h"
#include "Platform/Support/ProcessInfo.h"
#include "Platform/Support/SharedDeviceProfile.h"

namespace qor::platform {
namespace {

struct ProfileSlot {
    std::shared_mutex mutex;
    std::shared_ptr<const DeviceProfile> profile;  // made from the host on first use; never changed
    // Held by every writer for its whole change, never by readers: an update's function runs
    // on a copy outside `mutex` (so it may read device facts), and no other write can land
    // between its copy and its store and be lost.
    std::mutex writers;
};

// The copy that the update running on this thread is changing, if any: a write made from
// inside the update's own function goes to it instead of waiting for the writers' lock,
// which its own thread holds.
thread_local DeviceProfile* profileBeingUpdated = nullptr;

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

std::shared_ptr<const DeviceProfile> sharedDeviceProfile() {
    auto& s = slot();
    {
        std::shared_lock lock(s.mutex);
        if (s.profile) return s.profile;
    }
    std::unique_lock lock(s.mutex);
    if (!s.profile) s.profile = std::make_shared<const DeviceProfile>(hostDeviceProfile());
    return s.profile;
}

DeviceProfile currentDeviceProfile() { return *sharedDeviceProfile(); }

ReachabilityFacts currentReachabilityFacts() { return sharedDeviceProfile()->reachability; }

void setDeviceProfile(DeviceProfile profile) {
    if (profileBeingUpdated) {
        *profileBeingUpdated = std::move(profile);
        return;
    }
    auto& s = slot();
    std::lock_guard writing(s.writers);
    auto installed = std::make_shared<const DeviceProfile>(std::move(profile));
    std::unique_lock lock(s.mutex);
    s.profile = std::move(installed);
}

void updateDeviceProfile(const std::function<void(DeviceProfile&)>& change) {
    if (profileBeingUpdated) return change(*profileBeingUpdated);
    auto& s = slot();
    std::lock_guard writing(s.writers);
    auto copy = currentDeviceProfile();
    profileBeingUpdated = &copy;
    struct Done {
        ~Done() { profileBeingUpdated = nullptr; }
    } done;
    change(copy);  // a function that throws leaves the profile as it was
    auto installed = std::make_shared<const DeviceProfile>(std::move(copy));
    std::unique_lock lock(s.mutex);
    s.profile = std::move(installed);
}

void resetDeviceProfile() {
    if (profileBeingUpdated) {
        *profileBeingUpdated = hostDeviceProfile();
        return;
    }
    auto& s = slot();
    std::lock_guard writing(s.writers);
    std::unique_lock lock(s.mutex);
    s.profile.reset();
}

}  // namespace qor::platform
