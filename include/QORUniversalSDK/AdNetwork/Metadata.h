#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <QORUniversalSDK/AdNetwork/AdNetworkCoding.h>
#include <QORUniversalSDK/Core/JSON.h>
#include <QORUniversalSDK/Models/OpenRTB/Enumerations.h>
#include <QORUniversalSDK/Platform/Support/Export.h>

namespace qor {

// An ad unit's display, video and native settings. The ad network's spellings stay: the MIME
// list is "mines", the free-form text "extension". Each element of "assets" is kept as it came,
// whatever its kind; the native asset requests are made from the usable ones.
struct QOR_EXPORT Metadata {
    std::string backgroundColor;
    std::optional<std::string> ext;
    std::optional<std::int64_t> loop;
    std::optional<std::int64_t> skip;
    std::optional<std::string> passBack;
    std::int64_t width = 0;
    std::int64_t height = 0;
    std::optional<std::vector<std::string>> mines;
    std::optional<std::int64_t> linearity;
    std::optional<std::int64_t> skipMin;
    std::optional<std::int64_t> skipAfter;
    std::optional<std::int64_t> startDelay;
    std::optional<std::int64_t> minBitrate;
    std::optional<std::int64_t> maxBitrate;
    std::optional<std::int64_t> minDuration;
    std::optional<std::int64_t> maxDuration;
    std::optional<std::vector<VideoProtocol>> protocols;
    std::optional<std::vector<JSON>> assets;
    std::optional<bool> responsive;
    std::optional<bool> adClose;
    std::optional<std::int64_t> adCloseDelay;

    static Metadata decode(const KeyedDecodingContainer& c);

    bool operator==(const Metadata&) const = default;
};

}  // namespace qor
