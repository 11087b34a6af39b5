#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <QORUniversalSDK/Models/OpenRTB/Enumerations.h>
#include <QORUniversalSDK/Models/OpenRTB/Native.h>
#include <QORUniversalSDK/Models/OpenRTB/NativeLink.h>
#include <QORUniversalSDK/Models/OpenRTB/OpenRTBCoding.h>
#include <QORUniversalSDK/Networking/Client/Result.h>
#include <QORUniversalSDK/Platform/Support/Export.h>

// The request side of a native ad (version 1.2): which assets the ad must carry. These records
// are only ever written; the native request travels as JSON text inside the impression.
namespace qor {

namespace AssetTitle {

struct Request {
    std::int64_t length = 0;
    std::optional<std::string> ext;

    void encode(KeyedEncodingContainer& c) const {
        c.encode("len", length);
        c.encodeIfPresent("ext", ext);
    }

    bool operator==(const Request&) const = default;
};

}  // namespace AssetTitle

namespace AssetImage {

// Only the icon and the main image are asked for; there is no case 2.
enum class ImageType : std::int64_t {
    icon = 1,
    main = 3,
};

struct Request {
    std::optional<ImageType> type;
    std::optional<std::int64_t> width;
    std::optional<std::int64_t> minWidth;
    std::optional<std::int64_t> height;
    std::optional<std::int64_t> minHeight;
    std::optional<std::vector<std::string>> mimes;
    std::optional<std::string> ext;

    void encode(KeyedEncodingContainer& c) const {
        c.encodeIfPresent("type", type);
        c.encodeIfPresent("w", width);
        c.encodeIfPresent("wmin", minWidth);
        c.encodeIfPresent("h", height);
        c.encodeIfPresent("hmin", minHeight);
        c.encodeIfPresent("mimes", mimes);
        c.encodeIfPresent("ext", ext);
    }

    bool operator==(const Request&) const = default;
};

}  // namespace AssetImage

namespace AssetVideo {

struct Request {
    std::vector<std::string> mimes;
    std::int64_t minDuration = 0;
    std::int64_t maxDuration = 0;
    std::vector<VideoProtocol> protocols;

    void encode(KeyedEncodingContainer& c) const {
        c.encode("mimes", mimes);
        c.encode("minduration", minDuration);
        c.encode("maxduration", maxDuration);
        c.encode("protocols", protocols);
    }

    bool operator==(const Request&) const = default;
};

}  // namespace AssetVideo

namespace Asset {

// One requested asset; the ones the system builds hold exactly one of title, image, video, data.
struct Request {
    std::optional<std::int64_t> id;
    std::int64_t required = 0;
    std::optional<AssetTitle::Request> title;
    std::optional<AssetImage::Request> image;
    std::optional<AssetVideo::Request> video;
    std::optional<AssetData::Request> data;

    void encode(KeyedEncodingContainer& c) const {
        c.encodeIfPresent("id", id);
        c.encode("required", required);
        c.encodeIfPresent("title", title);
        c.encodeIfPresent("img", image);
        c.encodeIfPresent("video", video);
        c.encodeIfPresent("data", data);
    }

    bool operator==(const Request&) const = default;
};

}  // namespace Asset

// The whole native request. The context type and sub-type are written ("context",
// "contextsubtype") only when a context type is given: a sub-type means nothing without it, and
// the requests the system sends carry neither.
struct NativeAdRequest {
    std::vector<Asset::Request> assets;
    std::string version;
    std::optional<std::int64_t> contextTypeID;
    std::int64_t contextSubTypeID = 0;
    std::int64_t placementTypeID = 0;
    std::int64_t numOfPlacementID = 0;
    std::int64_t sequence = 0;
    std::int64_t assetUrlSupport = 0;
    std::int64_t dcoUrlSupport = 0;
    std::optional<std::vector<EventTracker>> eventTrackers;
    std::int64_t privacy = 0;
    std::optional<std::string> ext;

    // What a native ad request asks for: these assets, version "1.2", context sub-type 1, one
    // placement of type 1, sequence 0, no asset-URL or DCO support, privacy 0.
    QOR_EXPORT static NativeAdRequest forAssets(std::vector<Asset::Request> assets);

    QOR_EXPORT void encode(KeyedEncodingContainer& c) const;

    bool operator==(const NativeAdRequest&) const = default;
};

// The request as compact JSON text. Fails with the conversion error naming "NativeAdRequest"
// when it cannot be encoded as UTF-8 text.
QOR_EXPORT Result<std::string> nativeAdRequestText(const NativeAdRequest& request);

// The impression's native object for these assets: the text of NativeAdRequest::forAssets as
// "request" and "ver" "1.2"; nothing else. Fails as nativeAdRequestText does.
QOR_EXPORT Result<Native> nativeObjectForAssets(std::vector<Asset::Request> assets);

}  // namespace qor

template <>
struct qor::platform::EnumRawValues<qor::AssetImage::ImageType> {
    using E = qor::AssetImage::ImageType;
    static constexpr std::array cases{
        std::pair{E::icon, std::int64_t{1}},
        std::pair{E::main, std::int64_t{3}},
    };
};
