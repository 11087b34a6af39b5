// What the ad-request engine puts into the one impression of a bid request.
#include <cmath>
#include <limits>

#include "Models/OpenRTB/ImpressionBuilder.h"
#include "OpenRTBTestSupport.h"
#include "testing/TextShapes.h"

namespace qor::testing {
namespace {

TEST(ImpressionBuilder, NewImpressionHasOnlyIdAndSecure) {
    const Impression first = makeImpression();
    const Impression second = makeImpression();
    EXPECT_TRUE(isUpperCaseUUID(first.id)) << first.id;
    EXPECT_NE(first.id, second.id);
    EXPECT_EQ(encodeToJson(first), (Json{{"id", first.id}, {"secure", 1}}));
}

TEST(ImpressionBuilder, OnlyTheCoreEndpointGetsTheExtension) {
    Impression impression = makeImpression();
    impression.ext = extensionForEndpoint("core", 5, 101);
    EXPECT_EQ(encodeToJson(impression)["ext"],
              Json::parse(R"({"prebid":{},"vomadn":{"header_bids":[],"container_id":5,"inventory_id":101}})"));

    // A demand-side platform after the core pass still gets no "ext".
    impression.ext = extensionForEndpoint("dsp", 5, 101);
    EXPECT_FALSE(encodeToJson(impression).contains("ext"));
    EXPECT_EQ(extensionForEndpoint("Core", 5, 101), std::nullopt);
    EXPECT_EQ(coreEndpointExtension(5, 101), extensionForEndpoint(coreEndpointType, 5, 101));
}

TEST(ImpressionBuilder, SizeComesFromTheAdSizeElseTheMetadata) {
    EXPECT_EQ(impressionSize(FrameSize{320, 50}, 300, 250), (ImpressionSize{320, 50}));
    EXPECT_EQ(impressionSize(FrameSize{320.9, 50.5}, 300, 250), (ImpressionSize{320, 50}));
    EXPECT_EQ(impressionSize(std::nullopt, 300, 250), (ImpressionSize{300, 250}));
    // A size that cannot be expressed in whole points is refused rather than sent.
    EXPECT_EQ(impressionSize(FrameSize{std::numeric_limits<double>::quiet_NaN(), 50}, 300, 250), std::nullopt);
    EXPECT_EQ(impressionSize(FrameSize{320, std::numeric_limits<double>::infinity()}, 300, 250), std::nullopt);
    EXPECT_EQ(impressionSize(FrameSize{1e19, 50}, 300, 250), std::nullopt);
    EXPECT_EQ(wholePoints(-0.5), 0);
    EXPECT_EQ(wholePoints(9223372036854774784.0), 9223372036854774784);
    EXPECT_EQ(wholePoints(9223372036854775808.0), std::nullopt);
}

TEST(ImpressionBuilder, BannerCarriesOneFormatOnly) {
    Impression impression = makeImpression();
    impression.banner = bannerForSize({320, 50});
    EXPECT_EQ(encodeToJson(impression)["banner"], Json::parse(R"({"format":[{"w":320,"h":50}]})"));
}

TEST(ImpressionBuilder, VideoTakesTheMetadataWithDefaultsForWhatItLacks) {
    EXPECT_EQ(encodeToJson(videoForMetadata(VideoMetadata{}, {480, 360})),
              Json::parse(R"({"mimes":["video/mp4"],"protocols":[2,3,7],"w":480,"h":360,"linearity":1})"));

    VideoMetadata metadata;
    metadata.mines = std::vector<std::string>{"video/webm"};
    metadata.minDuration = 5;
    metadata.maxDuration = 30;
    metadata.protocols = std::vector<VideoProtocol>{VideoProtocol::vast4Wrapper};
    metadata.startDelay = -1;
    metadata.linearity = 2;
    metadata.skip = 1;
    metadata.skipMin = 10;
    metadata.skipAfter = 5;
    metadata.minBitrate = 300;
    metadata.maxBitrate = 1500;
    EXPECT_EQ(encodeToJson(videoForMetadata(metadata, {320, 180})), Json::parse(R"({
      "mimes": ["video/webm"], "minduration": 5, "maxduration": 30, "protocols": [8], "w": 320,
      "h": 180, "startdelay": -1, "linearity": 2, "skip": 1, "skipmin": 10, "skipAfter": 5,
      "minbitrate": 300, "maxbitrate": 1500})"));

    // An empty list from the metadata is its value, not a gap to fill.
    metadata.mines = std::vector<std::string>{};
    metadata.protocols = std::vector<VideoProtocol>{};
    const Json empty = encodeToJson(videoForMetadata(metadata, {1, 1}));
    EXPECT_EQ(empty["mimes"], Json::array());
    EXPECT_EQ(empty["protocols"], Json::array());
}

}  // namespace
}  // namespace qor::testing
