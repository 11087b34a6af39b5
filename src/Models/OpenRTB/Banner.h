#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Models/OpenRTB/AdPosition.h"
#include "Models/OpenRTB/Enumerations.h"
#include "Models/OpenRTB/Format.h"
#include "Models/OpenRTB/OpenRTBCoding.h"

namespace qor {

// The display placement of an impression, also the element of video and audio companion lists.
// The ad network's wire form: MIME types under "mines", a single banner type under "btype",
// "ext" as a plain string.
struct Banner {
    enum class BannerType : std::int64_t {
        xhtmlTextAd = 1,
        xhtmlBannerAd = 2,
        javascriptAd = 3,
        iframe = 4,
    };

    std::optional<std::string> id;
    std::optional<std::vector<Format>> formats;
    std::optional<std::int64_t> width;
    std::optional<std::int64_t> height;
    std::optional<BannerType> blockedTypes;
    std::optional<std::vector<CreativeAttribute>> blockedAttributes;
    std::optional<AdPosition> position;
    std::optional<std::vector<std::string>> mines;
    std::optional<std::int64_t> topFrame;
    std::optional<std::vector<ExpandableDirection>> expandableDirection;
    std::optional<std::vector<ApiFramework>> apis;
    std::optional<VideoCompanion> videoCompanion;
    std::optional<std::string> ext;

    void encode(KeyedEncodingContainer& c) const;

    static Banner decode(const KeyedDecodingContainer& c);

    bool operator==(const Banner&) const = default;
};

}  // namespace qor

template <>
struct qor::platform::EnumRawValues<qor::Banner::BannerType> {
    using E = qor::Banner::BannerType;
    static constexpr std::array cases{
        std::pair{E::xhtmlTextAd, std::int64_t{1}},
        std::pair{E::xhtmlBannerAd, std::int64_t{2}},
        std::pair{E::javascriptAd, std::int64_t{3}},
        std::pair{E::iframe, std::int64_t{4}},
    };
};

// Defined after the enumerations' raw values are known to the coding layer.
inline void qor::Banner::encode(KeyedEncodingContainer& c) const {
    c.encodeIfPresent("id", id);
    c.encodeIfPresent("format", formats);
    c.encodeIfPresent("w", width);
    c.encodeIfPresent("h", height);
    c.encodeIfPresent("btype", blockedTypes);
    c.encodeIfPresent("battr", blockedAttributes);
    c.encodeIfPresent("pos", position);
    c.encodeIfPresent("mines", mines);
    c.encodeIfPresent("topframe", topFrame);
    c.encodeIfPresent("expdir", expandableDirection);
    c.encodeIfPresent("api", apis);
    c.encodeIfPresent("vcm", videoCompanion);
    c.encodeIfPresent("ext", ext);
}

inline qor::Banner qor::Banner::decode(const KeyedDecodingContainer& c) {
    Banner b;
    b.id = c.decodeIfPresent<std::string>("id");
    b.formats = c.decodeIfPresent<std::vector<Format>>("format");
    b.width = c.decodeIfPresent<std::int64_t>("w");
    b.height = c.decodeIfPresent<std::int64_t>("h");
    b.blockedTypes = c.decodeIfPresent<BannerType>("btype");
    b.blockedAttributes = c.decodeIfPresent<std::vector<CreativeAttribute>>("battr");
    b.position = c.decodeIfPresent<AdPosition>("pos");
    b.mines = c.decodeIfPresent<std::vector<std::string>>("mines");
    b.topFrame = c.decodeIfPresent<std::int64_t>("topframe");
    b.expandableDirection = c.decodeIfPresent<std::vector<ExpandableDirection>>("expdir");
    b.apis = c.decodeIfPresent<std::vector<ApiFramework>>("api");
    b.videoCompanion = c.decodeIfPresent<VideoCompanion>("vcm");
    b.ext = c.decodeIfPresent<std::string>("ext");
    return b;
}
