#pragma once

#include <vector>

#include "AdNetwork/Container.h"
#include "AdNetwork/DemandSidePlatform.h"
#include "AdNetwork/Endpoint.h"
#include "AdNetwork/Inventory.h"

namespace qor {

// The inventory's platforms in its order, each a copy whose `url` is the "bidding_url" of the
// first container platform with the same id (absent when there is none); every other field is
// the inventory's own. An inventory without "dsps" gives an empty list.
std::vector<DemandSidePlatform> resolvePlatforms(const Container& container, const Inventory& inventory);

// The endpoints of one auction: one "dsp" endpoint per resolved platform, in order (named
// "unknown" when the platform has no name; flags true when above 0), then the core ad server
// last (id -1, "core"), so the list always ends with the core endpoint and is never empty. A
// platform without a bidding URL is left out with a debug line, unless it is a direct deal: that
// one stays with an empty URL, fails when sent (no request goes out) and still decides alone.
std::vector<Endpoint> endpointsForPlatforms(const Container& container,
                                            const std::vector<DemandSidePlatform>& resolvedPlatforms);

// Both steps at once.
std::vector<Endpoint> endpointsForInventory(const Container& container, const Inventory& inventory);

}  // namespace qor
