// The auction records in their wire form, the kinds that name them, and one auction event with
// its context.
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "AdNetwork/AdData.h"
#include "AdNetwork/AdType.h"
#include "AdNetwork/Batch.h"
#include "AdNetwork/BatchType.h"
#include "AdNetworkTestSupport.h"
#include "Models/OpenRTB/ImpressionBuilder.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Support/DeviceProfile.h"

namespace qor::testing {
namespace {

AdData::BidWinner winner() { return AdData::BidWinner{"b", "i", 1.5F, std::nullopt, 3, "Alpha", false, 12, 101}; }

AdData::BidError noContent() {
    return AdData::BidError{"req", std::nullopt, std::nullopt, "04", "NO_CONTENT", false, {}};
}

TEST(AdData, EachPayloadIsWrittenBareWithItsOwnKeys) {
    EXPECT_EQ(encodeToText(AdData(winner())),
              R"({"id":"b","imp_id":"i","price":1.5,"dsp_id":3,"dsp_name":"Alpha","is_header_bidding":false,)"
              R"("container_id":12,"inventory_id":101})");
    AdData::BidWinner withMarkup = winner();
    withMarkup.adMarkup = "<p>";
    withMarkup.dspName.reset();
    EXPECT_EQ(encodeToText(AdData(withMarkup)),
              R"({"id":"b","imp_id":"i","price":1.5,"adm":"<p>","dsp_id":3,"is_header_bidding":false,)"
              R"("container_id":12,"inventory_id":101})");
    EXPECT_EQ(encodeToText(AdData(noContent())),
              R"({"bid_reuqest_id":"req","error_code":"04","error_reason":"NO_CONTENT","is_header_bidding":false,)"
              R"("inventory_ids":[]})");
    const AdData::BidError core{"req", -1, "core", "00", "Unknown", true, {101, 102}};
    EXPECT_EQ(encodeToText(AdData(core)),
              R"({"bid_reuqest_id":"req","dsp_id":-1,"dsp_name":"core","error_code":"00","error_reason":"Unknown",)"
              R"("is_header_bidding":true,"inventory_ids":[101,102]})");

    BidRequest request;
    request.id = "req";
    request.impression = {makeImpression()};
    EXPECT_EQ(encodeToJson(AdData(request)), encodeToJson(request));
    const BidResponse response{"r", std::vector<SeatBid>{}, std::nullopt, "USD", std::nullopt, std::nullopt};
    EXPECT_EQ(encodeToJson(AdData(response)), encodeToJson(response));

    AdData::BidWinner notFinite = winner();
    notFinite.price = std::numeric_limits<float>::quiet_NaN();
    EXPECT_THROW((void)encodeToJson(AdData(notFinite)), platform::EncodingError);
}

TEST(Kinds, RawValuesAreExactAndCaseSensitive) {
    EXPECT_EQ(adTypeFromRawValue("native-ads"), AdType::nativeAds);
    for (const char* text : {"native", "Video", "", "BANNER"}) EXPECT_FALSE(adTypeFromRawValue(text)) << text;
    EXPECT_EQ(rawValue(AdType::video), "video");
    EXPECT_EQ(name(*adTrackerTypeFromRawValue(1)), "clicked");
    EXPECT_FALSE(adTrackerTypeFromRawValue(3));
    EXPECT_FALSE(adTrackerTypeFromRawValue(-1));
    EXPECT_EQ(batchTypeFromRawValue("bidWinner"), BatchType::bidWinner);
    EXPECT_FALSE(batchTypeFromRawValue("BidRequest"));
    EXPECT_FALSE(batchEventTypeFromRawValue("Track"));
    EXPECT_EQ(encodeToJson(std::vector<BatchEventType>{BatchEventType::track}), Json::parse(R"(["track"])"));
}

TEST(Batch, ThePayloadLandsOnlyUnderTheKindThatCallsForIt) {
    const std::vector<std::pair<BatchType, std::optional<AdData>>> mismatched = {
        {BatchType::bidRequest, AdData(BidResponse{"r", {}, {}, {}, {}, {}})},
        {BatchType::bidWinner, AdData(noContent())},
        {BatchType::bidError, AdData(winner())},
        {BatchType::bidResponse, std::nullopt},
    };
    for (const auto& [kind, data] : mismatched) {
        Batch batch;
        batch.fillBatchAdData(kind, data);
        EXPECT_FALSE(batch.context.adData.has_value());
        EXPECT_FALSE(encodeToJson(batch)["context"].contains("adData"));
    }
}

TEST(Batch, TheContextIsTakenFromThePlatformWithItsFallbacks) {
    const platform::DeviceProfile saved = platform::currentDeviceProfile();
    platform::updateDeviceProfile([](platform::DeviceProfile& profile) {
        profile.model = "iPhone";
        profile.name = "Test phone";
        profile.systemName = "iOS";
        profile.identifierForVendor.reset();
        profile.identifierForVendorFromAppHome = false;
        profile.preferredLanguages.clear();
        profile.mainScreen.width = 390;
        profile.mainScreen.height = 844.5;
        profile.timeZoneIdentifier = "Asia/Ho_Chi_Minh";
    });
    platform::Bundle::main()->setInfoDictionary(platform::PlistDictionary{
        {"CFBundleName", "Demo"}, {"CFBundleShortVersionString", "2.3"}, {"CFBundleVersion", 7}});
    const Batch::Context context = makeBatchContext();
    platform::setDeviceProfile(saved);

    Batch batch{"anon", BatchType::bidError, "req", "2024-03-05 14:07:09", BatchEventType::track, "key@ios", context};
    const std::string head = R"({"anonymousId":"anon","name":"bidError","requestId":"req",)"
                             R"("timestamp":"2024-03-05 14:07:09","type":"track","writeKey":"key@ios",)";
    const std::string contextText =
        R"("context":{"app":{"build":"2.3","name":"Demo","namespace":"unknown","version":"unknown"},)"
        R"("device":{"id":"unknown","manufacturer":"Apple","model":"iPhone","name":"Test phone","type":"iOS"},)"
        R"("locale":"en-US","screen":{"width":"390.0","height":"844.5"},"timezone":"Asia\/Ho_Chi_Minh")";
    EXPECT_EQ(encodeToText(batch), head + contextText + "}}");
    batch.fillBatchAdData(BatchType::bidError, AdData(noContent()));
    EXPECT_EQ(encodeToText(batch), head + contextText + R"(,"adData":)" + encodeToText(AdData(noContent())) + "}}");

    const std::string stamp = batchTimestamp();
    ASSERT_EQ(stamp.size(), 19U);
    EXPECT_EQ(stamp[4], '-');
    EXPECT_EQ(stamp[10], ' ');
    EXPECT_EQ(stamp[16], ':');
}

}  // namespace
}  // namespace qor::testing
