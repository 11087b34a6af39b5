#include "Platform/Foundation/Locale.h"

#include "Platform/Support/DeviceProfile.h"

namespace qor::platform {

Locale Locale::current() { return Locale{currentDeviceProfile().localeIdentifier}; }

std::vector<std::string> Locale::preferredLanguages() { return currentDeviceProfile().preferredLanguages; }

}  // namespace qor::platform
