#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <QORUniversalSDK/AdNetwork/AdNetworkCoding.h>
#include <QORUniversalSDK/AdNetwork/DemandSidePlatform.h>
#include <QORUniversalSDK/AdNetwork/Inventory.h>
#include <QORUniversalSDK/Platform/Support/Export.h>

namespace qor {

// The core ad server, always the last endpoint of an auction.
struct QOR_EXPORT Core {
    std::string url;
    std::string name;
    std::string domain;
    std::string type;

    static Core decode(const KeyedDecodingContainer& c) {
        Core core;
        core.url = c.decode<std::string>("url");
        core.name = c.decode<std::string>("name");
        core.domain = c.decode<std::string>("domain");
        core.type = c.decode<std::string>("type");
        return core;
    }

    bool operator==(const Core&) const = default;
};

// The capping block. Only a "blacklist" of exactly 1 bars the client.
struct QOR_EXPORT Capping {
    std::int64_t isBlacklist = 0;
    std::int64_t second = 0;
    std::int64_t minute = 0;
    std::int64_t hour = 0;
    std::int64_t day = 0;

    bool barsClient() const { return isBlacklist == 1; }

    static Capping decode(const KeyedDecodingContainer& c) {
        Capping capping;
        capping.isBlacklist = c.decode<std::int64_t>("blacklist");
        capping.second = c.decode<std::int64_t>("second");
        capping.minute = c.decode<std::int64_t>("minute");
        capping.hour = c.decode<std::int64_t>("hour");
        capping.day = c.decode<std::int64_t>("day");
        return capping;
    }

    bool operator==(const Capping&) const = default;
};

// The ad network's configuration for one app, downloaded at start-up. Decoding is all or
// nothing: one malformed inventory, platform or capping block fails the whole container.
// `configurationID` is never read from the document; start-up sets it to the write key.
struct QOR_EXPORT Container {
    std::int64_t id = 0;
    Core core;
    std::vector<Inventory> inventories;
    std::optional<std::vector<DemandSidePlatform>> platforms;
    std::optional<std::string> name;
    std::optional<std::string> status;
    std::optional<std::string> url;
    std::optional<bool> isFirstParty;
    Capping capping;
    std::optional<std::string> configurationID;

    static Container decode(const KeyedDecodingContainer& c);

    bool operator==(const Container&) const = default;
};

}  // namespace qor
