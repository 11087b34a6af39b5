#include "AdNetwork/InventoryReaders.h"

#include <cmath>

#include "Platform/Foundation/UUID.h"

namespace qor {

const Inventory* findInventory(const Container& container, std::int64_t adUnitID) {
    for (const Inventory& inventory : container.inventories) {
        if (inventory.id == adUnitID) return &inventory;
    }
    return nullptr;
}

bool inventoryServes(const Inventory& inventory, AdType type) {
    return !inventory.format || *inventory.format == rawValue(type);
}

bool meetsFloor(const Inventory& inventory, float price) { return price >= inventory.floorPrice.value_or(0.0F); }

std::optional<std::string> passBackMarkup(const Metadata& metadata) {
    if (!metadata.passBack || metadata.passBack->empty()) return std::nullopt;
    return metadata.passBack;
}

std::optional<Bid> passBackBid(const Metadata& metadata, const std::string& requestId) {
    auto markup = passBackMarkup(metadata);
    if (!markup) return std::nullopt;
    return Bid(platform::UUID::make().uuidString(), platform::UUID::make().uuidString(), 0.0F, std::move(markup),
               requestId);
}

VideoMetadata videoMetadata(const Metadata& metadata) {
    VideoMetadata video;
    video.mines = metadata.mines;
    video.minDuration = metadata.minDuration;
    video.maxDuration = metadata.maxDuration;
    video.protocols = metadata.protocols;
    video.startDelay = metadata.startDelay;
    video.linearity = metadata.linearity;
    video.skip = metadata.skip;
    video.skipMin = metadata.skipMin;
    video.skipAfter = metadata.skipAfter;
    video.minBitrate = metadata.minBitrate;
    video.maxBitrate = metadata.maxBitrate;
    return video;
}

std::optional<double> adaptiveHeight(const Metadata& metadata, double width) {
    // Only sizes that make sense give one: a negative side or width would go to the bidders.
    if (metadata.responsive != true || metadata.width <= 0 || metadata.height <= 0) return std::nullopt;
    if (!std::isfinite(width) || width <= 0) return std::nullopt;
    // std::round takes halves away from zero.
    return std::round(width * static_cast<double>(metadata.height) / static_cast<double>(metadata.width));
}

std::optional<std::int64_t> closeButtonFadeSeconds(const Metadata& metadata) {
    if (metadata.adClose != true) return std::nullopt;
    return metadata.adCloseDelay.value_or(0);
}

}  // namespace qor
