#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Models/OpenRTB/Banner.h"
#include "Models/OpenRTB/Enumerations.h"
#include "Models/OpenRTB/Impression.h"
#include "Models/OpenRTB/Video.h"

// What the ad-request engine writes into the one impression of a bid request. The engine passes
// plain values (an ad size's frame, the few inventory metadata fields a video needs) so that this
// layer knows nothing of ad sizes or container records.
namespace qor {

// A size in whole points, as banner formats and video objects carry it.
struct ImpressionSize {
    std::int64_t width = 0;
    std::int64_t height = 0;

    bool operator==(const ImpressionSize&) const = default;
};

// An ad size's frame in points, fractions allowed.
struct FrameSize {
    double width = 0;
    double height = 0;
};

// The inventory metadata fields that shape a video impression.
struct VideoMetadata {
    std::optional<std::vector<std::string>> mines;
    std::optional<std::int64_t> minDuration;
    std::optional<std::int64_t> maxDuration;
    std::optional<std::vector<VideoProtocol>> protocols;
    std::optional<std::int64_t> startDelay;
    std::optional<std::int64_t> linearity;
    std::optional<std::int64_t> skip;
    std::optional<std::int64_t> skipMin;
    std::optional<std::int64_t> skipAfter;
    std::optional<std::int64_t> minBitrate;
    std::optional<std::int64_t> maxBitrate;
};

// The endpoint type whose impression carries the extension.
inline constexpr std::string_view coreEndpointType = "core";

// A new impression: a fresh upper-case UUID as id, secure 1, nothing else.
Impression makeImpression();

// The extension the core ad server receives: an empty header-bidding block and the ad network's
// block with no header bids, the container id and the ad unit's inventory id.
Impression::Extension coreEndpointExtension(std::int64_t containerID, std::int64_t inventoryID);

// The extension for an endpoint of the given type: the core extension for "core", none otherwise.
std::optional<Impression::Extension> extensionForEndpoint(std::string_view endpointType, std::int64_t containerID,
                                                          std::int64_t inventoryID);

// A frame dimension in whole points, the fraction dropped; nothing when the value is not finite or
// does not fit a 64-bit integer (a custom ad size can carry anything).
std::optional<std::int64_t> wholePoints(double dimension);

// The size of the impression: the ad size's frame when the request has one, else the inventory
// metadata's width and height. Nothing when the given frame cannot be expressed in whole points,
// so the caller fails the request instead of sending a nonsense size.
std::optional<ImpressionSize> impressionSize(const std::optional<FrameSize>& adSize, std::int64_t metadataWidth,
                                             std::int64_t metadataHeight);

// A banner with one format of this size and nothing else.
Banner bannerForSize(ImpressionSize size);

// The video object of a video request: the metadata's values, with "video/mp4", the protocols
// VAST 2.0, 3.0 and 4.0 and linearity 1 in place of those the metadata lacks.
Video videoForMetadata(const VideoMetadata& metadata, ImpressionSize size);

}  // namespace qor
