#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "AdNetwork/AdType.h"
#include "AdNetwork/Container.h"
#include "AdNetwork/Inventory.h"
#include "AdNetwork/Metadata.h"
#include "Models/OpenRTB/Bid.h"
#include "Models/OpenRTB/ImpressionBuilder.h"

// What the ad-request engine and the formats read from a unit's inventory.
namespace qor {

// The first inventory whose id is the ad unit id; nothing when none is.
const Inventory* findInventory(const Container& container, std::int64_t adUnitID);

// True when the inventory names no format or names exactly this one.
bool inventoryServes(const Inventory& inventory, AdType type);

// True when the price is at or above the inventory's floor (0 without one).
bool meetsFloor(const Inventory& inventory, float price);

// The pass-back markup, when present and not empty.
std::optional<std::string> passBackMarkup(const Metadata& metadata);

// The bid handed over when nobody bid: two fresh UUIDs as id and impression id, price 0, the
// pass-back markup and the request id. Nothing when the metadata has no pass-back markup.
std::optional<Bid> passBackBid(const Metadata& metadata, const std::string& requestId);

// The metadata fields that shape a video impression.
VideoMetadata videoMetadata(const Metadata& metadata);

// The banner height for this width when the unit is responsive: width × height ÷ width of the
// metadata, rounded half away from zero. Nothing when not responsive, when the metadata width or
// height is not positive, or when the width given is not a positive number.
std::optional<double> adaptiveHeight(const Metadata& metadata, double width);

// The close button's fade-in in seconds when the unit shows one (0 without a delay); nothing
// when it shows none.
std::optional<std::int64_t> closeButtonFadeSeconds(const Metadata& metadata);

}  // namespace qor
