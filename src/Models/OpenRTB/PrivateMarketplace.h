#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Models/OpenRTB/OpenRTBCoding.h"

namespace qor {

// One private-marketplace deal. The floor is a whole number and, like its currency, always sent:
// the ad network applies no default floor or currency.
struct Deal {
    std::string id;
    std::int64_t bidFloor = 0;
    std::string bidFloorCurrency;
    std::optional<std::int64_t> at;
    std::optional<std::vector<std::string>> whiteListSeatIDs;
    std::optional<std::vector<std::string>> advertiserDomains;
    std::optional<std::string> ext;

    void encode(KeyedEncodingContainer& c) const {
        c.encode("id", id);
        c.encode("bidfloor", bidFloor);
        c.encode("bidfloorcur", bidFloorCurrency);
        c.encodeIfPresent("at", at);
        c.encodeIfPresent("wseat", whiteListSeatIDs);
        c.encodeIfPresent("wadomain", advertiserDomains);
        c.encodeIfPresent("ext", ext);
    }

    static Deal decode(const KeyedDecodingContainer& c) {
        Deal d;
        d.id = c.decode<std::string>("id");
        d.bidFloor = c.decode<std::int64_t>("bidfloor");
        d.bidFloorCurrency = c.decode<std::string>("bidfloorcur");
        d.at = c.decodeIfPresent<std::int64_t>("at");
        d.whiteListSeatIDs = c.decodeIfPresent<std::vector<std::string>>("wseat");
        d.advertiserDomains = c.decodeIfPresent<std::vector<std::string>>("wadomain");
        d.ext = c.decodeIfPresent<std::string>("ext");
        return d;
    }

    bool operator==(const Deal&) const = default;
};

// The private-marketplace block of an impression ("pmp"); "private_auction" is always sent.
struct PrivateMarketplace {
    std::int64_t privateAuction = 0;
    std::optional<std::vector<Deal>> deals;
    std::optional<std::string> ext;

    void encode(KeyedEncodingContainer& c) const {
        c.encode("private_auction", privateAuction);
        c.encodeIfPresent("deals", deals);
        c.encodeIfPresent("ext", ext);
    }

    static PrivateMarketplace decode(const KeyedDecodingContainer& c) {
        PrivateMarketplace p;
        p.privateAuction = c.decode<std::int64_t>("private_auction");
        p.deals = c.decodeIfPresent<std::vector<Deal>>("deals");
        p.ext = c.decodeIfPresent<std::string>("ext");
        return p;
    }

    bool operator==(const PrivateMarketplace&) const = default;
};

}  // namespace qor
