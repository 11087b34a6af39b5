#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace qor::platform {

// A random (version 4) identifier.
struct UUID {
    std::array<std::uint8_t, 16> bytes{};

    static UUID make();

    // Upper-case 8-4-4-4-12 hexadecimal form, e.g. "E621E1F8-C36C-495A-93FC-0C247A3E6E5F".
    std::string uuidString() const;

    friend bool operator==(const UUID&, const UUID&) = default;
};

}  // namespace qor::platform
