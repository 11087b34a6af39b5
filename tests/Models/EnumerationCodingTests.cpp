// Enumerations are closed sets: every case travels as its raw value, and a value that is not a
// case fails with dataCorrupted, also as one element of a list and deep inside a record.
#include <functional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "Models/OpenRTB/AdPosition.h"
#include "Models/OpenRTB/Audio.h"
#include "Models/OpenRTB/Banner.h"
#include "Models/OpenRTB/BidRequest.h"
#include "Models/OpenRTB/Device.h"
#include "Models/OpenRTB/Enumerations.h"
#include "Models/OpenRTB/Geo.h"
#include "Models/OpenRTB/NativeLink.h"
#include "Models/OpenRTB/User.h"
#include "Models/OpenRTB/Video.h"
#include "Models/OpenRTB/VideoStartDelay.h"
#include "OpenRTBTestSupport.h"

namespace qor::testing {
namespace {

struct EnumCase {
    std::string name;
    Json validRaws;                              // every case's raw value, in case order
    Json invalidRaws;                            // neighbours and look-alikes that are not cases
    std::function<Json(const Json&)> roundTrip;  // a list of raw values, decoded and encoded
    std::function<std::optional<ErrorKind>(const Json&)> errorKind;
};

template <class E>
EnumCase enumCase(std::string name, Json valid, Json invalid) {
    static_assert(platform::EnumRawValues<E>::cases.size() > 0);
    return EnumCase{
        std::move(name),
        std::move(valid),
        std::move(invalid),
        [](const Json& raws) { return encodeToJson(decodeJson<std::vector<E>>(raws)); },
        [](const Json& raws) { return jsonErrorKind<std::vector<E>>(raws); },
    };
}

std::vector<EnumCase> allEnums() {
    return {
        enumCase<PlaybackMethod>("PlaybackMethod", {1, 2, 3, 4, 5, 6}, {0, 7, -1}),
        enumCase<ApiFramework>("ApiFramework", {1, 2, 3, 4, 5, 6}, {0, 7}),
        enumCase<CreativeAttribute>("CreativeAttribute", Json::parse("[1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17]"),
                                    {0, 18}),
        enumCase<VideoProtocol>("VideoProtocol", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, {0, 11, -2}),
        enumCase<DeliveryMethod>("DeliveryMethod", {1, 2, 3}, {0, 4}),
        enumCase<CompanionType>("CompanionType", {0, 1, 2}, {3, -1}),
        enumCase<ExpandableDirection>("ExpandableDirection", {1, 2, 3, 4, 5}, {0, 6}),
        enumCase<VideoCompanion>("VideoCompanion", {0, 1}, {2, -1}),
        enumCase<AdPosition>("AdPosition", {0, 1, 2, 3, 4, 5, 6, 7}, {8, -1}),
        enumCase<VideoStartDelay>("VideoStartDelay", {0, -1, -2, 4}, {1, 2, 3, 5, 30, -3}),
        enumCase<Banner::BannerType>("BannerType", {1, 2, 3, 4}, {0, 5}),
        enumCase<Video::Linearity>("VideoLinearity", {1, 2}, {0, 3}),
        enumCase<Video::Placement>("VideoPlacement", {1, 2, 3, 4, 5}, {0, 6}),
        enumCase<Audio::FeedType>("AudioFeedType", {1, 2, 3}, {0, 4}),
        enumCase<Audio::VolumeMode>("AudioVolumeMode", {0, 1, 2, 3, 4}, {5, -1}),
        enumCase<EventTracker::EventType>("EventTrackerEventType", {1, 2, 3, 4}, {0, 5}),
        enumCase<EventTracker::EventMethod>("EventTrackerEventMethod", {1, 2}, {0, 3}),
        enumCase<Geo::GeoType>("GeoType", {1, 2, 3}, {0, 4}),
        enumCase<Device::DeviceType>("DeviceType", {1, 2, 3, 4, 5, 6, 7}, {0, 8}),
        enumCase<Device::ConnectionType>("ConnectionType", {0, 1, 2, 3, 4, 5, 6, 7}, {8, -1}),
        enumCase<User::Gender>("Gender", {"m", "f", "o"}, {"M", "male", "", "x"}),
    };
}

class EnumerationCoding : public ::testing::TestWithParam<EnumCase> {};

TEST_P(EnumerationCoding, EveryCaseTravelsAsItsRawValue) {
    const auto& enumeration = GetParam();
    EXPECT_EQ(enumeration.roundTrip(enumeration.validRaws), enumeration.validRaws);
}

TEST_P(EnumerationCoding, ValueThatIsNoCaseFailsTheWholeList) {
    const auto& enumeration = GetParam();
    for (const auto& invalid : enumeration.invalidRaws) {
        Json list = enumeration.validRaws;
        list.push_back(invalid);
        EXPECT_EQ(enumeration.errorKind(list), ErrorKind::dataCorrupted) << invalid;
    }
}

TEST_P(EnumerationCoding, RawValueOfWrongJsonTypeFails) {
    const auto& enumeration = GetParam();
    const Json& first = enumeration.validRaws.front();
    const Json wrong = first.is_string() ? Json(1) : Json(first.dump());  // 2 as "2", "m" as 1
    EXPECT_EQ(enumeration.errorKind(Json::array({wrong})), ErrorKind::typeMismatch);
    EXPECT_EQ(enumeration.errorKind(Json::array({1.5})),
              first.is_string() ? ErrorKind::typeMismatch : ErrorKind::dataCorrupted);
}

INSTANTIATE_TEST_SUITE_P(OpenRTBEnumerations, EnumerationCoding, ::testing::ValuesIn(allEnums()),
                         [](const auto& info) { return info.param.name; });

// An out-of-range value fails the record that holds it, and every record around that one.
TEST(EnumerationInRecords, OutOfRangeValueFailsTheEnclosingRecords) {
    EXPECT_EQ(decodingErrorKind<Banner>(R"({"battr":[1,18]})"), ErrorKind::dataCorrupted);
    EXPECT_EQ(decodingErrorKind<Banner>(R"({"btype":[2]})"), ErrorKind::typeMismatch);
    EXPECT_EQ(decodingErrorKind<Banner>(R"({"api":[3,7]})"), ErrorKind::dataCorrupted);
    EXPECT_EQ(decodingErrorKind<Video>(R"({"mimes":[],"protocols":[2,11]})"), ErrorKind::dataCorrupted);
    EXPECT_EQ(decodingErrorKind<Video>(R"({"mimes":[],"companionad":[{"pos":8}]})"), ErrorKind::dataCorrupted);
    EXPECT_EQ(decodingErrorKind<Audio>(R"({"mines":[],"protocols":[],"startdelay":5})"), ErrorKind::dataCorrupted);
    EXPECT_EQ(decodingErrorKind<User>(R"({"gender":"o","geo":{"lat":1,"lon":2,"type":4}})"), ErrorKind::dataCorrupted);
    EXPECT_EQ(decodingErrorKind<Impression>(R"({"id":"i","secure":1,"video":{"mimes":[],"placement":6}})"),
              ErrorKind::dataCorrupted);

    BidRequest request;
    request.id = "R";
    Json json = encodeToJson(request);
    json["imp"] = Json::parse(R"([{"id":"a","secure":1},{"id":"b","secure":1,"banner":{"expdir":[1,6]}}])");
    EXPECT_EQ(jsonErrorKind<BidRequest>(json), ErrorKind::dataCorrupted);
}

TEST(EnumerationInRecords, LooksUpCasesFromRawValues) {
    EXPECT_EQ(enumFromRawValue<CompanionType>(0), CompanionType::static_);
    EXPECT_EQ(enumFromRawValue<CompanionType>(1), CompanionType::html);
    EXPECT_EQ(enumFromRawValue<VideoStartDelay>(4), VideoStartDelay::midRoll);
    EXPECT_EQ(enumFromRawValue<VideoStartDelay>(5), std::nullopt);
    EXPECT_EQ(enumFromRawValue<Geo::IPLocationService>(0), std::nullopt);
    EXPECT_EQ(enumFromRawValue<Geo::IPLocationService>(4), Geo::IPLocationService::netAcuity);
    EXPECT_EQ(enumFromRawValue<Geo::IPLocationService>(5), std::nullopt);
    EXPECT_EQ(rawValue(CreativeAttribute::expandaableUserRollOver), 5);
}

// The gender's raw values are its letters, never the enumerator's number: a bid request built
// from rawValue() must carry "f", not 1.
TEST(EnumerationInRecords, TheGenderGoesByItsLetters) {
    const std::vector<std::pair<User::Gender, std::string_view>> letters{
        {User::Gender::male, "m"}, {User::Gender::female, "f"}, {User::Gender::other, "o"}};
    for (const auto& [gender, letter] : letters) {
        EXPECT_EQ(rawValue(gender), letter);
        EXPECT_EQ(enumFromRawValue<User::Gender>(letter), gender);
        User user;
        user.gender = gender;
        EXPECT_EQ(encodeToJson(user)["gender"], std::string(rawValue(gender)));
    }
    for (const char* other : {"M", "F", "male", "female", "", "x", "0", "1"}) {
        EXPECT_EQ(enumFromRawValue<User::Gender>(other), std::nullopt) << other;
    }
    static_assert(std::is_same_v<decltype(rawValue(User::Gender::female)), std::string_view>);
}

}  // namespace
}  // namespace qor::testing
