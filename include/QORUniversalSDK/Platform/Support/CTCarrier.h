#pragma once

#include <optional>
#include <string>

namespace qor::platform {

// The home carrier of one cellular subscription. Every text may be absent, as when the
// subscription has no SIM or the operator withholds it.
struct CTCarrier {
    std::optional<std::string> carrierName;
    std::optional<std::string> mobileCountryCode;
    std::optional<std::string> mobileNetworkCode;
    std::optional<std::string> isoCountryCode;
    bool allowsVOIP = false;

    friend bool operator==(const CTCarrier&, const CTCarrier&) = default;
};

}  // namespace qor::platform
