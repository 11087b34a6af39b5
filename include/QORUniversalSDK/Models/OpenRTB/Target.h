#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include <QORUniversalSDK/Models/OpenRTB/OpenRTBCoding.h>

namespace qor {

// Header-bidding targeting key-value pairs, generic and for the bidder "vormelix". Ad servers
// accept targeting keys of at most 20 characters, so the bidder's cache path and cache host
// keys end in the first six letters of its code.
struct Target {
    std::optional<std::string> pb;
    std::optional<std::string> deal;
    std::optional<std::string> env;
    std::optional<std::string> cacheId;
    std::optional<std::string> bidder;
    std::optional<std::string> bidderVormelix;
    std::optional<std::string> dealVormelix;
    std::optional<std::string> envVormelix;
    std::optional<std::string> uuidVormelix;
    std::optional<std::string> cachePath;
    std::optional<std::string> cacheHost;
    std::optional<std::string> cachePathVormelix;
    std::optional<std::string> pbVormelix;
    std::optional<std::string> cacheIdVormelix;
    std::optional<std::string> uuid;
    std::optional<std::string> cacheHostVormelix;

    using Field = std::optional<std::string> Target::*;
    static const std::array<std::pair<Field, std::string_view>, 16> codingKeys;

    void encode(KeyedEncodingContainer& c) const {
        for (const auto& [field, key] : codingKeys) c.encodeIfPresent(key, this->*field);
    }

    static Target decode(const KeyedDecodingContainer& c) {
        Target t;
        for (const auto& [field, key] : codingKeys) t.*field = c.decodeIfPresent<std::string>(key);
        return t;
    }

    bool operator==(const Target&) const = default;
};

inline const std::array<std::pair<Target::Field, std::string_view>, 16> Target::codingKeys{{
    {&Target::pb, "hb_pb"},
    {&Target::deal, "hb_deal"},
    {&Target::env, "hb_env"},
    {&Target::cacheId, "hb_cache_id"},
    {&Target::bidder, "hb_bidder"},
    {&Target::bidderVormelix, "hb_bidder_vormelix"},
    {&Target::dealVormelix, "hb_deal_vormelix"},
    {&Target::envVormelix, "hb_env_vormelix"},
    {&Target::uuidVormelix, "hb_uuid_vormelix"},
    {&Target::cachePath, "hb_cache_path"},
    {&Target::cacheHost, "hb_cache_host"},
    {&Target::cachePathVormelix, "hb_cache_path_vormel"},
    {&Target::pbVormelix, "hb_pb_vormelix"},
    {&Target::cacheIdVormelix, "hb_cache_id_vormelix"},
    {&Target::uuid, "hb_uuid"},
    {&Target::cacheHostVormelix, "hb_cache_host_vormel"},
}};

}  // namespace qor
