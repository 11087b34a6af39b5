// What the ad-request engine reads from the container: the endpoint list of a unit, the native
// asset requests, the pass-back bid and the metadata readers.
#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "AdNetwork/EndpointList.h"
#include "AdNetwork/InventoryReaders.h"
#include "AdNetwork/NativeAssetRequests.h"
#include "AdNetworkTestSupport.h"
#include "Core/SDKLogCapture.h"

namespace qor::testing {
namespace {

Json assetJson(const std::optional<Asset::Request>& request) {
    return request ? encodeToJson(*request) : Json(nullptr);
}

std::optional<Asset::Request> assetFrom(const std::string& entry) {
    return assetRequest(platform::JSONDecoder{}.decode<JSON>(entry));
}

TEST(EndpointList, PlatformsInInventoryOrderThenTheCoreServer) {
    const Container container = realisticContainer();
    const auto endpoints = endpointsForInventory(container, container.inventories[0]);
    EXPECT_EQ(endpoints, (std::vector<Endpoint>{
                             {3, "Alpha", "https://alpha.example/bid", "dsp", false, true},
                             {4, "unknown", "https://beta.example/bid", "dsp", true, false},
                             {-1, "core", "https://core.example/bid", "core", false, false},
                         }));
    // The inventory's own entry decides name and flags; the container's only the URL.
    const auto resolved = resolvePlatforms(container, container.inventories[0]);
    EXPECT_FALSE(resolved[1].name.has_value());
    EXPECT_EQ(resolved[1].url, "https://beta.example/bid");

    EXPECT_EQ(endpointsForInventory(container, container.inventories[2]),
              (std::vector<Endpoint>{{-1, "core", "https://core.example/bid", "core", false, false}}));
}

TEST(EndpointList, PlatformsWithoutABiddingURLAreLeftOutButADirectDealStays) {
    Json document = realisticContainerDocument();
    document["dsps"].push_back({{"id", 3}, {"bidding_url", "https://second.example"}});
    document["dsps"][1].erase("bidding_url");  // platform 4, a direct deal here: listed, no URL
    document["inventories"][0]["dsps"].push_back({{"id", 99}, {"header_bidding", -1}});  // not listed at all
    const Container container = decodeContainer(document.dump());

    test::SDKLogCapture log;
    const auto endpoints = endpointsForInventory(container, container.inventories[0]);
    ASSERT_EQ(endpoints.size(), 3U);
    EXPECT_EQ(endpoints[0].url, "https://alpha.example/bid");  // the first platform of that id wins
    // The direct deal stays without a URL, to fail unasked and still decide alone.
    EXPECT_EQ(endpoints[1], (Endpoint{4, "unknown", "", "dsp", true, false}));
    EXPECT_EQ(endpoints[2].type, "core");
    const auto lines = log.lines();
    ASSERT_EQ(lines.size(), 2U);
    EXPECT_EQ(lines[0].rfind("[QORSDK] Direct deal 4 ", 0), 0U) << lines[0];
    EXPECT_EQ(lines[1].rfind("[QORSDK] Demand platform 99 ", 0), 0U) << lines[1];

    document["inventories"][0]["dsps"][1]["direct_deal"] = 0;
    const Container open = decodeContainer(document.dump());
    EXPECT_EQ(endpointsForInventory(open, open.inventories[0]).size(), 2U);  // 4 is then left out

    document["dsps"] = nullptr;
    const Container withoutPlatforms = decodeContainer(document.dump());
    EXPECT_EQ(endpointsForInventory(withoutPlatforms, withoutPlatforms.inventories[0]).size(), 1U);
}

TEST(NativeAssets, TheUnitsAssetsBecomeRequestsInOrder) {
    const auto requests = assetRequestsForUnit(realisticContainer(), 103);
    ASSERT_TRUE(requests.has_value());
    Json encoded = Json::array();
    for (const auto& request : *requests) encoded.push_back(encodeToJson(request));
    EXPECT_EQ(encoded, Json::parse(R"([
      {"id": 1, "required": 1, "img": {"type": 1, "w": 80, "h": 80, "mimes": ["image/png"]}},
      {"id": 2, "required": 0, "img": {"type": 3, "w": 1200, "wmin": 600, "h": 627, "hmin": 314}},
      {"id": 3, "required": 1, "title": {"len": 90}},
      {"id": 4, "required": 0, "data": {"type": 2, "len": 140}},
      {"id": 5, "required": 0, "data": {"type": 12}},
      {"id": 6, "required": 0, "data": {"type": 1}},
      {"id": 7, "required": 0, "video": {"mimes": ["video/mp4"], "minduration": 10, "maxduration": 30,
                                         "protocols": [2, 3, 7]}},
      {"id": 8, "required": 0, "data": {"type": 3}},
      {"id": 11, "required": 0, "data": {"type": 6, "len": 8}},
      {"id": 16, "required": 0, "data": {"type": 11}}])"));

    EXPECT_FALSE(assetRequestsForUnit(std::nullopt, 103).has_value());
    EXPECT_FALSE(assetRequestsForUnit(realisticContainer(), 101).has_value());  // no "assets"
    EXPECT_FALSE(assetRequestsForUnit(realisticContainer(), 999).has_value());
}

TEST(NativeAssets, EntriesOneByOne) {
    const std::vector<std::pair<std::string, Json>> cases = {
        {R"({"type":"title"})", Json::parse(R"({"id":3,"required":0,"title":{"len":140}})")},
        {R"({"type":"video","required":true})",
         Json::parse(R"({"id":7,"required":1,"video":{"mimes":["video/mp4"],"minduration":5,"maxduration":30,
                          "protocols":[2,3,7]}})")},
        {R"({"type":"img","w":300,"h":"250","mimes":["a",1]})",
         Json::parse(R"({"id":2,"required":0,"img":{"type":3,"w":300}})")},
        {R"({"type":"price","length":8,"required":"yes"})",
         Json::parse(R"({"id":11,"required":0,"data":{"type":6,"len":8}})")},
        {R"({"type":"title","length":12.5,"required":0})", Json::parse(R"({"id":3,"required":0,"title":{"len":140}})")},
        {R"({"type":"Title"})", Json::parse(R"({"required":0})")},  // no id: dropped from the list
        {R"({"required":true})", Json(nullptr)},
        {R"({"type":3})", Json(nullptr)},
        {R"("title")", Json(nullptr)},
        {R"([{"type":"title"}])", Json(nullptr)},
    };
    for (const auto& [entry, expected] : cases) EXPECT_EQ(assetJson(assetFrom(entry)), expected) << entry;

    Metadata metadata;
    metadata.assets = platform::JSONDecoder{}.decode<std::vector<JSON>>(R"([{"type":"desc"},{"type":"desc"},1,"x"])");
    const auto twice = assetRequests(metadata);
    ASSERT_EQ(twice->size(), 2U);  // nothing de-duplicates
    EXPECT_EQ((*twice)[0].id, (*twice)[1].id);
    metadata.assets = std::vector<JSON>{JSON(1), JSON("x")};
    EXPECT_EQ(assetRequests(metadata), std::vector<Asset::Request>{});  // empty, yet a list
}

TEST(InventoryReaders, LookupFormatFloorAndPassBack) {
    Container container = realisticContainer();
    Inventory duplicate = container.inventories[1];
    duplicate.id = 101;
    container.inventories.push_back(duplicate);
    ASSERT_NE(findInventory(container, 101), nullptr);
    EXPECT_EQ(findInventory(container, 101)->format, "banner");  // the first of that id
    EXPECT_EQ(findInventory(container, 7), nullptr);

    const Inventory& banner = container.inventories[0];
    EXPECT_TRUE(inventoryServes(banner, AdType::banner));
    EXPECT_FALSE(inventoryServes(banner, AdType::video));
    Inventory anyFormat = banner;
    anyFormat.format.reset();
    EXPECT_TRUE(inventoryServes(anyFormat, AdType::nativeAds));

    EXPECT_TRUE(meetsFloor(banner, 0.5F));
    EXPECT_FALSE(meetsFloor(banner, 0.49F));
    EXPECT_TRUE(meetsFloor(anyFormat, 0.5F));
    Inventory noFloor = banner;
    noFloor.floorPrice.reset();
    EXPECT_TRUE(meetsFloor(noFloor, 0.0F));
    EXPECT_FALSE(meetsFloor(noFloor, -0.01F));

    const auto bid = passBackBid(banner.metadata, "request-1");
    ASSERT_TRUE(bid.has_value());
    EXPECT_EQ(bid->requestId, "request-1");
    const Json encoded = encodeToJson(*bid);
    EXPECT_EQ(encoded.size(), 4U);
    EXPECT_EQ(encoded["price"], 0);
    EXPECT_EQ(encoded["adm"], "<div>house ad</div>");
    EXPECT_EQ(encoded["id"].get<std::string>().size(), 36U);
    EXPECT_NE(encoded["id"], encoded["impid"]);

    Metadata empty = banner.metadata;
    empty.passBack = "";
    EXPECT_FALSE(passBackBid(empty, "r").has_value());
    empty.passBack.reset();
    EXPECT_FALSE(passBackMarkup(empty).has_value());
}

TEST(InventoryReaders, VideoAdaptiveSizeAndCloseButton) {
    const Container container = realisticContainer();
    const Video video = videoForMetadata(videoMetadata(container.inventories[1].metadata), {480, 360});
    EXPECT_EQ(video.mimes, (std::vector<std::string>{"video/mp4", "video/webm"}));
    EXPECT_EQ(video.maxBitrate, 1500);
    EXPECT_EQ(video.skipAfter, 5);

    Metadata metadata = container.inventories[0].metadata;  // responsive, 320 x 50
    EXPECT_EQ(adaptiveHeight(metadata, 375), 59.0);         // 58.59 rounds up
    EXPECT_EQ(adaptiveHeight(metadata, 64), 10.0);
    EXPECT_EQ(closeButtonFadeSeconds(metadata), 3);
    metadata.adCloseDelay.reset();
    EXPECT_EQ(closeButtonFadeSeconds(metadata), 0);
    metadata.adClose = false;
    metadata.responsive.reset();
    EXPECT_FALSE(closeButtonFadeSeconds(metadata).has_value());
    EXPECT_FALSE(adaptiveHeight(metadata, 375).has_value());

    // Only positive sizes give a height: nothing negative or empty goes to the bidders.
    metadata.responsive = true;
    struct Case {
        std::int64_t width, height;
        double viewWidth;
        std::optional<double> expected;
    };
    const Case cases[] = {{320, 50, 375, 59.0},          {-320, 50, 375, std::nullopt},
                          {320, -50, 375, std::nullopt}, {0, 50, 375, std::nullopt},
                          {320, 0, 375, std::nullopt},   {320, 50, 0, std::nullopt},
                          {320, 50, -375, std::nullopt}, {320, 50, std::nan(""), std::nullopt}};
    for (const auto& c : cases) {
        metadata.width = c.width;
        metadata.height = c.height;
        EXPECT_EQ(adaptiveHeight(metadata, c.viewWidth), c.expected)
            << c.width << "x" << c.height << " at " << c.viewWidth;
    }
}

}  // namespace
}  // namespace qor::testing
