#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <QORUniversalSDK/Models/OpenRTB/NativeLink.h>
#include <QORUniversalSDK/Models/OpenRTB/OpenRTBCoding.h>
#include <QORUniversalSDK/Networking/Client/Result.h>
#include <QORUniversalSDK/Platform/Support/Export.h>

// The response side of a native ad (version 1.2), carried as JSON text in the winning bid's
// markup. These records are only ever read.
namespace qor {

namespace AssetTitle {

struct Response {
    std::int64_t length = 0;
    std::string text;
    std::optional<std::string> ext;

    static Response decode(const KeyedDecodingContainer& c) {
        Response r;
        r.length = c.decode<std::int64_t>("len");
        r.text = c.decode<std::string>("text");
        r.ext = c.decodeIfPresent<std::string>("ext");
        return r;
    }

    bool operator==(const Response&) const = default;
};

}  // namespace AssetTitle

namespace AssetImage {

// The image type is a plain number here: whatever the bidder sends is kept.
struct Response {
    std::string url;
    std::optional<std::int64_t> type;
    std::optional<std::int64_t> width;
    std::optional<std::int64_t> height;
    std::optional<std::string> ext;

    static Response decode(const KeyedDecodingContainer& c) {
        Response r;
        r.url = c.decode<std::string>("url");
        r.type = c.decodeIfPresent<std::int64_t>("type");
        r.width = c.decodeIfPresent<std::int64_t>("w");
        r.height = c.decodeIfPresent<std::int64_t>("h");
        r.ext = c.decodeIfPresent<std::string>("ext");
        return r;
    }

    bool operator==(const Response&) const = default;
};

}  // namespace AssetImage

namespace AssetVideo {

struct Response {
    std::string vastTag;

    static Response decode(const KeyedDecodingContainer& c) { return Response{c.decode<std::string>("vasttag")}; }

    bool operator==(const Response&) const = default;
};

}  // namespace AssetVideo

namespace Asset {

// One returned asset, found by the id its request gave it.
struct Response {
    std::optional<std::int64_t> id;
    std::optional<std::int64_t> required;
    std::optional<AssetTitle::Response> title;
    std::optional<AssetImage::Response> image;
    std::optional<AssetVideo::Response> video;
    std::optional<AssetData::Response> data;
    std::optional<Link> link;

    static Response decode(const KeyedDecodingContainer& c) {
        Response r;
        r.id = c.decodeIfPresent<std::int64_t>("id");
        r.required = c.decodeIfPresent<std::int64_t>("required");
        r.title = c.decodeIfPresent<AssetTitle::Response>("title");
        r.image = c.decodeIfPresent<AssetImage::Response>("img");
        r.video = c.decodeIfPresent<AssetVideo::Response>("video");
        r.data = c.decodeIfPresent<AssetData::Response>("data");
        r.link = c.decodeIfPresent<Link>("link");
        return r;
    }

    bool operator==(const Response&) const = default;
};

}  // namespace Asset

// The native ad of a winning bid. Only "ver" is required.
struct NativeAdResponse {
    std::optional<Link> link;
    std::string version;
    std::optional<std::vector<Asset::Response>> assets;
    std::optional<std::string> assetsUrl;
    std::optional<std::string> dcoUrl;
    std::optional<std::vector<EventTracker>> eventTrackers;
    std::optional<std::int64_t> privacy;

    static NativeAdResponse decode(const KeyedDecodingContainer& c) {
        NativeAdResponse r;
        r.link = c.decodeIfPresent<Link>("link");
        r.version = c.decode<std::string>("ver");
        r.assets = c.decodeIfPresent<std::vector<Asset::Response>>("assets");
        r.assetsUrl = c.decodeIfPresent<std::string>("assetsurl");
        r.dcoUrl = c.decodeIfPresent<std::string>("dcourl");
        r.eventTrackers = c.decodeIfPresent<std::vector<EventTracker>>("eventtrackers");
        r.privacy = c.decodeIfPresent<std::int64_t>("privacy");
        return r;
    }

    bool operator==(const NativeAdResponse&) const = default;
};

// The native ad in a bid's markup. Absent markup, markup that is not UTF-8 and markup that does
// not decode all fail alike, with the conversion error naming "NativeAdResponse".
QOR_EXPORT Result<NativeAdResponse> decodeNativeAdResponse(const std::optional<std::string>& adMarkup);

}  // namespace qor
