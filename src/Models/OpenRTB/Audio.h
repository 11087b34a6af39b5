#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Models/OpenRTB/Banner.h"
#include "Models/OpenRTB/Enumerations.h"
#include "Models/OpenRTB/OpenRTBCoding.h"
#include "Models/OpenRTB/VideoStartDelay.h"

namespace qor {

// The audio placement of an impression. MIME types go under "mines", the protocol list is
// required, the start delay is one of the four positions and "ext" is a plain string.
struct Audio {
    enum class FeedType : std::int64_t {
        musicService = 1,
        broadcast = 2,
        podcast = 3,
    };

    enum class VolumeMode : std::int64_t {
        none = 0,
        average = 1,
        peak = 2,
        loudness = 3,
        custom = 4,
    };

    std::vector<std::string> mines;
    std::optional<std::int64_t> minDuration;
    std::optional<std::int64_t> maxDuration;
    std::vector<VideoProtocol> protocols;
    std::optional<VideoStartDelay> startDelay;
    std::optional<std::int64_t> sequence;
    std::optional<std::vector<CreativeAttribute>> blockedAttributes;
    std::optional<std::int64_t> maxExtended;
    std::optional<std::int64_t> minBitrate;
    std::optional<std::int64_t> maxBitrate;
    std::optional<std::vector<DeliveryMethod>> deliveryMethod;
    std::optional<std::vector<Banner>> companionAds;
    std::optional<std::vector<ApiFramework>> apis;
    std::optional<std::vector<CompanionType>> companionTypes;
    std::optional<std::int64_t> maxSequence;
    std::optional<FeedType> feed;
    std::optional<std::int64_t> stitched;
    std::optional<VolumeMode> volumeMode;
    std::optional<std::string> ext;

    void encode(KeyedEncodingContainer& c) const;
    static Audio decode(const KeyedDecodingContainer& c);

    bool operator==(const Audio&) const = default;
};

}  // namespace qor

template <>
struct qor::platform::EnumRawValues<qor::Audio::FeedType> {
    using E = qor::Audio::FeedType;
    static constexpr std::array cases{
        std::pair{E::musicService, std::int64_t{1}},
        std::pair{E::broadcast, std::int64_t{2}},
        std::pair{E::podcast, std::int64_t{3}},
    };
};

template <>
struct qor::platform::EnumRawValues<qor::Audio::VolumeMode> {
    using E = qor::Audio::VolumeMode;
    static constexpr std::array cases{
        std::pair{E::none, std::int64_t{0}},   std::pair{E::average, std::int64_t{1}},
        std::pair{E::peak, std::int64_t{2}},   std::pair{E::loudness, std::int64_t{3}},
        std::pair{E::custom, std::int64_t{4}},
    };
};
