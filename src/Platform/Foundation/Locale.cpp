#include "Platform/Foundation/Locale.h"

#include "Platform/Support/SharedDeviceProfile.h"

namespace qor::platform {

Locale Locale::current() { return Locale{sharedDeviceProfile()->localeIdentifier}; }

std::vector<std::string> Locale::preferredLanguages() { return sharedDeviceProfile()->preferredLanguages; }

}  // namespace qor::platform
