#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <QORUniversalSDK/Models/OpenRTB/Enumerations.h>
#include <QORUniversalSDK/Models/OpenRTB/OpenRTBCoding.h>
#include <QORUniversalSDK/Models/OpenRTB/PreBid.h>
#include <QORUniversalSDK/Platform/Support/Export.h>

namespace qor {

// The content rating of a bid's creative. Numbered from 0, one below the published list.
enum class MediaRating : std::int64_t {
    all = 0,
    over12 = 1,
    mature = 2,
};

// One offer of an endpoint's answer. `id`, `impressionID` and `price` are required on the wire;
// everything else is written only when present. `requestId` belongs to the running system (the
// auction sets it on the bid it hands over) and is never coded.
struct QOR_EXPORT Bid {
    // The bid's "ext": the header-bidding block, free key/value pairs and the viewability
    // tracker URLs.
    struct Extension {
        std::optional<PreBid> preBid;
        std::optional<std::map<std::string, std::string>> context;
        std::optional<std::string> viewable;
        std::optional<std::string> notViewable;
        std::optional<std::string> undeterminedViewable;

        void encode(KeyedEncodingContainer& c) const;
        static Extension decode(const KeyedDecodingContainer& c);

        bool operator==(const Extension&) const = default;
    };

    Bid() = default;
    // A bid with only these values; every other field absent.
    Bid(std::string id, std::string impressionID, float price, std::optional<std::string> adMarkup = std::nullopt,
        std::optional<std::string> requestId = std::nullopt)
        : id(std::move(id)),
          impressionID(std::move(impressionID)),
          price(price),
          requestId(std::move(requestId)),
          adMarkup(std::move(adMarkup)) {}

    std::string id;
    std::string impressionID;
    float price = 0;
    std::optional<std::string> requestId;
    std::optional<std::string> winURL;
    std::optional<std::string> billURL;
    std::optional<std::string> lossURL;
    std::optional<std::string> adMarkup;
    std::optional<std::string> preloadedAdID;
    std::optional<std::vector<std::string>> advertiserDomains;
    std::optional<std::string> bundle;
    std::optional<std::string> imageURL;
    std::optional<std::string> campaignID;
    std::optional<std::string> creativeID;
    std::optional<std::string> tacticID;
    std::optional<std::vector<std::string>> categories;
    std::optional<std::vector<CreativeAttribute>> attributes;
    std::optional<ApiFramework> api;
    std::optional<VideoProtocol> videoProtocol;
    std::optional<MediaRating> mediaRating;
    std::optional<std::string> language;
    std::optional<std::string> dealID;
    std::optional<std::int64_t> width;
    std::optional<std::int64_t> height;
    std::optional<std::int64_t> widthRatio;
    std::optional<std::int64_t> heightRatio;
    std::optional<std::int64_t> expired;
    std::optional<Extension> ext;

    void encode(KeyedEncodingContainer& c) const;
    static Bid decode(const KeyedDecodingContainer& c);

    bool operator==(const Bid&) const = default;
};

}  // namespace qor

template <>
struct qor::platform::EnumRawValues<qor::MediaRating> {
    using E = qor::MediaRating;
    static constexpr std::array cases{
        std::pair{E::all, std::int64_t{0}},
        std::pair{E::over12, std::int64_t{1}},
        std::pair{E::mature, std::int64_t{2}},
    };
};
