#include "Platform/Foundation/TimeZone.h"

#include "Platform/Support/SharedDeviceProfile.h"

namespace qor::platform {

TimeZone TimeZone::current() { return TimeZone{sharedDeviceProfile()->timeZoneIdentifier}; }

}  // namespace qor::platform
