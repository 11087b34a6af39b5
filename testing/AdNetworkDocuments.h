#pragma once

#include <cstddef>
#include <string>

namespace qor::testing {

// Documents as the ad network sends them, for tests and benchmarks.

// A container for one app: a core ad server, three demand platforms (one with a credential),
// a banner unit 101 (platforms 3 and 4, floor 0.5, pass-back markup, close button, tracker
// template), a video unit 102 (platform 5, every video setting) and a native unit 103 (native
// assets of every kind), the capping block and "first_party".
const std::string& realisticContainerJSON();

// A bid response with this many seat bids of two full bids each (markup, notice URLs,
// header-bidding extension and trackers).
std::string bidResponseJSON(std::size_t seatBids);

}  // namespace qor::testing
