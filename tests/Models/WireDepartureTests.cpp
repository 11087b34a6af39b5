// Where the ad network's wire form departs from the published bid-request keys and types. Each
// of these is a key a demand endpoint reads, so a slip here silently loses data on their side.
#include <cmath>
#include <limits>

#include "Models/OpenRTB/ApplicationInfo.h"
#include "Models/OpenRTB/Audio.h"
#include "Models/OpenRTB/Banner.h"
#include "Models/OpenRTB/Geo.h"
#include "Models/OpenRTB/Impression.h"
#include "Models/OpenRTB/Metric.h"
#include "Models/OpenRTB/Native.h"
#include "Models/OpenRTB/NativeLink.h"
#include "Models/OpenRTB/PreBid.h"
#include "Models/OpenRTB/PrivateMarketplace.h"
#include "Models/OpenRTB/Target.h"
#include "Models/OpenRTB/User.h"
#include "Models/OpenRTB/Video.h"
#include "OpenRTBTestSupport.h"

namespace qor::testing {
namespace {

TEST(WireKeys, MediaObjectsUseTheNetworksSpellings) {
    // "mines" for banner and audio MIME lists; the published "mimes" is ignored there.
    EXPECT_EQ(decodeFrom<Banner>(R"({"mines":["image/png"]})").mines, std::vector<std::string>{"image/png"});
    EXPECT_EQ(decodeFrom<Banner>(R"({"mimes":["image/png"]})").mines, std::nullopt);
    EXPECT_EQ(decodingErrorKind<Audio>(R"({"mimes":[],"protocols":[]})"), ErrorKind::keyNotFound);

    // "skipAfter" in camel case; the plural "companiontypes" for video, singular for audio.
    EXPECT_EQ(decodeFrom<Video>(R"({"mimes":[],"skipafter":5})").skipAfter, std::nullopt);
    EXPECT_EQ(decodeFrom<Video>(R"({"mimes":[],"skipAfter":5})").skipAfter, 5);
    EXPECT_EQ(decodeFrom<Video>(R"({"mimes":[],"companiontype":[1]})").companionTypes, std::nullopt);
    EXPECT_EQ(decodeFrom<Audio>(R"({"mines":[],"protocols":[],"companiontypes":[1]})").companionTypes, std::nullopt);

    // Video takes any start delay and linearity; audio only the four start-delay positions.
    EXPECT_EQ(decodeFrom<Video>(R"({"mimes":[],"startdelay":5,"linearity":3})").startDelay, 5);
    EXPECT_EQ(decodeFrom<Audio>(R"({"mines":[],"protocols":[],"startdelay":-1})").startDelay,
              VideoStartDelay::genericMidRoll);

    // Empty lists are values: written as [], never dropped.
    Video video;
    EXPECT_EQ(encodeToJson(video), Json::parse(R"({"mimes":[]})"));
    EXPECT_EQ(encodeToJson(Audio{}), Json::parse(R"({"mines":[],"protocols":[]})"));
    Banner banner;
    banner.formats = std::vector<Format>{};
    EXPECT_EQ(encodeToJson(banner), Json::parse(R"({"format":[]})"));
    EXPECT_EQ(encodeToJson(Banner{}), Json::object());
}

TEST(WireKeys, BannerTypeIsOneNumberNotAList) {
    const auto banner = decodeFrom<Banner>(R"({"btype":2})");
    EXPECT_EQ(banner.blockedTypes, Banner::BannerType::xhtmlBannerAd);
    EXPECT_EQ(encodeToJson(banner), Json::parse(R"({"btype":2})"));
}

TEST(WireKeys, FloorsAreWholeNumbers) {
    EXPECT_EQ(decodeFrom<Impression>(R"({"id":"a","secure":0,"bidfloor":2})").bidFloor, 2);
    EXPECT_EQ(decodingErrorKind<Impression>(R"({"id":"a","secure":0,"bidfloor":0.5})"), ErrorKind::dataCorrupted);
    EXPECT_EQ(decodingErrorKind<Deal>(R"({"id":"d","bidfloor":1.5,"bidfloorcur":"USD"})"), ErrorKind::dataCorrupted);
    // No default currency or auction flag is filled in.
    EXPECT_EQ(decodingErrorKind<Deal>(R"({"id":"d","bidfloor":1})"), ErrorKind::keyNotFound);
    EXPECT_EQ(decodingErrorKind<PrivateMarketplace>(R"({"deals":[]})"), ErrorKind::keyNotFound);
    EXPECT_EQ(encodeToJson(PrivateMarketplace{}), Json::parse(R"({"private_auction":0})"));
}

TEST(WireKeys, VersionAndMetricKindKeys) {
    EXPECT_EQ(decodingErrorKind<Native>(R"({"request":"{}","version":"1.2"})"), ErrorKind::keyNotFound);
    Native native;
    native.request = "{}";
    EXPECT_EQ(encodeToJson(native), Json::parse(R"({"request":"{}","ver":""})"));

    EXPECT_EQ(decodingErrorKind<Metric>(R"({"type":"viewability","value":0.5})"), ErrorKind::keyNotFound);
    EXPECT_FLOAT_EQ(decodeFrom<Metric>(R"({"id":"v","value":0.5})").value, 0.5f);
}

TEST(WireKeys, NonFiniteMetricCannotBeWritten) {
    for (float value : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
        Metric metric;
        metric.id = "m";
        metric.value = value;
        EXPECT_THROW((void)platform::JSONEncoder{}.encode(metric), platform::EncodingError);
    }
}

TEST(WireKeys, UserKeysGenderAndData) {
    const auto user = decodeFrom<User>(
        R"({"gender":"o","buyeruid":"b","customdata":"c","yob":1990,"buyerUID":"B","customData":"C","yearOfBirth":1980})");
    EXPECT_EQ(user.buyerUID, "B");
    EXPECT_EQ(user.customData, "C");
    EXPECT_EQ(user.yearOfBirth, 1980);

    User female;
    female.gender = User::Gender::female;
    female.yearOfBirth = 1990;
    EXPECT_EQ(encodeToJson(female), Json::parse(R"({"gender":"f","yearOfBirth":1990})"));
    EXPECT_EQ(encodeToJson(User{}), Json::parse(R"({"gender":"o"})"));

    // "data" is one object; the published list form fails.
    const auto withData = decodeFrom<User>(R"({"gender":"m","data":{"id":"d","segment":[{"value":"v"}]}})");
    ASSERT_TRUE(withData.data && withData.data->segment);
    EXPECT_EQ(withData.data->segment->at(0).value, "v");
    EXPECT_EQ(decodingErrorKind<User>(R"({"gender":"m","data":[{"id":"d"}]})"), ErrorKind::typeMismatch);
}

TEST(WireKeys, GeoCodesOnlyFourKeys) {
    Geo geo;
    geo.latitude = 10.5f;
    geo.longitude = 106.25f;
    geo.city = "Hanoi";
    geo.country = "VNM";
    geo.zip = "100000";
    geo.ipService = Geo::IPLocationService::maxMind;
    geo.lastFix = 3;
    EXPECT_EQ(encodeToJson(geo), Json::parse(R"({"lat":10.5,"lon":106.25,"type":1})"));

    const auto decoded = decodeFrom<Geo>(R"({"lat":1,"lon":2,"type":2,"accuracy":null,"city":"Hue"})");
    EXPECT_EQ(decoded.type, Geo::GeoType::ipAddress);
    EXPECT_EQ(decoded.accuracy, std::nullopt);
    EXPECT_EQ(decoded.city, std::nullopt);
}

TEST(WireKeys, TargetingKeysAreCutToTwentyCharacters) {
    for (const auto& [field, key] : Target::codingKeys) EXPECT_LE(key.size(), 20u) << key;
    // Only the cut keys fill the bidder's cache path and host; the uncut spellings are unknown keys.
    const auto uncut = decodeFrom<Target>(R"({"hb_cache_path_vormelix":"p","hb_cache_host_vormelix":"h"})");
    EXPECT_EQ(uncut, Target{});
    const auto cut =
        decodeFrom<Target>(R"({"hb_cache_path_vormel":"p","hb_cache_host_vormel":"h","hb_cache_id_vormelix":"c"})");
    EXPECT_EQ(cut.cachePathVormelix, "p");
    EXPECT_EQ(cut.cacheHostVormelix, "h");
    EXPECT_EQ(cut.cacheIdVormelix, "c");

    Target onlyUuid;
    onlyUuid.uuid = "U";
    EXPECT_EQ(encodeToJson(onlyUuid), Json::parse(R"({"hb_uuid":"U"})"));
}

TEST(WireKeys, HeaderBiddingBlockKeys) {
    const auto preBid = decodeFrom<PreBid>(
        R"({"storeRequest":{"id":"x"},"fileType":"f","playType":"p","bidID":"b","cache":{"bids":{"url":"u","cacheid":"c"}}})");
    EXPECT_EQ(preBid.storeRequest, std::nullopt);
    EXPECT_EQ(preBid.fileType, std::nullopt);
    EXPECT_EQ(preBid.playType, std::nullopt);
    EXPECT_EQ(preBid.bidID, std::nullopt);
    ASSERT_TRUE(preBid.cache && preBid.cache->bids);
    EXPECT_EQ(preBid.cache->bids->cacheId, std::nullopt);
    EXPECT_EQ(decodingErrorKind<PreBid>(R"({"cache":{"bids":[{"url":"u"}]}})"), ErrorKind::typeMismatch);
    EXPECT_EQ(decodingErrorKind<PreBid>(R"({"meta":{"advertiserId":"7"}})"), ErrorKind::typeMismatch);
    EXPECT_EQ(encodeToJson(decodeFrom<PreBid>(R"({"meta":{}})")), Json::parse(R"({"meta":{}})"));
}

TEST(WireKeys, AppExtensionAlwaysCarriesTheFrameworksOwnVersion) {
    // Whatever the sender put there, the version record reads as this framework's constants.
    const auto app = decodeFrom<ApplicationInfo>(R"({"ext":{"QOR":{"version":"9.9","source":"other"}}})");
    ASSERT_TRUE(app.ext);
    EXPECT_EQ(app.ext->sdkSource.version, "0.1.19");
    EXPECT_EQ(app.ext->sdkSource.source, "qor-sdk");
    EXPECT_EQ(encodeToJson(app), Json::parse(R"({"ext":{"QOR":{"version":"0.1.19","source":"qor-sdk"}}})"));

    EXPECT_EQ(decodingErrorKind<ApplicationInfo>(R"({"ext":{}})"), ErrorKind::keyNotFound);
    EXPECT_EQ(decodingErrorKind<ApplicationInfo>(R"({"ext":{"QOR":"x"}})"), ErrorKind::typeMismatch);
    EXPECT_EQ(encodeToJson(decodeFrom<ApplicationInfo>("{}")), Json::object());
}

TEST(WireKeys, NativeLinkAndAssetData) {
    EXPECT_EQ(decodeFrom<Link>(R"({"url":"u","fallbackurl":"f","fallbackURL":"f"})").fallbackURL, std::nullopt);

    AssetData::Request request;
    EXPECT_EQ(encodeToJson(request), Json::object());
    request.type = 2;
    request.length = 90;
    EXPECT_EQ(encodeToJson(request), Json::parse(R"({"type":2,"len":90})"));

    const auto response = decodeFrom<AssetData::Response>(R"({"value":"x","length":5})");
    EXPECT_EQ(response.value, "x");
    EXPECT_EQ(response.length, std::nullopt);
    EXPECT_EQ(decodeFrom<AssetData::Response>(R"({"value":"x","type":1,"len":5})").length, 5);
    EXPECT_EQ(decodingErrorKind<AssetData::Response>(R"({"type":1})"), ErrorKind::keyNotFound);
    EXPECT_EQ(decodingErrorKind<AssetData::Response>(R"({"value":3})"), ErrorKind::typeMismatch);
}

}  // namespace
}  // namespace qor::testing
