#pragma once

#include <optional>
#include <string>

#include <QORUniversalSDK/AdNetwork/AdNetworkCoding.h>
#include <QORUniversalSDK/Models/OpenRTB/BidResponse.h>
#include <QORUniversalSDK/Platform/Support/Export.h>

namespace qor {

// An ad as the ad network may describe it: an id and, optionally, its bid response.
struct QOR_EXPORT Ad {
    std::string id;
    std::optional<BidResponse> bid;

    static Ad decode(const KeyedDecodingContainer& c) {
        Ad ad;
        ad.id = c.decode<std::string>("id");
        ad.bid = c.decodeIfPresent<BidResponse>("bid_info");
        return ad;
    }

    bool operator==(const Ad&) const = default;
};

}  // namespace qor
