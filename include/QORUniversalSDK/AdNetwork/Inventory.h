#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <QORUniversalSDK/AdNetwork/AdNetworkCoding.h>
#include <QORUniversalSDK/AdNetwork/DemandSidePlatform.h>
#include <QORUniversalSDK/AdNetwork/Metadata.h>
#include <QORUniversalSDK/Models/OpenRTB/BidResponse.h>
#include <QORUniversalSDK/Platform/Support/Export.h>

namespace qor {

// A tracker template of an inventory; every member is required once the object is there.
struct QOR_EXPORT TrackerTemplate {
    std::string id;
    std::string clickImage;
    std::string clickUrl;
    std::string code;
    std::string name;
    std::int64_t price = 0;
    std::string type;

    static TrackerTemplate decode(const KeyedDecodingContainer& c);

    bool operator==(const TrackerTemplate&) const = default;
};

// The configuration of one ad unit: its id is the ad unit id the app uses.
struct QOR_EXPORT Inventory {
    std::int64_t id = 0;
    std::optional<std::int64_t> cpm;
    std::optional<BidResponse> defaultAds;
    std::optional<TrackerTemplate> trackerTemplate;
    std::optional<std::vector<DemandSidePlatform>> platforms;
    std::optional<std::string> format;
    std::optional<std::string> merge;
    Metadata metadata;
    std::optional<std::string> name;
    std::optional<std::string> status;
    std::optional<std::string> type;
    std::optional<float> floorPrice;
    std::optional<std::int64_t> positionID;
    std::optional<std::int64_t> clickRate;
    std::optional<std::int64_t> fillRate;

    static Inventory decode(const KeyedDecodingContainer& c);

    bool operator==(const Inventory&) const = default;
};

}  // namespace qor
