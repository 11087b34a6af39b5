#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <QORUniversalSDK/AdNetwork/AdNetworkCoding.h>
#include <QORUniversalSDK/Platform/Support/Export.h>

namespace qor {

// One demand partner. The container lists every partner with its bidding URL; an inventory lists
// the partners asked for its unit with their flags. Both flags are integers on the wire: a value
// above 0 means yes.
struct QOR_EXPORT DemandSidePlatform {
    struct Credential {
        std::optional<std::string> apiKey;

        static Credential decode(const KeyedDecodingContainer& c) {
            return Credential{c.decodeIfPresent<std::string>("apiKey")};
        }

        bool operator==(const Credential&) const = default;
    };

    std::int64_t id = 0;
    std::optional<std::string> name;
    std::optional<Credential> credential;
    std::optional<std::string> domain;
    std::optional<std::string> status;
    std::optional<std::int64_t> priority;
    std::optional<std::string> url;
    std::optional<std::int64_t> directDeal;
    std::optional<std::int64_t> headerBidding;

    static DemandSidePlatform decode(const KeyedDecodingContainer& c) {
        DemandSidePlatform p;
        p.id = c.decode<std::int64_t>("id");
        p.name = c.decodeIfPresent<std::string>("name");
        p.credential = c.decodeIfPresent<Credential>("credential");
        p.domain = c.decodeIfPresent<std::string>("domain");
        p.status = c.decodeIfPresent<std::string>("status");
        p.priority = c.decodeIfPresent<std::int64_t>("priority");
        p.url = c.decodeIfPresent<std::string>("bidding_url");
        p.directDeal = c.decodeIfPresent<std::int64_t>("direct_deal");
        p.headerBidding = c.decodeIfPresent<std::int64_t>("header_bidding");
        return p;
    }

    bool operator==(const DemandSidePlatform&) const = default;
};

}  // namespace qor
