// The rules every bid-request record shares, run over each record with a sample that uses every
// key of its table: a full round trip keeps every key and value, required keys fail with the
// right error kind when missing or null, any value of the wrong JSON type fails, unknown keys
// are ignored and absent optionals are never written.
#include <functional>
#include <vector>

#include "Models/OpenRTB/ApplicationInfo.h"
#include "Models/OpenRTB/Audio.h"
#include "Models/OpenRTB/Banner.h"
#include "Models/OpenRTB/BidRequest.h"
#include "Models/OpenRTB/Device.h"
#include "Models/OpenRTB/DeviceFacts.h"
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

struct RecordCase {
    std::string name;
    Json sample;                        // every key of the record's table, with valid values
    std::vector<std::string> required;  // keys that must be present and not null
    std::vector<std::string> notRead;   // keys written but never taken from the input
    std::function<Json(const Json&)> roundTrip;
    std::function<std::optional<ErrorKind>(const Json&)> errorKind;
};

template <class T>
RecordCase recordCase(std::string name, Json sample, std::vector<std::string> required,
                      std::vector<std::string> notRead = {}) {
    return RecordCase{
        std::move(name),
        std::move(sample),
        std::move(required),
        std::move(notRead),
        [](const Json& json) { return encodeToJson(decodeJson<T>(json)); },
        [](const Json& json) { return jsonErrorKind<T>(json); },
    };
}

// A value of another JSON type than the given one.
Json wrongTypeFor(const Json& value) {
    if (value.is_string()) return 7;
    if (value.is_array() || value.is_object() || value.is_number()) return "7";
    return Json::array();
}

Json deviceSample() {
    // The hardware keys come from this machine whatever the input says, so the sample carries
    // this machine's values and the round trip can compare whole documents.
    DeviceFacts facts;
    facts.hardware = DeviceHardwareFacts::current();
    Json device = encodeToJson(Device::fromFacts(facts));
    device.update(Json::parse(R"({
      "ua": "Mozilla/5.0", "geo": {"lat": 10.5, "lon": 106.25, "type": 1}, "dnt": 0, "lmt": 1,
      "ip": "192.0.2.1", "ipv6": "2001:db8::1", "devicetype": 4, "geofetch": 1, "flashver": "0",
      "language": "vi-VN", "carrier": "Carrier", "mccmnc": "452-04", "connectiontype": 6,
      "ifa": "IFA", "didsha1": "a", "didmd5": "b", "dpidsha1": "c", "dpidmd5": "d",
      "macsha1": "e", "macmd5": "f", "ext": "x"})"));
    return device;
}

std::vector<RecordCase> allRecords() {
    const Json banner = Json::parse(R"({
      "id": "b", "format": [{"w": 320, "h": 50}], "w": 320, "h": 50, "btype": 2, "battr": [1, 17],
      "pos": 7, "mines": ["image/png"], "topframe": 1, "expdir": [5], "api": [3, 6], "vcm": 1,
      "ext": "e"})");
    const Json impression = Json::parse(R"({
      "id": "i", "metric": [{"id": "viewability", "value": 0.5}], "banner": {"format": []},
      "video": {"mimes": []}, "audio": {"mines": [], "protocols": []},
      "native": {"request": "{}", "ver": "1.2"}, "pmp": {"private_auction": 0},
      "displaymanager": "dm", "displaymanagerver": "1", "instl": 1, "tagid": "t", "bidfloor": 2,
      "bidfloorcur": "USD", "clickbrowser": 1, "secure": 1, "iframebuster": ["x"], "exp": 30,
      "ext": {"prebid": {}, "vomadn": {"header_bids": [], "container_id": 5, "inventory_id": 101}}})");
    const Json app = Json::parse(R"({
      "id": "a", "name": "App", "bundle": "com.example.app", "domain": "example.com",
      "storeurl": "https://store.example/app", "ver": "1.0", "publisher": {"id": "p", "name": "P"},
      "ext": {"QOR": {"version": "0.1.19", "source": "qor-sdk"}}})");
    const Json user = Json::parse(R"({
      "id": "u", "buyerUID": "b", "yearOfBirth": 1990, "gender": "f", "keywords": "k",
      "customData": "c", "geo": {"lat": 1.5, "lon": 2.5, "type": 2, "accuracy": 10},
      "data": {"id": "d", "name": "n", "segment": [{"id": "s", "name": "n", "value": "v", "ext": "e"}],
               "ext": "e"},
      "ext": "e"})");

    Json bidRequest = Json::object();
    bidRequest["id"] = "R";
    bidRequest["imp"] = Json::array({impression});
    bidRequest["app"] = app;
    bidRequest["device"] = deviceSample();
    bidRequest["user"] = user;
    bidRequest.update(Json::parse(R"({
      "test": 1, "at": 2, "tmax": 500, "wseat": ["s1"], "bseat": ["s2"], "allimps": 0,
      "cur": ["USD"], "wlang": ["en"], "bcat": ["IAB25"], "badv": ["bad.example"],
      "bapp": ["com.bad"], "source": {"fd": 1, "tid": "T", "pchain": "p"},
      "regs": {"coppa": 1, "ext": "r"}, "ext": {"context": {"k": [1, "v"]}}})"));

    return {
        recordCase<Format>("Format", Json::parse(R"({"w":300,"h":250,"wratio":1,"hratio":2,"wmin":100,"ext":"e"})"),
                           {"w", "h"}),
        recordCase<Banner>("Banner", banner, {}),
        recordCase<Video>("Video", Json::parse(R"({
          "mimes": ["video/mp4"], "minduration": 5, "maxduration": 30, "protocols": [2, 3, 7],
          "w": 480, "h": 360, "startdelay": 5, "placement": 5, "linearity": 3, "skip": 1,
          "skipmin": 5, "skipAfter": 5, "sequence": 1, "battr": [16], "maxextended": 0,
          "minbitrate": 300, "maxbitrate": 1500, "boxingallowed": 1, "playbackmethod": [1, 6],
          "playbackend": 1, "delivery": [1, 3], "pos": 0, "companionad": [{"w": 300}],
          "api": [1, 2], "companiontypes": [0, 2]})"),
                          {"mimes"}),
        recordCase<Audio>("Audio", Json::parse(R"({
          "mines": ["audio/mp4"], "minduration": 5, "maxduration": 30, "protocols": [9, 10],
          "startdelay": -1, "sequence": 1, "battr": [1], "maxextended": -1, "minbitrate": 64,
          "maxbitrate": 320, "delivery": [2], "companionad": [{}], "api": [5], "companiontype": [1],
          "maxseq": 3, "feed": 3, "stitched": 1, "nvol": 4, "ext": "e"})"),
                          {"mines", "protocols"}),
        recordCase<Native>(
            "Native", Json::parse(R"({"request":"{\"ver\":\"1.2\"}","ver":"1.2","api":[3,5],"battr":[10],"ext":"e"})"),
            {"request", "ver"}),
        recordCase<PrivateMarketplace>(
            "PrivateMarketplace",
            Json::parse(R"({"private_auction":1,"deals":[{"id":"d","bidfloor":2,"bidfloorcur":"USD"}],"ext":"e"})"),
            {"private_auction"}),
        recordCase<Deal>(
            "Deal",
            Json::parse(
                R"({"id":"d","bidfloor":2,"bidfloorcur":"USD","at":1,"wseat":["s"],"wadomain":["a.example"],"ext":"e"})"),
            {"id", "bidfloor", "bidfloorcur"}),
        recordCase<Metric>("Metric", Json::parse(R"({"id":"viewability","value":0.5,"vendor":"v","ext":"e"})"),
                           {"id", "value"}),
        recordCase<Link>(
            "Link",
            Json::parse(
                R"({"url":"https://a.example","clicktrackers":["https://t.example"],"fallback":"https://f.example","ext":"e"})"),
            {"url"}),
        recordCase<EventTracker>("EventTracker",
                                 Json::parse(R"({"event":4,"method":2,"ext":"e","url":"https://t.example"})"),
                                 {"event", "method"}),
        recordCase<Target>("Target", Json::parse(R"({
          "hb_pb": "1.20", "hb_deal": "d", "hb_env": "mobile-app", "hb_cache_id": "c", "hb_bidder": "b",
          "hb_bidder_vormelix": "v", "hb_deal_vormelix": "dv", "hb_env_vormelix": "ev",
          "hb_uuid_vormelix": "uv", "hb_cache_path": "/cache", "hb_cache_host": "h",
          "hb_cache_path_vormel": "/cv", "hb_pb_vormelix": "1.10", "hb_cache_id_vormelix": "cv",
          "hb_uuid": "u", "hb_cache_host_vormel": "hv"})"),
                           {}),
        recordCase<PreBid>("PreBid", Json::parse(R"({
          "targeting": {"hb_pb": "1.20"}, "storerequest": {"id": "s"},
          "cache": {"key": "k", "url": "u", "bids": {"url": "u", "cacheId": "c"}},
          "meta": {"advertiserId": 7}, "bidid": "b", "type": "banner", "file_type": "f",
          "play_type": "p"})"),
                           {}),
        recordCase<Geo>("Geo", Json::parse(R"({"lat":10.5,"lon":106.25,"type":3,"accuracy":5})"),
                        {"lat", "lon", "type"}),
        recordCase<User>("User", user, {"gender"}),
        recordCase<Impression>("Impression", impression, {"id", "secure"}),
        recordCase<ApplicationInfo>("ApplicationInfo", app, {}),
        recordCase<Device>("Device", deviceSample(), {"lmt", "devicetype", "ifa"},
                           {"make", "model", "os", "osv", "hwv", "h", "w", "ppi", "pxratio", "js"}),
        recordCase<Source>("Source", Json::parse(R"({"fd":1,"tid":"T","pchain":"p"})"), {"tid"}),
        recordCase<Regs>("Regs", Json::parse(R"({"coppa":1,"ext":"e"})"), {}),
        recordCase<BidRequest>("BidRequest", bidRequest, {"id", "imp", "app", "device", "user", "source"}),
    };
}

class RecordCoding : public ::testing::TestWithParam<RecordCase> {};

TEST_P(RecordCoding, RoundTripKeepsEveryKeyAndValue) {
    const auto& record = GetParam();
    EXPECT_EQ(record.roundTrip(record.sample), record.sample);
}

TEST_P(RecordCoding, RequiredKeyMissingOrNullFails) {
    const auto& record = GetParam();
    for (const auto& key : record.required) {
        Json missing = record.sample;
        missing.erase(key);
        EXPECT_EQ(record.errorKind(missing), ErrorKind::keyNotFound) << key;
        Json null = record.sample;
        null[key] = nullptr;
        EXPECT_EQ(record.errorKind(null), ErrorKind::valueNotFound) << key;
    }
}

TEST_P(RecordCoding, OnlyRequiredKeysAreWrittenWhenOptionalsAreAbsent) {
    const auto& record = GetParam();
    Json minimal = Json::object();
    for (const auto& [key, value] : record.sample.items()) {
        const bool required = std::find(record.required.begin(), record.required.end(), key) != record.required.end();
        const bool notRead = std::find(record.notRead.begin(), record.notRead.end(), key) != record.notRead.end();
        if (required || notRead) minimal[key] = value;
    }
    EXPECT_EQ(record.roundTrip(minimal), minimal);

    Json nulls = minimal;
    for (const auto& [key, value] : record.sample.items()) {
        if (!minimal.contains(key)) nulls[key] = nullptr;
    }
    EXPECT_EQ(record.roundTrip(nulls), minimal) << "a null optional reads as absent and is not written";
}

TEST_P(RecordCoding, ValueOfWrongJsonTypeFails) {
    const auto& record = GetParam();
    for (const auto& [key, value] : record.sample.items()) {
        if (std::find(record.notRead.begin(), record.notRead.end(), key) != record.notRead.end()) continue;
        Json wrong = record.sample;
        wrong[key] = wrongTypeFor(value);
        EXPECT_EQ(record.errorKind(wrong), ErrorKind::typeMismatch) << key << " = " << wrong[key];
    }
}

TEST_P(RecordCoding, UnknownKeysAreIgnored) {
    const auto& record = GetParam();
    Json extended = record.sample;
    extended["unknown_key"] = Json::object({{"nested", 1}});
    extended["Ext"] = 3;
    EXPECT_EQ(record.roundTrip(extended), record.sample);
}

TEST_P(RecordCoding, TopLevelValueMustBeAnObject) {
    const auto& record = GetParam();
    EXPECT_EQ(record.errorKind(Json::array({record.sample})), ErrorKind::typeMismatch);
    EXPECT_EQ(record.errorKind(Json("text")), ErrorKind::typeMismatch);
}

INSTANTIATE_TEST_SUITE_P(BidRequestRecords, RecordCoding, ::testing::ValuesIn(allRecords()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace qor::testing
