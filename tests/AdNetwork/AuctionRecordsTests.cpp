// The auction records in their wire form, the kinds that name them, and one auction event with
// its context.
#include <cmath>
#include <limits>
#include <string>
#include <variant>
#include <vector>

#include "AdNetwork/AdData.h"
#include "AdNetwork/AdType.h"
#include "AdNetwork/Batch.h"
#include "AdNetwork/BatchType.h"
#include "AdNetwork/PostBidRequest.h"
#include "AdNetworkTestSupport.h"
#include "Models/OpenRTB/ImpressionBuilder.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Coding/JSONReader.h"
#include "Platform/Foundation/JSONSerialization.h"
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

// A bid as an endpoint may write it: escapes, text beyond ASCII, "/" escaped and not, nulls, keys
// the record does not know (one nested, "w" repeated: the last wins), and `extra` members last.
std::string bidText(std::size_t n, const std::string& extra = {}) {
    const std::string i = std::to_string(n);
    return "{\"id\":\"b" + i + "\",\"impid\":\"i\\/" + i + "\",\"price\":" + std::to_string(n % 7) +
           ".25,\"nurl\":\"https://w.example/" + i +
           "?e=\\u00e9\",\"burl\":null,\"adm\":\"<p class=\\\"c\\\">caf\xc3\xa9 " + "\\u20ac\\ud83d\\ude00\\t" +
           std::string(1000, 'x') + "<\\/p>\",\"w\":1,\"zz\":{\"k\":[1,null,{\"d\":[]}]}," +
           "\"ext\":{\"context\":{\"k\":\"v/\"},\"vade\":null},\"w\":" + i + extra + "}";
}

// The seats of `bids` bids (over 1 KB each): two, each followed by an empty one; bid 100 is
// `bid100` when given.
std::string seatsText(std::size_t bids, const std::string& bid100 = {}) {
    const auto seat = [&](std::size_t from, std::size_t to, const std::string& name) {
        std::string text = "{\"bid\":[";
        for (std::size_t n = from; n < to; ++n) {
            text += (n > from ? "," : "") + (n == 100 && !bid100.empty() ? bid100 : bidText(n));
        }
        return text + "],\"seat\":\"" + name + "\",\"group\":1,\"x\":null},{\"bid\":[]" +
               (name == "a" ? ",\"seat\":\"e\"" : "") + "}";
    };
    return seat(0, 50, "a") + "," + seat(50, bids, "b");
}

// An answer whose long "seatbid" takes the place of a short one before it, with "id" repeated.
std::string answerText(std::size_t bids, const std::string& bid100 = {}) {
    return "{\"id\":\"first\",\"seatbid\":[{\"bid\":[]}],\"cur\":null,\"unknown\":{\"a\":[{\"b\":\"\\/\"}]}," +
           ("\"seatbid\":[" + seatsText(bids, bid100)) +
           "],\"id\":\"r\\u00e9\\/1\",\"customdata\":\"caf\xc3\xa9 \\\"q\\\" a/b\",\"nbr\":null}";
}

// The value decoded, or the failure's kind, coding path and description.
template <class T, class Decode>
std::variant<T, std::string> attempt(Decode&& decode) {
    try {
        return decode();
    } catch (const platform::DecodingError& error) {
        return error.what();
    }
}

std::string eventText(const AdData& event) {
    Batch batch;
    batch.fillBatchAdData(BatchType::bidResponse, event);
    return encodeToText(batch);
}

// A long answer is read with its seat list kept as text and read a seat at a time, and its event
// written a seat at a time: the values, the failures and the event's bytes are those of reading
// the same text whole first.
TEST(ReceivedBidResponse, ALongAnswerReadASeatAtATimeIsTheAnswerReadWhole) {
    enum Outcome { kept, written, fails };
    struct Case {
        std::string name;
        std::string text;
        Outcome outcome;
    };
    const std::string answer = answerText(130);
    const std::string open = answer.substr(0, answer.size() - 1);
    const std::vector<Case> cases{
        {"130 bids", answer, written},
        {"64 bids", answerText(64), kept},
        {"a short list under the same key after", open + ",\"seatbid\":[{\"bid\":[" + bidText(7) + "]}]}", kept},
        {"a second long list under the same key", open + ",\"seatbid\":[" + seatsText(90) + "]}", written},
        {"null under the same key after", open + ",\"seatbid\":null}", kept},
        {"a string under the same key after", open + ",\"seatbid\":\"x\"}", fails},
        {"an unknown long list", open + ",\"long_list\":[" + answer + "," + answer + "]}", written},
        {"a byte-order mark", "\xEF\xBB\xBF" + answer, written},
        {"a string width deep down", answerText(130, bidText(100, ",\"w\":\"320\"")), fails},
        {"a required key missing", answerText(130, R"({"id":"x","price":1})"), fails},
        {"a null id", answerText(130, bidText(100, ",\"id\":null")), fails},
        {"an unknown raw value", answerText(130, bidText(100, ",\"api\":99")), fails},
        {"a width past Int64", answerText(130, bidText(100, ",\"w\":9223372036854775808")), fails},
        {"a price past Float", answerText(130, bidText(100, ",\"price\":1e39")), fails},
        {"a height past Double", answerText(130, bidText(100, ",\"h\":1e400")), fails},
        {"a width past 64 bits", answerText(130, bidText(100, ",\"w\":18446744073709551616")), fails},
        {"nesting at the limit",
         answerText(130, bidText(100, ",\"zz\":" + std::string(507, '[') + std::string(507, ']'))), written},
        {"nesting too deep", answerText(130, bidText(100, ",\"zz\":" + std::string(508, '[') + std::string(508, ']'))),
         fails},
        {"invalid UTF-8", answerText(130, bidText(100, ",\"adm\":\"\xff\"")), fails},
        {"a lone surrogate", answerText(130, bidText(100, ",\"adm\":\"\\udc00\"")), fails},
        {"a stray comma deep down", answerText(130, bidText(100) + ","), fails},
        {"a seat that is not an object", open + ",\"seatbid\":[" + seatsText(120) + ",1]}", fails},
        {"truncated", answer.substr(0, answer.size() - 1), fails},
        {"something after the object", answer + " x", fails},
        {"an array", "[" + answer + "]", fails},
        {"a string", "\"" + std::string(70000, 's') + "\"", fails},
        {"a long list as the document", "[" + seatsText(120) + "]", fails},
    };
    ASSERT_EQ(platform::coding::readWellFormedObjectDeferring(answer, platform::JSONSerialization::maxDepth,
                                                              platform::JSONDecoder::kDeferredLength)
                  ->deferred.size(),
              1U);
    platform::JSONDecoder snakeCase;
    snakeCase.keyDecodingStrategy = platform::KeyDecodingStrategy::convertFromSnakeCase;
    platform::JSONEncoder sorted;
    sorted.sortedKeys = true;
    for (const platform::JSONDecoder& decoder : {platform::JSONDecoder(), snakeCase}) {
        for (const Case& item : cases) {
            SCOPED_TRACE(item.name);
            const std::string& text = item.text;
            ASSERT_GE(text.size(), platform::JSONDecoder::kDeferredLength);
            const auto whole =
                attempt<BidResponse>([&] { return decoder.decode<BidResponse>(decoder.decode<platform::Any>(text)); });
            EXPECT_EQ(attempt<BidResponse>([&] { return decoder.decode<BidResponse>(text); }), whole);
            const auto received =
                attempt<ReceivedBidResponse>([&] { return decoder.decode<ReceivedBidResponse>(text); });
            ASSERT_EQ(std::holds_alternative<std::string>(whole), item.outcome == fails);
            if (const auto* failure = std::get_if<std::string>(&whole)) {
                EXPECT_EQ(std::get<std::string>(received), *failure);
                continue;
            }
            const BidResponse& response = std::get<BidResponse>(whole);
            const ReceivedBidResponse& got = std::get<ReceivedBidResponse>(received);
            EXPECT_EQ(got.event.as<AdData::EncodedBidResponse>() != nullptr, item.outcome == written);
            EXPECT_EQ(eventText(got.event), eventText(AdData(response)));
            EXPECT_EQ(sorted.encodeToString(got.event), sorted.encodeToString(AdData(response)));
            std::optional<Bid> last;
            for (const auto& seat : response.seatBids.value_or(std::vector<SeatBid>{})) {
                if (!seat.bids.empty()) last = seat.bids.back();
            }
            EXPECT_EQ(got.lastBid, last);
        }
    }
}

}  // namespace
}  // namespace qor::testing
