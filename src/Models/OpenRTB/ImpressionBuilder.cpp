#include "Models/OpenRTB/ImpressionBuilder.h"

#include <cmath>
#include <limits>

#include "Platform/Foundation/UUID.h"

namespace qor {

Impression makeImpression() {
    Impression impression;
    impression.id = platform::UUID::make().uuidString();
    impression.secure = 1;
    return impression;
}

Impression::Extension coreEndpointExtension(std::int64_t containerID, std::int64_t inventoryID) {
    Impression::Extension ext;
    ext.preBid = PreBid{};
    ext.vormelixAds = Impression::Extension::VormelixAd{
        .headerBids = std::vector<std::string>{},
        .containerID = containerID,
        .inventoryID = inventoryID,
    };
    return ext;
}

std::optional<Impression::Extension> extensionForEndpoint(std::string_view endpointType, std::int64_t containerID,
                                                          std::int64_t inventoryID) {
    if (endpointType == coreEndpointType) return coreEndpointExtension(containerID, inventoryID);
    return std::nullopt;
}

std::optional<std::int64_t> wholePoints(double dimension) {
    if (!std::isfinite(dimension)) return std::nullopt;
    const double truncated = std::trunc(dimension);
    // 2^63 is exactly representable as a double; anything at or beyond it does not fit.
    constexpr double limit = 9223372036854775808.0;
    if (truncated >= limit || truncated < -limit) return std::nullopt;
    return static_cast<std::int64_t>(truncated);
}

std::optional<ImpressionSize> impressionSize(const std::optional<FrameSize>& adSize, std::int64_t metadataWidth,
                                             std::int64_t metadataHeight) {
    if (!adSize) return ImpressionSize{metadataWidth, metadataHeight};
    const auto width = wholePoints(adSize->width);
    const auto height = wholePoints(adSize->height);
    if (!width || !height) return std::nullopt;
    return ImpressionSize{*width, *height};
}

Banner bannerForSize(ImpressionSize size) {
    Format format;
    format.width = size.width;
    format.height = size.height;
    Banner banner;
    banner.formats = std::vector<Format>{format};
    return banner;
}

Video videoForMetadata(const VideoMetadata& metadata, ImpressionSize size) {
    Video video;
    video.mimes = metadata.mines.value_or(std::vector<std::string>{"video/mp4"});
    video.minDuration = metadata.minDuration;
    video.maxDuration = metadata.maxDuration;
    video.protocols = metadata.protocols.value_or(
        std::vector<VideoProtocol>{VideoProtocol::vast2, VideoProtocol::vast3, VideoProtocol::vast4});
    video.width = size.width;
    video.height = size.height;
    video.startDelay = metadata.startDelay;
    video.linearity = metadata.linearity.value_or(1);
    video.skip = metadata.skip;
    video.skipMin = metadata.skipMin;
    video.skipAfter = metadata.skipAfter;
    video.minBitrate = metadata.minBitrate;
    video.maxBitrate = metadata.maxBitrate;
    return video;
}

}  // namespace qor
