#pragma once

#include <memory>

#include "Platform/Support/DeviceProfile.h"

namespace qor::platform {

// The profile in force, shared rather than copied: a reader of one fact (a bid request reads a
// dozen) pays a reference count, not a copy of every string of the profile. The object never
// changes; a write installs a new one. Safe from any thread.
std::shared_ptr<const DeviceProfile> sharedDeviceProfile();

}  // namespace qor::platform
