#include "Platform/UIKit/UIDevice.h"

#include <fstream>
#include <map>
#include <mutex>

#include "Platform/Foundation/AppDirectories.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/PlatformError.h"
#include "Platform/Foundation/UUID.h"
#include "Platform/Support/SharedDeviceProfile.h"

namespace qor::platform {
namespace {

bool isUUIDText(const std::string& text) {
    if (text.size() != 36) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (c != '-') return false;
        } else if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string storedIdentifierForVendor() {
    static std::mutex mutex;
    static auto* knownIdentifiers = new std::map<std::filesystem::path, std::string>;
    auto& known = *knownIdentifiers;
    const auto home = applicationHomeDirectory();
    std::lock_guard lock(mutex);
    if (auto found = known.find(home); found != known.end()) return found->second;

    const auto file = home / "identifierForVendor";
    std::string identifier;
    if (std::ifstream stream(file); stream) std::getline(stream, identifier);
    if (!isUUIDText(identifier)) {
        identifier = UUID::make().uuidString();
        try {
            FileManager::defaultManager().createDirectory(home, true);
            FileManager::defaultManager().createFile(file, Data(identifier.begin(), identifier.end()));
        } catch (const PlatformError&) {
            // Not writable: the identifier lasts for this process only.
        }
    }
    known.emplace(home, identifier);
    return identifier;
}

std::shared_ptr<UIDevice> UIDevice::current() {
    static const auto* device = new std::shared_ptr<UIDevice>(std::make_shared<UIDevice>());
    return *device;
}

std::string UIDevice::model() const { return sharedDeviceProfile()->model; }
std::string UIDevice::name() const { return sharedDeviceProfile()->name; }
std::string UIDevice::systemName() const { return sharedDeviceProfile()->systemName; }
std::string UIDevice::systemVersion() const { return sharedDeviceProfile()->systemVersion; }
UIUserInterfaceIdiom UIDevice::userInterfaceIdiom() const { return sharedDeviceProfile()->userInterfaceIdiom; }

std::optional<std::string> UIDevice::identifierForVendor() const {
    const auto profile = sharedDeviceProfile();
    if (profile->identifierForVendor) return profile->identifierForVendor;
    if (!profile->identifierForVendorFromAppHome) return std::nullopt;
    return storedIdentifierForVendor();
}

}  // namespace qor::platform
