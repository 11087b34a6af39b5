#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Models/OpenRTB/Audio.h"
#include "Models/OpenRTB/Banner.h"
#include "Models/OpenRTB/Metric.h"
#include "Models/OpenRTB/Native.h"
#include "Models/OpenRTB/OpenRTBCoding.h"
#include "Models/OpenRTB/PreBid.h"
#include "Models/OpenRTB/PrivateMarketplace.h"
#include "Models/OpenRTB/Video.h"

namespace qor {

// The one ad slot a bid request offers. The floor is a whole number without a default, and
// "secure" is always sent. Only the core ad server receives the extension.
struct Impression {
    struct Extension {
        // The ad network's own block: which container and inventory the request is for.
        struct VormelixAd {
            std::optional<std::vector<std::string>> headerBids;
            std::optional<std::int64_t> containerID;
            std::optional<std::int64_t> inventoryID;

            void encode(KeyedEncodingContainer& c) const;
            static VormelixAd decode(const KeyedDecodingContainer& c);

            bool operator==(const VormelixAd&) const = default;
        };

        std::optional<PreBid> preBid;
        std::optional<VormelixAd> vormelixAds;

        void encode(KeyedEncodingContainer& c) const;
        static Extension decode(const KeyedDecodingContainer& c);

        bool operator==(const Extension&) const = default;
    };

    std::string id;
    std::optional<std::vector<Metric>> metric;
    std::optional<Banner> banner;
    std::optional<Video> video;
    std::optional<Audio> audio;
    std::optional<Native> native;
    std::optional<PrivateMarketplace> pmp;
    std::optional<std::string> displayManager;
    std::optional<std::string> displayManagerVersion;
    std::optional<std::int64_t> interstitial;
    std::optional<std::string> tagId;
    std::optional<std::int64_t> bidFloor;
    std::optional<std::string> bidFloorCurrency;
    std::optional<std::int64_t> clickBrowser;
    std::int64_t secure = 0;
    std::optional<std::vector<std::string>> iframeBuster;
    std::optional<std::int64_t> expire;
    std::optional<Extension> ext;

    void encode(KeyedEncodingContainer& c) const;
    static Impression decode(const KeyedDecodingContainer& c);

    bool operator==(const Impression&) const = default;
};

}  // namespace qor
