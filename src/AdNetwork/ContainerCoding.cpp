#include "AdNetwork/Container.h"
#include "AdNetwork/Inventory.h"
#include "AdNetwork/Metadata.h"

namespace qor {

Metadata Metadata::decode(const KeyedDecodingContainer& c) {
    Metadata m;
    m.backgroundColor = c.decode<std::string>("background_color");
    m.ext = c.decodeIfPresent<std::string>("extension");
    m.loop = c.decodeIfPresent<std::int64_t>("loop");
    m.skip = c.decodeIfPresent<std::int64_t>("skip");
    m.passBack = c.decodeIfPresent<std::string>("pass_back");
    m.width = c.decode<std::int64_t>("width");
    m.height = c.decode<std::int64_t>("height");
    m.mines = c.decodeIfPresent<std::vector<std::string>>("mines");
    m.linearity = c.decodeIfPresent<std::int64_t>("linearity");
    m.skipMin = c.decodeIfPresent<std::int64_t>("skip_min");
    m.skipAfter = c.decodeIfPresent<std::int64_t>("skip_after");
    m.startDelay = c.decodeIfPresent<std::int64_t>("start_delay");
    m.minBitrate = c.decodeIfPresent<std::int64_t>("min_bitrate");
    m.maxBitrate = c.decodeIfPresent<std::int64_t>("max_bitrate");
    m.minDuration = c.decodeIfPresent<std::int64_t>("min_duration");
    m.maxDuration = c.decodeIfPresent<std::int64_t>("max_duration");
    m.protocols = c.decodeIfPresent<std::vector<VideoProtocol>>("protocols");
    m.assets = c.decodeIfPresent<std::vector<JSON>>("assets");
    m.responsive = c.decodeIfPresent<bool>("responsive");
    m.adClose = c.decodeIfPresent<bool>("ad_close");
    m.adCloseDelay = c.decodeIfPresent<std::int64_t>("ad_close_delay");
    return m;
}

TrackerTemplate TrackerTemplate::decode(const KeyedDecodingContainer& c) {
    TrackerTemplate t;
    t.id = c.decode<std::string>("id");
    t.clickImage = c.decode<std::string>("click_image");
    t.clickUrl = c.decode<std::string>("click_url");
    t.code = c.decode<std::string>("code");
    t.name = c.decode<std::string>("name");
    t.price = c.decode<std::int64_t>("price");
    t.type = c.decode<std::string>("type");
    return t;
}

Inventory Inventory::decode(const KeyedDecodingContainer& c) {
    Inventory i;
    i.id = c.decode<std::int64_t>("id");
    i.cpm = c.decodeIfPresent<std::int64_t>("cpm");
    i.defaultAds = c.decodeIfPresent<BidResponse>("ads_default");
    i.trackerTemplate = c.decodeIfPresent<TrackerTemplate>("tracker_template");
    i.platforms = c.decodeIfPresent<std::vector<DemandSidePlatform>>("dsps");
    i.format = c.decodeIfPresent<std::string>("format");
    i.merge = c.decodeIfPresent<std::string>("merge");
    i.metadata = c.decode<Metadata>("metadata");
    i.name = c.decodeIfPresent<std::string>("name");
    i.status = c.decodeIfPresent<std::string>("status");
    i.type = c.decodeIfPresent<std::string>("type");
    i.floorPrice = c.decodeIfPresent<float>("floor_price");
    i.positionID = c.decodeIfPresent<std::int64_t>("position_id");
    i.clickRate = c.decodeIfPresent<std::int64_t>("click_rate");
    i.fillRate = c.decodeIfPresent<std::int64_t>("fill_rate");
    return i;
}

Container Container::decode(const KeyedDecodingContainer& c) {
    Container container;
    container.id = c.decode<std::int64_t>("id");
    container.core = c.decode<Core>("core");
    container.inventories = c.decode<std::vector<Inventory>>("inventories");
    container.platforms = c.decodeIfPresent<std::vector<DemandSidePlatform>>("dsps");
    container.name = c.decodeIfPresent<std::string>("name");
    container.status = c.decodeIfPresent<std::string>("status");
    container.url = c.decodeIfPresent<std::string>("url");
    container.capping = c.decode<Capping>("capping");
    container.isFirstParty = c.decodeIfPresent<bool>("first_party");
    return container;
}

}  // namespace qor
