#include "Models/OpenRTB/DeviceFacts.h"

namespace qor {
// TEMPORARY until the platform device profile lands.
DeviceHardwareFacts DeviceHardwareFacts::current() { return DeviceHardwareFacts{}; }
DeviceFacts DeviceFacts::current() { return DeviceFacts{DeviceHardwareFacts::current(), {}, {}, {}, NetworkState::undetermined}; }
}  // namespace qor
