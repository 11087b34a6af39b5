#include "Platform/UIKit/UIDevice.h"

#include <sys/random.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <mutex>
#include <random>

#include "Platform/Foundation/AppDirectories.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/PlatformError.h"

namespace qor::platform {
namespace {

std::string makeRandomUUID() {
  std::array<std::uint8_t, 16> bytes{};
  std::size_t filled = 0;
  while (filled < bytes.size()) {
    const ssize_t result = ::getrandom(bytes.data() + filled, bytes.size() - filled, 0);
    if (result < 0) {
      if (errno == EINTR) continue;
      break;
    }
    filled += static_cast<std::size_t>(result);
  }
  if (filled < bytes.size()) {
    std::random_device device;
    for (auto& byte : bytes) byte = static_cast<std::uint8_t>(device());
  }
  bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40);  // version 4
  bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
  char text[37];
  std::snprintf(text, sizeof text, "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", bytes[0],
                bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7], bytes[8], bytes[9], bytes[10],
                bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
  return text;
}

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
  static std::map<std::filesystem::path, std::string> known;
  const auto home = applicationHomeDirectory();
  std::lock_guard lock(mutex);
  if (auto found = known.find(home); found != known.end()) return found->second;

  const auto file = home / "identifierForVendor";
  std::string identifier;
  if (std::ifstream stream(file); stream) std::getline(stream, identifier);
  if (!isUUIDText(identifier)) {
    identifier = makeRandomUUID();
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
  static const auto device = std::make_shared<UIDevice>();
  return device;
}

std::string UIDevice::model() const { return currentDeviceProfile().model; }
std::string UIDevice::name() const { return currentDeviceProfile().name; }
std::string UIDevice::systemName() const { return currentDeviceProfile().systemName; }
std::string UIDevice::systemVersion() const { return currentDeviceProfile().systemVersion; }
UIUserInterfaceIdiom UIDevice::userInterfaceIdiom() const { return currentDeviceProfile().userInterfaceIdiom; }

std::optional<std::string> UIDevice::identifierForVendor() const {
  const auto profile = currentDeviceProfile();
  if (profile.identifierForVendor) return profile.identifierForVendor;
  if (!profile.identifierForVendorFromAppHome) return std::nullopt;
  return storedIdentifierForVendor();
}

}  // namespace qor::platform
