#include "NativeFormatHarness.h"

#include "Views/VideoAdLoader.h"

namespace qor::nativetest {
namespace {

class RecordingVideoDelegate : public VideoAdLoaderDelegate {
public:
    void videoAdLoader(std::int64_t unit, const std::string& tag) override { calls.push_back({unit, tag, ""}); }
    void videoAdLoader(std::int64_t unit, const QORSDKError& error) override {
        calls.push_back({unit, "", error.errorDescription().value_or("")});
    }
    struct Call {
        std::int64_t unit;
        std::string tag;
        std::string error;
    };
    std::vector<Call> calls;
};

using VideoAdLoaderTest = NativeFormatTest;

constexpr std::int64_t videoUnit = SimulatedAdNetwork::videoUnit;

std::vector<RecordingVideoDelegate::Call> load(std::int64_t unit, std::optional<AdSize> size, bool* beforeReturn) {
    const auto delegate = std::make_shared<RecordingVideoDelegate>();
    const auto loader = VideoAdLoader::make(unit, size);
    loader->setDelegate(delegate);
    loader->loadAd(AdRequest());
    if (beforeReturn) *beforeReturn = !delegate->calls.empty();
    testing::pumpMainUntil([&] { return !delegate->calls.empty(); }, std::chrono::seconds(10));
    return delegate->calls;
}

TEST_F(VideoAdLoaderTest, HandsOverTheWinningTagUnchangedForThePlayerSize) {
    startWithDefaultContainer();
    const std::string tag = "https://vast.example.test/tag.xml?r={{REQUEST_ID}}&p={{AUCTION_PRICE}}";
    script({BidAnswer::bid(2.0, tag)});
    const auto calls = load(videoUnit, AdSize::forCustom(640, 360), nullptr);
    ASSERT_EQ(calls.size(), 1U);
    EXPECT_EQ(calls[0].unit, videoUnit);
    EXPECT_EQ(calls[0].tag, tag);
    const auto sent = Json::parse(network().demand(0).receivedBodies().at(0));
    EXPECT_EQ(sent["imp"][0]["video"]["w"], 640);
    EXPECT_EQ(sent["imp"][0]["video"]["h"], 360);
}

TEST_F(VideoAdLoaderTest, FailuresCarryTheEnginesTextAfterTheLoadersPrefix) {
    network().serveContainerText(key, "not a container", 200);
    QOR::start(std::make_shared<QOR::Config>("analytics-key", key));
    testing::pumpMainFor(std::chrono::milliseconds(300));
    bool beforeReturn = false;
    auto calls = load(videoUnit, std::nullopt, &beforeReturn);
    ASSERT_EQ(calls.size(), 1U);
    EXPECT_EQ(calls[0].error, "Fail to requestAd. Error: Not found container");
    EXPECT_TRUE(beforeReturn);

    startWithDefaultContainer();
    script({});
    calls = load(videoUnit, std::nullopt, &beforeReturn);
    ASSERT_EQ(calls.size(), 1U);
    EXPECT_EQ(calls[0].error, "Fail to requestAd. Error: No available Ad");
    EXPECT_FALSE(beforeReturn);
    calls = load(SimulatedAdNetwork::nativeUnit, std::nullopt, &beforeReturn);
    EXPECT_EQ(calls.at(0).error, "Fail to requestAd. Error: Inventory not support this format: video");

    // A winning bid without markup has no tag to hand over.
    const auto delegate = std::make_shared<RecordingVideoDelegate>();
    const auto loader = VideoAdLoader::make(videoUnit, std::nullopt);
    loader->setDelegate(delegate);
    loader->handleLoadResult(Result<Bid>::success(Bid("b", "i", 1.0F)));
    ASSERT_EQ(delegate->calls.size(), 1U);
    EXPECT_EQ(delegate->calls[0].error, "Fail to requestAd. Error: Missing VAST tag URL");
}

}  // namespace
}  // namespace qor::nativetest
