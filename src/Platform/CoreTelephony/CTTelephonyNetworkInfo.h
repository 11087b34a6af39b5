#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "Platform/Support/CTCarrier.h"

namespace qor::platform {

// The cellular subscriptions of the device, keyed by service identifier. Both maps are absent
// on a machine without telephony (the default of the device profile). Every read reflects the
// device profile at that moment; the map's order (sorted by service identifier) is stable.
class CTTelephonyNetworkInfo {
public:
    static std::shared_ptr<CTTelephonyNetworkInfo> make();

    std::optional<std::map<std::string, CTCarrier>> serviceSubscriberCellularProviders() const;
    // Service identifier -> one of the CTRadioAccessTechnology texts.
    std::optional<std::map<std::string, std::string>> serviceCurrentRadioAccessTechnology() const;
};

}  // namespace qor::platform
