// The container as the ad network sends it: a realistic document decodes with every field in
// reach, and each malformed variant fails the whole document with a coding error.
#include <functional>
#include <string>
#include <vector>

#include "AdNetwork/Ad.h"
#include "AdNetwork/Container.h"
#include "AdNetworkTestSupport.h"

namespace qor::testing {
namespace {

using platform::DecodingError;

TEST(Container, ARealisticDocumentDecodesWithEveryFieldInReach) {
    const Container c = realisticContainer();
    EXPECT_EQ(c.id, 12);
    EXPECT_EQ(c.core, (Core{"https://core.example/bid", "core", "core.example", "ssp"}));
    EXPECT_EQ(c.name, "Demo app");
    EXPECT_EQ(c.status, "active");
    EXPECT_EQ(c.url, "https://demo.example");
    EXPECT_EQ(c.isFirstParty, true);
    EXPECT_FALSE(c.configurationID.has_value());
    EXPECT_EQ(c.capping, (Capping{0, 0, 10, 100, 1000}));

    ASSERT_EQ(c.platforms->size(), 3U);
    const DemandSidePlatform& alpha = (*c.platforms)[0];
    EXPECT_EQ(alpha.credential->apiKey, "k-3");
    EXPECT_EQ(alpha.url, "https://alpha.example/bid");
    EXPECT_EQ(alpha.domain, "alpha.example");
    EXPECT_EQ(alpha.status, "on");
    EXPECT_EQ(alpha.priority, 1);
    EXPECT_EQ(alpha.directDeal, 0);
    EXPECT_EQ(alpha.headerBidding, 1);
    EXPECT_FALSE((*c.platforms)[2].name.has_value());

    ASSERT_EQ(c.inventories.size(), 3U);
    const Inventory& banner = c.inventories[0];
    EXPECT_EQ(banner.id, 101);
    EXPECT_EQ(banner.cpm, 2);
    EXPECT_EQ(banner.format, "banner");
    EXPECT_EQ(banner.merge, "none");
    EXPECT_EQ(banner.name, "Home banner");
    EXPECT_EQ(banner.type, "display");
    EXPECT_FLOAT_EQ(*banner.floorPrice, 0.5F);
    EXPECT_EQ(banner.positionID, 1);
    EXPECT_EQ(banner.clickRate, 3);
    EXPECT_EQ(banner.fillRate, 90);
    EXPECT_FALSE(banner.defaultAds.has_value());
    EXPECT_EQ(banner.trackerTemplate->clickUrl, "https://t/c");
    EXPECT_EQ(banner.trackerTemplate->price, 0);
    EXPECT_EQ(banner.platforms->at(1).directDeal, 1);
    EXPECT_FALSE(banner.platforms->at(1).url.has_value());  // inventory entries carry no URL
    EXPECT_EQ(banner.metadata.backgroundColor, "#FFFFFF");
    EXPECT_EQ(banner.metadata.ext, "x");
    EXPECT_EQ(banner.metadata.passBack, "<div>house ad</div>");
    EXPECT_EQ(banner.metadata.responsive, true);
    EXPECT_EQ(banner.metadata.adClose, true);
    EXPECT_EQ(banner.metadata.adCloseDelay, 3);

    const Metadata& video = c.inventories[1].metadata;
    EXPECT_EQ(c.inventories[1].defaultAds->seatBids->front().bids.front().id, "d1");
    EXPECT_EQ(video.mines, (std::vector<std::string>{"video/mp4", "video/webm"}));
    EXPECT_EQ(video.protocols,
              (std::vector<VideoProtocol>{VideoProtocol::vast2, VideoProtocol::vast3, VideoProtocol::vast4}));
    EXPECT_EQ(std::vector<std::optional<std::int64_t>>({video.skip, video.skipMin, video.skipAfter, video.startDelay,
                                                        video.linearity, video.minBitrate, video.maxBitrate,
                                                        video.minDuration, video.maxDuration}),
              std::vector<std::optional<std::int64_t>>({1, 5, 5, 0, 1, 300, 1500, 5, 30}));
    EXPECT_EQ(c.inventories[2].metadata.assets->size(), 13U);  // every element kept, usable or not
}

// Each edit of the realistic document and whether the container still decodes.
struct Variant {
    const char* name;
    std::function<void(Json&)> edit;
    bool decodes;
};

Json& banner(Json& d) { return d["inventories"][0]; }
Json& bannerMetadata(Json& d) { return banner(d)["metadata"]; }

const std::vector<Variant>& variants() {
    static const std::vector<Variant> all = {
        {"no capping", [](Json& d) { d.erase("capping"); }, false},
        {"capping without day", [](Json& d) { d["capping"].erase("day"); }, false},
        {"first_party as a number", [](Json& d) { d["first_party"] = 1; }, false},
        {"id as text", [](Json& d) { d["id"] = "12"; }, false},
        {"id past 64 bits", [](Json& d) { d["id"] = 9223372036854775808ULL; }, false},
        {"no core", [](Json& d) { d.erase("core"); }, false},
        {"core without domain", [](Json& d) { d["core"].erase("domain"); }, false},
        {"inventories null", [](Json& d) { d["inventories"] = nullptr; }, false},
        {"inventories an object", [](Json& d) { d["inventories"] = Json::object(); }, false},
        {"inventory without metadata", [](Json& d) { d["inventories"][2].erase("metadata"); }, false},
        {"empty tracker template", [](Json& d) { banner(d)["tracker_template"] = Json::object(); }, false},
        {"tracker template price as text", [](Json& d) { banner(d)["tracker_template"]["price"] = "0"; }, false},
        {"protocol 0", [](Json& d) { d["inventories"][1]["metadata"]["protocols"] = {0}; }, false},
        {"protocol 11",
         [](Json& d) {
             d["inventories"][1]["metadata"]["protocols"] = {2, 11};
         },
         false},
        {"width with a fraction", [](Json& d) { bannerMetadata(d)["width"] = 320.5; }, false},
        {"no height", [](Json& d) { bannerMetadata(d).erase("height"); }, false},
        {"background colour null", [](Json& d) { bannerMetadata(d)["background_color"] = nullptr; }, false},
        {"mines element a number",
         [](Json& d) {
             bannerMetadata(d)["mines"] = {"video/mp4", 1};
         },
         false},
        {"responsive as 1", [](Json& d) { bannerMetadata(d)["responsive"] = 1; }, false},
        {"floor price as text", [](Json& d) { banner(d)["floor_price"] = "0.5"; }, false},
        {"platform without id", [](Json& d) { d["dsps"][1].erase("id"); }, false},
        {"platform priority as text", [](Json& d) { d["dsps"][0]["priority"] = "1"; }, false},
        {"inventory platform flag as bool", [](Json& d) { banner(d)["dsps"][0]["direct_deal"] = true; }, false},
        {"bad default ads",
         [](Json& d) {
             banner(d)["ads_default"] = Json{{"seatbid", Json::array()}};
         },
         false},
        {"not an object", [](Json& d) { d = Json::array(); }, false},
        {"dsps null", [](Json& d) { d["dsps"] = nullptr; }, true},
        {"no inventories in the list", [](Json& d) { d["inventories"] = Json::array(); }, true},
        {"tracker template null", [](Json& d) { banner(d)["tracker_template"] = nullptr; }, true},
        {"first_party null", [](Json& d) { d["first_party"] = nullptr; }, true},
        {"metadata mimes is not mines", [](Json& d) { bannerMetadata(d)["mimes"] = 5; }, true},
        {"apiKey in snake case",
         [](Json& d) {
             d["dsps"][0]["credential"] = {{"api_key", 1}};
         },
         true},
        {"blacklist 2", [](Json& d) { d["capping"]["blacklist"] = 2; }, true},
    };
    return all;
}

TEST(Container, EachMalformedVariantFailsTheWholeDocument) {
    for (const Variant& variant : variants()) {
        Json document = realisticContainerDocument();
        variant.edit(document);
        try {
            const Container container = decodeContainer(document.dump());
            EXPECT_TRUE(variant.decodes) << variant.name;
        } catch (const DecodingError& error) {
            EXPECT_FALSE(variant.decodes) << variant.name << ": " << error.what();
        }
    }
}

TEST(Container, TolerantVariantsLeaveFieldsAbsentRatherThanDefaulted) {
    Json document = realisticContainerDocument();
    document.erase("dsps");
    document["first_party"] = nullptr;
    bannerMetadata(document)["mimes"] = {"video/mp4"};
    document["dsps"] = nullptr;
    document["inventories"][0]["dsps"][0] = {{"id", 3}};
    const Container c = decodeContainer(document.dump());
    EXPECT_FALSE(c.platforms.has_value());
    EXPECT_FALSE(c.isFirstParty.has_value());
    EXPECT_FALSE(c.inventories[0].metadata.mines.has_value());
    const DemandSidePlatform& onlyID = c.inventories[0].platforms->front();
    DemandSidePlatform expected;
    expected.id = 3;
    EXPECT_EQ(onlyID, expected);
    EXPECT_FALSE((Capping{2, 0, 0, 0, 0}.barsClient()));
    EXPECT_TRUE((Capping{1, 0, 0, 0, 0}.barsClient()));
}

TEST(Ad, DecodesAnIdAndAnOptionalBidResponse) {
    const platform::JSONDecoder decoder;
    EXPECT_FALSE(decoder.decode<Ad>(R"({"id":"a","bid_info":null})").bid.has_value());
    EXPECT_EQ(decoder.decode<Ad>(R"({"id":"a","bid_info":{"id":"r"}})").bid->id, "r");
    EXPECT_THROW((void)decoder.decode<Ad>(R"({"bid_info":{"id":"r"}})"), DecodingError);
    EXPECT_THROW((void)decoder.decode<Ad>(R"({"id":"a","bid_info":{}})"), DecodingError);
}

}  // namespace
}  // namespace qor::testing
