#include "NativeFormatHarness.h"

#include "Platform/Foundation/JSONDecoder.h"
#include "Platform/Foundation/JSONEncoder.h"

namespace qor::nativetest {
namespace {

std::shared_ptr<NativeAd> adFrom(const Json& response, std::optional<std::string> requestId = "RID") {
    const auto decoded = decodeNativeAdResponse(response.dump());
    EXPECT_TRUE(decoded.isSuccess());
    return NativeAd::make(std::move(requestId), decoded.value());
}

Json dataAsset(int id, const std::string& value) { return {{"id", id}, {"data", {{"value", value}}}}; }

TEST(NativeAdModel, FilesEachAssetByItsIdAndLetALaterOneReplaceIt) {
    Json assets = Json::array({
        {{"id", 1}, {"img", {{"url", "https://i.test/icon.png"}, {"w", 50}, {"h", 50}}}},
        {{"id", 2}, {"img", {{"url", "https://i.test/main.png"}, {"w", 300}}}},  // no height: no metadata
        {{"id", 7}, {"video", {{"vasttag", "https://v.test/vast.xml"}}}},
        {{"id", 3}, {"title", {{"text", "First"}, {"len", 5}}}},
        {{"id", 3}},  // a later asset without a title clears it
        {{"id", 0}, {"data", {{"value", "zero"}}}},
        {{"id", 17}, {"data", {{"value", "seventeen"}}}},
        {{"data", {{"value", "no id"}}}},
    });
    for (int id = 4; id <= 16; ++id) {
        if (id != 7) assets.push_back(dataAsset(id, "v" + std::to_string(id)));
    }
    const auto ad = adFrom({{"ver", "1.2"}, {"assets", assets}});
    EXPECT_EQ(ad->iconUrl(), "https://i.test/icon.png");
    EXPECT_EQ(ad->iconImageMetadata(), (NativeAd::ImageMetadata{"https://i.test/icon.png", 50, 50}));
    EXPECT_EQ(ad->mainImageUrl(), "https://i.test/main.png");
    EXPECT_FALSE(ad->mainImageMetadata().has_value());
    EXPECT_EQ(ad->videoVastTag(), "https://v.test/vast.xml");
    EXPECT_FALSE(ad->title().has_value());
    const std::vector<std::pair<int, const std::optional<std::string>& (NativeAd::*)() const>> fields = {
        {4, &NativeAd::description},
        {5, &NativeAd::ctaDescription},
        {6, &NativeAd::sponsored},
        {8, &NativeAd::rating},
        {9, &NativeAd::likes},
        {10, &NativeAd::downloads},
        {11, &NativeAd::price},
        {12, &NativeAd::salePrice},
        {13, &NativeAd::phone},
        {14, &NativeAd::address},
        {15, &NativeAd::additionalDescription},
        {16, &NativeAd::displayUrl},
    };
    for (const auto& [id, field] : fields) EXPECT_EQ(((*ad).*field)(), "v" + std::to_string(id)) << id;
    EXPECT_EQ(ad->requestId(), "RID");
    EXPECT_FALSE(ad->link().has_value());

    // The image metadata travels as {"url","width","height"}, all three required.
    const auto text = platform::JSONEncoder{}.encodeToString(*ad->iconImageMetadata());
    const auto json = Json::parse(text);
    EXPECT_EQ(json["url"], "https://i.test/icon.png");
    EXPECT_EQ(json["width"], 50);
    EXPECT_EQ(platform::JSONDecoder{}.decode<NativeAd::ImageMetadata>(text), *ad->iconImageMetadata());
    EXPECT_ANY_THROW(platform::JSONDecoder{}.decode<NativeAd::ImageMetadata>(R"({"url":"u","width":1})"));

    // Metadata belongs to the URL filed with it: a later image under the same id never keeps
    // the sizes of the one it replaces.
    const auto image = [](int id, const std::string& url, std::optional<int> w, std::optional<int> h) {
        Json img = {{"url", url}};
        if (w) img["w"] = *w;
        if (h) img["h"] = *h;
        return Json{{"id", id}, {"img", img}};
    };
    const std::string b = "https://i.test/b.png";
    struct Case {
        Json later;
        std::optional<std::string> url;
        std::optional<NativeAd::ImageMetadata> metadata;
    };
    const std::vector<Case> cases = {
        {image(2, b, std::nullopt, std::nullopt), b, std::nullopt},
        {image(2, b, 10, std::nullopt), b, std::nullopt},
        {Json{{"id", 2}}, std::nullopt, std::nullopt},
        {image(2, b, 20, 30), b, NativeAd::ImageMetadata{b, 20, 30}},
    };
    for (const auto& c : cases) {
        const auto replaced =
            adFrom({{"ver", "1.2"}, {"assets", Json::array({image(2, "https://i.test/a.png", 300, 250), c.later})}});
        EXPECT_EQ(replaced->mainImageUrl(), c.url) << c.later.dump();
        EXPECT_EQ(replaced->mainImageMetadata(), c.metadata) << c.later.dump();
    }
    const auto icon =
        adFrom({{"ver", "1.2"},
                {"assets", Json::array({image(1, "https://i.test/a.png", 50, 50), image(1, b, std::nullopt, 16)})}});
    EXPECT_EQ(icon->iconUrl(), b);
    EXPECT_FALSE(icon->iconImageMetadata().has_value());
}

using NativeAdClickTest = NativeFormatTest;

TEST_F(NativeAdClickTest, AClickFiresTheFirstClickTrackerAndLetsTheHandlerDecideOnTheLinkOrItsFallback) {
    startWithDefaultContainer();
    const Json trackers = {network().trackerURL("/click-1") + "?r={{REQUEST_ID}}", network().trackerURL("/click-2")};
    application()->setCanOpenURLPolicy(
        [](const platform::URL& url) { return url.host() != std::optional<std::string>("closed.test"); });
    struct Case {
        std::string name;
        Json link;  // null: none
        std::optional<std::string> requestId;
        bool answer;                        // the handler's
        std::optional<std::string> handed;  // what the handler receives
        std::vector<std::string> trackers;  // hits
    };
    const std::vector<Case> cases = {
        {"no link", nullptr, "R1", true, std::nullopt, {}},
        {"openable link, handler declines",
         {{"url", "https://shop.test/a"}, {"clicktrackers", trackers}},
         "R2",
         false,
         "https://shop.test/a",
         {"/click-1?r=R2"}},
        {"unparsable link, openable fallback",
         {{"url", "http://[bad"}, {"fallback", "https://shop.test/fallback"}, {"clicktrackers", trackers}},
         "R3",
         true,
         "https://shop.test/fallback",
         {"/click-1?r=R3"}},
        {"nothing openable",
         {{"url", "https://closed.test/"}, {"fallback", "https://closed.test/f"}, {"clicktrackers", trackers}},
         "R4",
         true,
         std::nullopt,
         {"/click-1?r=R4"}},
        {"no request id",
         {{"url", "https://shop.test/b"}, {"clicktrackers", trackers}},
         std::nullopt,
         true,
         "https://shop.test/b",
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Json response{{"ver", "1.2"}};
        if (!c.link.is_null()) response["link"] = c.link;
        const auto ad = adFrom(response, c.requestId);
        const auto hitsBefore = network().trackerHits().size();
        testing::clearOpenedURLs();
        int calls = 0;
        std::optional<std::string> handed;
        ad->performAdClicked([&](const std::optional<platform::URL>& url) {
            ++calls;
            if (url) handed = url->absoluteString();
            return c.answer;
        });
        EXPECT_EQ(calls, 1);  // before performAdClicked returned
        EXPECT_EQ(handed, c.handed);
        testing::pumpMainUntil([&] { return network().trackerHits().size() >= hitsBefore + c.trackers.size(); });
        testing::pumpMainFor(std::chrono::milliseconds(50));
        const auto paths = trackerPaths();
        EXPECT_EQ(std::vector<std::string>(paths.begin() + static_cast<long>(hitsBefore), paths.end()), c.trackers);
        const auto opened = testing::openedURLs();
        if (c.handed && c.answer) {
            ASSERT_EQ(opened.size(), 1U);
            EXPECT_EQ(opened[0].absoluteString(), *c.handed);
        } else {
            EXPECT_TRUE(opened.empty());
        }
    }
}

TEST_F(NativeAdClickTest, ImageGettersRefuseUnusableURLsAtOnceAndOtherwiseLoadThroughTheImageLoader) {
    const auto ad = adFrom({{"ver", "1.2"}, {"assets", Json::array({{{"id", 1}, {"img", {{"url", "http://[bad"}}}}})}});
    std::vector<std::string> errors;
    ad->getMainImage([&](const auto& result) { errors.push_back(result.error().errorDescription().value_or("")); });
    ad->getIconImage([&](const auto& result) { errors.push_back(result.error().errorDescription().value_or("")); });
    EXPECT_EQ(errors, (std::vector<std::string>{"Invalid main image URL", "Invalid icon image URL"}));

    const auto served =
        adFrom({{"ver", "1.2"}, {"assets", Json::array({{{"id", 2}, {"img", {{"url", imageURL("/m.png")}}}}})}});
    std::optional<Result<std::shared_ptr<platform::UIImage>>> image;
    served->getMainImage([&](const auto& result) { image = result; });
    ASSERT_TRUE(testing::pumpMainUntil([&] { return image.has_value(); }));
    EXPECT_TRUE(image->isSuccess()) << image->error().description();
}

}  // namespace
}  // namespace qor::nativetest
