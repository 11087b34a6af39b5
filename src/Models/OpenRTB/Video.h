#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Models/OpenRTB/AdPosition.h"
#include "Models/OpenRTB/Banner.h"
#include "Models/OpenRTB/Enumerations.h"
#include "Models/OpenRTB/OpenRTBCoding.h"

namespace qor {

// The video placement of an impression. The ad network expects "skipAfter" in camel case and the
// plural "companiontypes"; the start delay and the linearity travel as plain integers.
struct Video {
    enum class Linearity : std::int64_t {
        inStream = 1,
        overlay = 2,
    };

    enum class Placement : std::int64_t {
        inStream = 1,
        inBanner = 2,
        inArticle = 3,
        inFeed = 4,
        floating = 5,
    };

    std::vector<std::string> mimes;
    std::optional<std::int64_t> minDuration;
    std::optional<std::int64_t> maxDuration;
    std::optional<std::vector<VideoProtocol>> protocols;
    std::optional<std::int64_t> width;
    std::optional<std::int64_t> height;
    std::optional<std::int64_t> startDelay;
    std::optional<Placement> placement;
    std::optional<std::int64_t> linearity;
    std::optional<std::int64_t> skip;
    std::optional<std::int64_t> skipMin;
    std::optional<std::int64_t> skipAfter;
    std::optional<std::int64_t> sequence;
    std::optional<std::vector<CreativeAttribute>> blockedAttributes;
    std::optional<std::int64_t> maxExtended;
    std::optional<std::int64_t> minBitrate;
    std::optional<std::int64_t> maxBitrate;
    std::optional<std::int64_t> boxingAllowed;
    std::optional<std::vector<PlaybackMethod>> playbackMethod;
    std::optional<std::int64_t> playbackEnd;
    std::optional<std::vector<DeliveryMethod>> deliveryMethod;
    std::optional<AdPosition> position;
    std::optional<std::vector<Banner>> companionAds;
    std::optional<std::vector<ApiFramework>> apis;
    std::optional<std::vector<CompanionType>> companionTypes;

    void encode(KeyedEncodingContainer& c) const;
    static Video decode(const KeyedDecodingContainer& c);

    bool operator==(const Video&) const = default;
};

}  // namespace qor

template <>
struct qor::platform::EnumRawValues<qor::Video::Linearity> {
    using E = qor::Video::Linearity;
    static constexpr std::array cases{
        std::pair{E::inStream, std::int64_t{1}},
        std::pair{E::overlay, std::int64_t{2}},
    };
};

template <>
struct qor::platform::EnumRawValues<qor::Video::Placement> {
    using E = qor::Video::Placement;
    static constexpr std::array cases{
        std::pair{E::inStream, std::int64_t{1}},  std::pair{E::inBanner, std::int64_t{2}},
        std::pair{E::inArticle, std::int64_t{3}}, std::pair{E::inFeed, std::int64_t{4}},
        std::pair{E::floating, std::int64_t{5}},
    };
};
