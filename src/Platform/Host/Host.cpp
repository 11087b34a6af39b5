#include "Platform/Host/Host.h"

#include <memory>
#include <utility>

#include "Platform/Foundation/Bundle.h"
#include "Platform/Support/Console.h"
#include "Platform/UIKit/UIApplication.h"

namespace qor::host {
namespace {

// Runs `action` on the shared application; false when there is none (inside an app extension).
template <class Action>
bool withApplication(Action&& action) {
    const auto application = platform::UIApplication::shared();
    if (!application) return false;
    std::forward<Action>(action)(*application);
    return true;
}

}  // namespace

platform::RunLoop& mainRunLoop() { return platform::RunLoop::main(); }

void setInfoDictionary(std::optional<platform::PlistDictionary> dictionary) {
    platform::Bundle::main()->setInfoDictionary(std::move(dictionary));
}

void loadInfoDictionary(const std::filesystem::path& plistFile) {
    platform::Bundle::main()->loadInfoDictionary(plistFile);
}

void resetInfoDictionary() { platform::Bundle::main()->resetInfoDictionary(); }

void setBundlePath(std::string path) { platform::Bundle::main()->setBundlePath(std::move(path)); }

bool postLaunch(std::optional<platform::UIApplicationLaunchOptions> options) {
    return withApplication([&](platform::UIApplication& application) { application.postLaunch(std::move(options)); });
}

bool postEnterBackground() {
    return withApplication([](platform::UIApplication& application) { application.postEnterBackground(); });
}

bool postEnterForeground() {
    return withApplication([](platform::UIApplication& application) { application.postEnterForeground(); });
}

bool postWillResignActive() {
    return withApplication([](platform::UIApplication& application) { application.postWillResignActive(); });
}

bool postDidBecomeActive() {
    return withApplication([](platform::UIApplication& application) { application.postDidBecomeActive(); });
}

bool postMemoryWarning() {
    return withApplication([](platform::UIApplication& application) { application.postMemoryWarning(); });
}

bool postWillTerminate() {
    return withApplication([](platform::UIApplication& application) { application.postWillTerminate(); });
}

bool postSignificantTimeChange() {
    return withApplication([](platform::UIApplication& application) { application.postSignificantTimeChange(); });
}

bool setBackgroundRefreshStatus(platform::UIBackgroundRefreshStatus status) {
    return withApplication(
        [status](platform::UIApplication& application) { application.setBackgroundRefreshStatus(status); });
}

bool expireBackgroundTasks() {
    return withApplication([](platform::UIApplication& application) { application.expireBackgroundTasks(); });
}

bool setURLOpener(std::function<void(const platform::URL&)> opener, std::vector<std::string> schemes) {
    return withApplication(
        [&](platform::UIApplication& application) { application.setURLOpener(std::move(opener), std::move(schemes)); });
}

bool setCanOpenURLPolicy(std::function<bool(const platform::URL&)> policy) {
    return withApplication(
        [&](platform::UIApplication& application) { application.setCanOpenURLPolicy(std::move(policy)); });
}

platform::DeviceProfile currentDeviceProfile() { return platform::currentDeviceProfile(); }

void setDeviceProfile(platform::DeviceProfile profile) { platform::setDeviceProfile(std::move(profile)); }

void updateDeviceProfile(const std::function<void(platform::DeviceProfile&)>& change) {
    platform::updateDeviceProfile(change);
}

void resetDeviceProfile() { platform::resetDeviceProfile(); }

void setConsoleWriter(std::function<void(std::string_view line)> writer) {
    // The replaced writer is let go of here, on the host's thread.
    platform::setConsoleWriter(std::move(writer));
}

}  // namespace qor::host
