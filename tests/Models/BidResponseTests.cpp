// Bids and bid responses as endpoints send them: every key round-trips, the ad network's own
// spellings hold, and one malformed value anywhere fails the whole answer.
#include <string>
#include <vector>

#include "Models/OpenRTB/Bid.h"
#include "Models/OpenRTB/BidResponse.h"
#include "OpenRTBTestSupport.h"
#include "Platform/Foundation/JSONSerialization.h"

namespace qor::testing {
namespace {

// Every key of a bid, as its encoding writes them: in their fixed order, "/" escaped.
const std::string fullBidText =
    R"({"id":"b1","impid":"i1","price":1.5,"nurl":"n","burl":"b","lurl":"l","adm":"<div\/>","adid":"a",)"
    R"("adomain":["x.example"],"bundle":"app","iurl":"img","cid":"c","crid":"cr","tactic":"t","cat":["IAB1"],)"
    R"("attr":[1,17],"api":5,"protocol":7,"qamediarating":2,"language":"en","dealid":"d","w":320,"h":50,)"
    R"("wratio":16,"hratio":9,"epx":300,"ext":{"prebid":{"storerequest":{"id":"s"},)"
    R"("cache":{"bids":{"url":"u","cacheId":"c"}},"meta":{"advertiserId":7},"file_type":"f"},)"
    R"("context":{"k":"v"},"vade":"https:\/\/t\/v?r={{REQUEST_ID}}","nvade":"nv","vuade":"uv"}})";
const Json fullBid = Json::parse(fullBidText);

Json responseWith(const Json& bids) {
    return Json{{"id", "r1"}, {"seatbid", Json::array({Json{{"bid", bids}, {"seat", "s"}}})}};
}

TEST(Bid, EveryKeyRoundTripsAndRequiredKeysFail) {
    const Bid bid = decodeJson<Bid>(fullBid);
    EXPECT_EQ(encodeToText(bid), fullBidText);
    EXPECT_EQ(bid.mediaRating, MediaRating::mature);
    EXPECT_EQ(bid.expired, 300);
    EXPECT_EQ(bid.videoProtocol, VideoProtocol::vast4);
    EXPECT_EQ(bid.ext->preBid->meta->advertiserId, 7);
    EXPECT_FALSE(bid.requestId.has_value());

    for (const char* key : {"id", "impid", "price"}) {
        Json missing = fullBid;
        missing.erase(key);
        EXPECT_EQ(jsonErrorKind<Bid>(missing), ErrorKind::keyNotFound) << key;
        Json null = fullBid;
        null[key] = nullptr;
        EXPECT_EQ(jsonErrorKind<Bid>(null), ErrorKind::valueNotFound) << key;
    }
}

TEST(Bid, MinimalBidAndTheNetworksOwnSpellings) {
    const Bid minimal = decodeFrom<Bid>(R"({"id":"a","impid":"b","price":2,"qagmediarating":1,"exp":5})");
    EXPECT_FLOAT_EQ(minimal.price, 2.0F);
    EXPECT_FALSE(minimal.mediaRating.has_value());  // only "qamediarating" is read
    EXPECT_FALSE(minimal.expired.has_value());      // only "epx" is read
    EXPECT_EQ(encodeToText(minimal), R"({"id":"a","impid":"b","price":2})");

    Bid withRequest = minimal;
    withRequest.requestId = "req";
    EXPECT_EQ(encodeToJson(withRequest), encodeToJson(minimal));

    const Bid onlyViewable = decodeFrom<Bid>(R"({"id":"a","impid":"b","price":0,"ext":{"vade":"v"}})");
    EXPECT_EQ(encodeToJson(*onlyViewable.ext), Json::parse(R"({"vade":"v"})"));
}

TEST(Bid, WrongKindsAndUnknownRawValuesFail) {
    const std::vector<std::pair<std::string, Json>> bad = {
        {"price", "1.5"},
        {"protocol", Json::array({2, 3})},
        {"w", 320.5},
        {"ext", "text"},
        {"qamediarating", 3},
        {"qamediarating", -1},
        {"api", 7},
        {"attr", Json::array({1, 18})},
        {"adomain", "x"},
        {"ext", Json{{"context", Json{{"k", 1}}}}},
        {"ext", Json{{"prebid", Json{{"cache", Json{{"bids", Json::array()}}}}}}},
        {"ext", Json{{"prebid", Json{{"meta", Json{{"advertiserId", "7"}}}}}}},
    };
    for (const auto& [key, value] : bad) {
        Json bid = fullBid;
        bid[key] = value;
        EXPECT_TRUE(jsonErrorKind<Bid>(bid).has_value()) << key << " = " << value.dump();
        EXPECT_TRUE(jsonErrorKind<BidResponse>(responseWith(Json::array({fullBid, bid}))).has_value()) << key;
    }
}

TEST(BidResponse, RoundTripAndAbsentVersusEmpty) {
    Json full = responseWith(Json::array({fullBid}));
    full.update(Json{{"bidid", "bid"}, {"cur", "USD"}, {"customdata", "cd"}, {"nbr", 10}});
    full["seatbid"][0].update(Json{{"group", 1}, {"ext", "e"}});
    const BidResponse response = decodeJson<BidResponse>(full);
    EXPECT_EQ(encodeToJson(response), full);
    EXPECT_EQ(response.noBidReasonCode, NoBidReasonCode::dailyDomainCapMet);

    const BidResponse idOnly = decodeFrom<BidResponse>(R"({"id":"r","ext":{"x":1}})");
    EXPECT_FALSE(idOnly.seatBids.has_value());
    EXPECT_EQ(encodeToJson(idOnly), Json::parse(R"({"id":"r"})"));  // "ext" is not kept

    const BidResponse empty = decodeFrom<BidResponse>(R"({"id":"r","seatbid":[{"bid":[]}]})");
    ASSERT_TRUE(empty.seatBids.has_value());
    EXPECT_TRUE(empty.seatBids->front().bids.empty());
    EXPECT_EQ(encodeToJson(empty), Json::parse(R"({"id":"r","seatbid":[{"bid":[]}]})"));
}

TEST(BidResponse, OneBadElementFailsTheWholeAnswer) {
    Json secondBidWithoutImpid = fullBid;
    secondBidWithoutImpid.erase("impid");
    const std::vector<std::pair<std::string, std::string>> bad = {
        {"empty object", "{}"},
        {"numeric id", R"({"id":1})"},
        {"nbr past the list", R"({"id":"r","nbr":11})"},
        {"negative nbr", R"({"id":"r","nbr":-1})"},
        {"seat without bid", R"({"id":"r","seatbid":[{"seat":"s"}]})"},
        {"object seat ext", R"({"id":"r","seatbid":[{"bid":[],"ext":{}}]})"},
        {"numeric seat ext", R"({"id":"r","seatbid":[{"bid":[],"ext":1}]})"},
        {"fraction group", R"({"id":"r","seatbid":[{"bid":[],"group":1.5}]})"},
        {"seatbid object", R"({"id":"r","seatbid":{"bid":[]}})"},
        {"second bid bad", responseWith(Json::array({fullBid, secondBidWithoutImpid})).dump()},
        {"not JSON", "{\"id\":"},
    };
    for (const auto& [name, text] : bad) {
        EXPECT_TRUE(decodingErrorKind<BidResponse>(text).has_value()) << name;
    }

    // A long answer is read a seat and a bid at a time: the same failure, at the same place, as
    // when it is read whole.
    Json longSeat = Json::array();
    for (int i = 0; i < 600; ++i) longSeat.push_back(fullBid);
    longSeat.push_back(secondBidWithoutImpid);
    Json longSeats = responseWith(Json::array({fullBid}));
    for (int i = 0; i < 600; ++i) longSeats["seatbid"].push_back(longSeats["seatbid"][0]);
    longSeats["seatbid"].push_back(Json{{"seat", "s"}});
    for (const auto& answer : {responseWith(longSeat), longSeats}) {
        const std::string text = answer.dump();
        ASSERT_GE(text.size(), 4 * platform::JSONDecoder::kDeferredLength);
        std::string readWhole;
        try {
            (void)platform::JSONDecoder().decode<BidResponse>(platform::JSONSerialization::jsonObject(text));
        } catch (const platform::DecodingError& error) {
            readWhole = error.what();
        }
        try {
            (void)decodeFrom<BidResponse>(text);
            ADD_FAILURE() << "no failure for " << readWhole;
        } catch (const platform::DecodingError& error) {
            EXPECT_EQ(error.what(), readWhole);
        }
    }
}

}  // namespace
}  // namespace qor::testing
