#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <QORUniversalSDK/Models/OpenRTB/OpenRTBCoding.h>
#include <QORUniversalSDK/Models/OpenRTB/Target.h>

namespace qor {

struct StoreRequest {
    std::optional<std::string> id;

    void encode(KeyedEncodingContainer& c) const { c.encodeIfPresent("id", id); }

    static StoreRequest decode(const KeyedDecodingContainer& c) {
        return StoreRequest{c.decodeIfPresent<std::string>("id")};
    }

    bool operator==(const StoreRequest&) const = default;
};

// Where a bid's cached creative can be fetched; "bids" is one object, not a list.
struct BidCacheInfo {
    std::optional<std::string> url;
    std::optional<std::string> cacheId;

    void encode(KeyedEncodingContainer& c) const {
        c.encodeIfPresent("url", url);
        c.encodeIfPresent("cacheId", cacheId);
    }

    static BidCacheInfo decode(const KeyedDecodingContainer& c) {
        BidCacheInfo info;
        info.url = c.decodeIfPresent<std::string>("url");
        info.cacheId = c.decodeIfPresent<std::string>("cacheId");
        return info;
    }

    bool operator==(const BidCacheInfo&) const = default;
};

struct Cache {
    std::optional<std::string> key;
    std::optional<std::string> url;
    std::optional<BidCacheInfo> bids;

    void encode(KeyedEncodingContainer& c) const {
        c.encodeIfPresent("key", key);
        c.encodeIfPresent("url", url);
        c.encodeIfPresent("bids", bids);
    }

    static Cache decode(const KeyedDecodingContainer& c) {
        Cache cache;
        cache.key = c.decodeIfPresent<std::string>("key");
        cache.url = c.decodeIfPresent<std::string>("url");
        cache.bids = c.decodeIfPresent<BidCacheInfo>("bids");
        return cache;
    }

    bool operator==(const Cache&) const = default;
};

struct Meta {
    std::optional<std::int64_t> advertiserId;

    void encode(KeyedEncodingContainer& c) const { c.encodeIfPresent("advertiserId", advertiserId); }

    static Meta decode(const KeyedDecodingContainer& c) {
        return Meta{c.decodeIfPresent<std::int64_t>("advertiserId")};
    }

    bool operator==(const Meta&) const = default;
};

// The header-bidding block of an impression's or a bid's extension ("prebid"). The system
// sends it empty to the core ad server and carries whatever a bid brings back unread.
struct PreBid {
    std::optional<Target> targeting;
    std::optional<StoreRequest> storeRequest;
    std::optional<Cache> cache;
    std::optional<Meta> meta;
    std::optional<std::string> bidID;
    std::optional<std::string> type;
    std::optional<std::string> fileType;
    std::optional<std::string> playType;

    void encode(KeyedEncodingContainer& c) const {
        c.encodeIfPresent("targeting", targeting);
        c.encodeIfPresent("storerequest", storeRequest);
        c.encodeIfPresent("cache", cache);
        c.encodeIfPresent("meta", meta);
        c.encodeIfPresent("bidid", bidID);
        c.encodeIfPresent("type", type);
        c.encodeIfPresent("file_type", fileType);
        c.encodeIfPresent("play_type", playType);
    }

    static PreBid decode(const KeyedDecodingContainer& c) {
        PreBid p;
        p.targeting = c.decodeIfPresent<Target>("targeting");
        p.storeRequest = c.decodeIfPresent<StoreRequest>("storerequest");
        p.cache = c.decodeIfPresent<Cache>("cache");
        p.meta = c.decodeIfPresent<Meta>("meta");
        p.bidID = c.decodeIfPresent<std::string>("bidid");
        p.type = c.decodeIfPresent<std::string>("type");
        p.fileType = c.decodeIfPresent<std::string>("file_type");
        p.playType = c.decodeIfPresent<std::string>("play_type");
        return p;
    }

    bool operator==(const PreBid&) const = default;
};

}  // namespace qor
