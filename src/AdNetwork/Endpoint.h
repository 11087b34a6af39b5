#pragma once

#include <cstdint>
#include <string>

namespace qor {

// One bid endpoint of one auction: a demand-side platform ("dsp") or the container's core ad
// server ("core", id -1). Never coded.
struct Endpoint {
    std::int64_t id = 0;
    std::string name;
    std::string url;
    std::string type;
    bool directDeal = false;
    bool isHeaderBidding = false;

    bool operator==(const Endpoint&) const = default;
};

}  // namespace qor
