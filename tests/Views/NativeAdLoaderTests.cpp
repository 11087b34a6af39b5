#include "NativeFormatHarness.h"

#include "Views/NativeAdLoader.h"

namespace qor::nativetest {
namespace {

using NativeAdLoaderTest = NativeFormatTest;

constexpr std::int64_t nativeUnit = SimulatedAdNetwork::nativeUnit;

struct Load {
    std::shared_ptr<RecordingLoaderDelegate> delegate = std::make_shared<RecordingLoaderDelegate>();
    bool reportedBeforeReturn = false;
};

Load load(std::int64_t unit, bool withDelegate = true) {
    Load result;
    const auto loader = NativeAdLoader::make(unit);
    if (withDelegate) loader->setDelegate(result.delegate);
    loader->loadNativeAd(AdRequest());
    result.reportedBeforeReturn = !result.delegate->calls.empty();
    if (withDelegate) testing::pumpMainUntil([&] { return !result.delegate->calls.empty(); }, std::chrono::seconds(10));
    return result;
}

TEST_F(NativeAdLoaderTest, AsksForTheUnitsAssetsDecodesTheWinnerAndFiresOneImpressionAndTheViewableTracker) {
    startWithDefaultContainer();
    test::SDKLogCapture log;
    const Json assets = Json::array({
        {{"id", 3}, {"title", {{"text", "Fresh coffee"}, {"len", 12}}}},
        {{"id", 2}, {"img", {{"url", "https://img.example.test/main.png"}, {"w", 300}, {"h", 250}}}},
        {{"id", 5}, {"data", {{"value", "Order now"}}}},
    });
    const Json trackers = Json::array({
        {{"event", 2}, {"method", 1}, {"url", network().trackerURL("/mrc50")}},
        {{"event", 1}, {"method", 2}, {"url", network().trackerURL("/script")}},
        {{"event", 1}, {"method", 1}, {"url", network().trackerURL("/impression") + "?r={{REQUEST_ID}}"}},
        {{"event", 1}, {"method", 1}, {"url", network().trackerURL("/second-impression")}},
    });
    answerNative(nativeMarkup(assets, {{"url", "https://shop.example.test/"}}, trackers),
                 network().trackerURL("/viewable") + "?r={{REQUEST_ID}}");

    const auto outcome = load(nativeUnit);
    ASSERT_EQ(outcome.delegate->calls.size(), 1U);
    const auto& call = outcome.delegate->calls[0];
    EXPECT_EQ(call.unit, nativeUnit);
    EXPECT_TRUE(call.onMainThread);
    ASSERT_NE(call.ad, nullptr) << call.error;
    EXPECT_EQ(call.ad->title(), "Fresh coffee");
    EXPECT_EQ(call.ad->mainImageUrl(), "https://img.example.test/main.png");
    EXPECT_EQ(call.ad->mainImageMetadata(), (NativeAd::ImageMetadata{"https://img.example.test/main.png", 300, 250}));
    EXPECT_EQ(call.ad->ctaDescription(), "Order now");
    EXPECT_EQ(call.ad->link()->url, "https://shop.example.test/");
    ASSERT_TRUE(call.ad->requestId().has_value());

    // The impression carried the native request built from the unit's asset settings, in order.
    const auto sent = Json::parse(network().demand(0).receivedBodies().at(0));
    const auto& native = sent["imp"][0]["native"];
    EXPECT_EQ(native["ver"], "1.2");
    const auto request = Json::parse(native["request"].get<std::string>());
    std::vector<int> ids;
    for (const auto& asset : request["assets"]) ids.push_back(asset["id"]);
    EXPECT_EQ(ids, (std::vector<int>{3, 2, 1, 4, 5}));
    EXPECT_EQ(request["assets"][0]["title"]["len"], 90);
    EXPECT_EQ(request["assets"][4]["data"]["type"], 12);

    // Only the first impression image tracker, and the viewable URL, each with the request id.
    ASSERT_TRUE(waitForTrackerHits(2));
    testing::pumpMainUntil([&] { return log.sdkLogLines().size() == 2; });
    const auto rid = *call.ad->requestId();
    auto paths = trackerPaths();
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(paths, (std::vector<std::string>{"/impression?r=" + rid, "/viewable?r=" + rid}));
    auto lines = log.sdkLogLines();
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, (std::vector<std::string>{"[QORSDK] Perform rendered tracker success\n",
                                               "[QORSDK] Perform viewable tracker success\n"}));
}

TEST_F(NativeAdLoaderTest, FailuresReachTheDelegateWithTheirTexts) {
    auto plan = network().defaultContainer();
    plan.inventories[0].metadataExtra = R"({"assets":[]})";  // the banner unit, with no assets
    startWith(plan);
    const std::string conversion =
        "Cannot convert target \"NativeAdResponse\" to valid data under Unicode (UTF-8) encoding.";
    struct Case {
        std::string name;
        std::int64_t unit;
        std::optional<std::string> markup;  // nothing: no bid at all
        std::string error;
        bool beforeReturn;
    };
    const std::vector<Case> cases = {
        {"unknown unit", 999, std::nullopt, "Couldn't determine assets from metadata", true},
        {"unit not serving native", SimulatedAdNetwork::bannerUnit, std::nullopt,
         "Inventory not support this format: native-ads", true},
        {"no bid", nativeUnit, std::nullopt, "No available Ad", false},
        {"markup not JSON", nativeUnit, "<div>html</div>", conversion, false},
        {"markup without ver", nativeUnit, R"({"assets":[]})", conversion, false},
        {"empty markup", nativeUnit, "", conversion, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.markup) {
            answerNative(*c.markup);
        } else {
            script({});
        }
        const auto before = network().trackerHits().size();
        const auto outcome = load(c.unit);
        ASSERT_EQ(outcome.delegate->calls.size(), 1U);
        EXPECT_EQ(outcome.delegate->calls[0].error, c.error);
        EXPECT_EQ(outcome.reportedBeforeReturn, c.beforeReturn);
        EXPECT_EQ(network().trackerHits().size(), before);
    }

    // A winning bid without markup fails the same way: the app always hears back.
    const auto loader = NativeAdLoader::make(nativeUnit);
    const auto delegate = std::make_shared<RecordingLoaderDelegate>();
    loader->setDelegate(delegate);
    loader->handleLoadResult(Result<Bid>::success(Bid("b", "i", 1.0F, std::nullopt, "rid")));
    ASSERT_EQ(delegate->calls.size(), 1U);
    EXPECT_EQ(delegate->calls[0].error, conversion);
}

TEST_F(NativeAdLoaderTest, TrackersGoOutWithoutADelegateAndOnlyForWholeLinks) {
    startWithDefaultContainer();
    const Json trackers = Json::array({
        {{"event", 1}, {"method", 1}},  // the first impression tracker has no URL: none is fired
        {{"event", 1}, {"method", 1}, {"url", network().trackerURL("/late-impression")}},
    });
    answerNative(nativeMarkup(Json::array(), nullptr, trackers), network().trackerURL("/viewable"));
    load(nativeUnit, /*withDelegate=*/false);
    ASSERT_TRUE(waitForTrackerHits(1));
    testing::pumpMainFor(std::chrono::milliseconds(100));
    EXPECT_EQ(trackerPaths(), (std::vector<std::string>{"/viewable"}));

    const auto loader = NativeAdLoader::make(nativeUnit);
    const auto url = network().trackerURL("/click") + "?r={{REQUEST_ID}}";
    loader->performTracker(" " + url, "R1", AdTrackerType::clicked);
    loader->performTracker(url + " and more", "R1", AdTrackerType::clicked);
    loader->performTracker(url, "R1", AdTrackerType::clicked);
    ASSERT_TRUE(waitForTrackerHits(2));
    testing::pumpMainFor(std::chrono::milliseconds(100));
    EXPECT_EQ(trackerPaths(), (std::vector<std::string>{"/viewable", "/click?r=R1"}));
}

}  // namespace
}  // namespace qor::nativetest
