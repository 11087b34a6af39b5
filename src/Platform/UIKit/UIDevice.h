#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "Platform/Support/DeviceProfile.h"

namespace qor::platform {

// The device, answered from the device profile at each read (see DeviceProfile.h).
class UIDevice {
public:
    static std::shared_ptr<UIDevice> current();

    std::string model() const;
    std::string name() const;
    std::string systemName() const;
    std::string systemVersion() const;
    UIUserInterfaceIdiom userInterfaceIdiom() const;
    // Upper-case UUID text (8-4-4-4-12), or nullopt when the device has none.
    std::optional<std::string> identifierForVendor() const;
};

// The identifier kept in <app home>/identifierForVendor: read when the file holds a UUID,
// otherwise made from the system's random source and written there. Kept per app home for
// the life of the process. When the file cannot be written the identifier still lasts for
// the process.
std::string storedIdentifierForVendor();

}  // namespace qor::platform
