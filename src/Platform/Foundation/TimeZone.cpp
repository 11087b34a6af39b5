#include "Platform/Foundation/TimeZone.h"

#include "Platform/Support/DeviceProfile.h"

namespace qor::platform {

TimeZone TimeZone::current() { return TimeZone{currentDeviceProfile().timeZoneIdentifier}; }

}  // namespace qor::platform
