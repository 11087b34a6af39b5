// Cost of coding a mid-size record (shaped like an auction request) through the record coding
// layer, against the JSON library underneath on its own.
#include <benchmark/benchmark.h>

#include <array>
#include <nlohmann/json.hpp>

#include "Platform/Foundation/JSONDecoder.h"
#include "Platform/Foundation/JSONEncoder.h"
#include "Platform/Foundation/JSONSerialization.h"

namespace qor::platform {
namespace {
enum class Gender { male, female, other };
}  // namespace

template <>
struct EnumRawValues<Gender> {
    static constexpr std::array cases{std::pair{Gender::male, std::string_view("m")},
                                      std::pair{Gender::female, std::string_view("f")},
                                      std::pair{Gender::other, std::string_view("o")}};
};

namespace {

struct Format {
    std::int64_t w = 0;
    std::int64_t h = 0;
    void encode(KeyedEncodingContainer& c) const {
        c.encode("w", w);
        c.encode("h", h);
    }
    static Format decode(const KeyedDecodingContainer& c) {
        return Format{c.decode<std::int64_t>("w"), c.decode<std::int64_t>("h")};
    }
};

struct Banner {
    std::optional<std::int64_t> w;
    std::optional<std::int64_t> h;
    std::optional<std::vector<Format>> formats;
    std::optional<std::vector<std::int64_t>> apis;
    void encode(KeyedEncodingContainer& c) const {
        c.encodeIfPresent("w", w);
        c.encodeIfPresent("h", h);
        c.encodeIfPresent("format", formats);
        c.encodeIfPresent("api", apis);
    }
    static Banner decode(const KeyedDecodingContainer& c) {
        return Banner{c.decodeIfPresent<std::int64_t>("w"), c.decodeIfPresent<std::int64_t>("h"),
                      c.decodeIfPresent<std::vector<Format>>("format"),
                      c.decodeIfPresent<std::vector<std::int64_t>>("api")};
    }
};

struct Impression {
    std::string id;
    std::optional<Banner> banner;
    std::optional<double> bidFloor;
    std::optional<std::string> currency;
    std::optional<std::int64_t> secure;
    void encode(KeyedEncodingContainer& c) const {
        c.encode("id", id);
        c.encodeIfPresent("banner", banner);
        c.encodeIfPresent("bidfloor", bidFloor);
        c.encodeIfPresent("bidfloorcur", currency);
        c.encodeIfPresent("secure", secure);
    }
    static Impression decode(const KeyedDecodingContainer& c) {
        return Impression{c.decode<std::string>("id"), c.decodeIfPresent<Banner>("banner"),
                          c.decodeIfPresent<double>("bidfloor"), c.decodeIfPresent<std::string>("bidfloorcur"),
                          c.decodeIfPresent<std::int64_t>("secure")};
    }
};

struct Device {
    std::optional<std::string> ua, ip, make, model, os, osv, language, carrier, ifa;
    std::optional<std::int64_t> deviceType, w, h, connectionType;
    std::optional<double> pxRatio;
    void encode(KeyedEncodingContainer& c) const {
        c.encodeIfPresent("ua", ua);
        c.encodeIfPresent("ip", ip);
        c.encodeIfPresent("devicetype", deviceType);
        c.encodeIfPresent("make", make);
        c.encodeIfPresent("model", model);
        c.encodeIfPresent("os", os);
        c.encodeIfPresent("osv", osv);
        c.encodeIfPresent("w", w);
        c.encodeIfPresent("h", h);
        c.encodeIfPresent("pxratio", pxRatio);
        c.encodeIfPresent("language", language);
        c.encodeIfPresent("carrier", carrier);
        c.encodeIfPresent("connectiontype", connectionType);
        c.encodeIfPresent("ifa", ifa);
    }
    static Device decode(const KeyedDecodingContainer& c) {
        Device d;
        d.ua = c.decodeIfPresent<std::string>("ua");
        d.ip = c.decodeIfPresent<std::string>("ip");
        d.deviceType = c.decodeIfPresent<std::int64_t>("devicetype");
        d.make = c.decodeIfPresent<std::string>("make");
        d.model = c.decodeIfPresent<std::string>("model");
        d.os = c.decodeIfPresent<std::string>("os");
        d.osv = c.decodeIfPresent<std::string>("osv");
        d.w = c.decodeIfPresent<std::int64_t>("w");
        d.h = c.decodeIfPresent<std::int64_t>("h");
        d.pxRatio = c.decodeIfPresent<double>("pxratio");
        d.language = c.decodeIfPresent<std::string>("language");
        d.carrier = c.decodeIfPresent<std::string>("carrier");
        d.connectionType = c.decodeIfPresent<std::int64_t>("connectiontype");
        d.ifa = c.decodeIfPresent<std::string>("ifa");
        return d;
    }
};

struct User {
    std::optional<std::string> id;
    std::optional<std::int64_t> yob;
    std::optional<Gender> gender;
    void encode(KeyedEncodingContainer& c) const {
        c.encodeIfPresent("id", id);
        c.encodeIfPresent("yob", yob);
        c.encodeIfPresent("gender", gender);
    }
    static User decode(const KeyedDecodingContainer& c) {
        return User{c.decodeIfPresent<std::string>("id"), c.decodeIfPresent<std::int64_t>("yob"),
                    c.decodeIfPresent<Gender>("gender")};
    }
};

struct BidRequest {
    std::string id;
    std::vector<Impression> impressions;
    Device device;
    User user;
    std::optional<std::int64_t> test;
    std::optional<std::vector<std::string>> currencies;
    std::optional<Any> context;
    void encode(KeyedEncodingContainer& c) const {
        c.encode("id", id);
        c.encode("imp", impressions);
        c.encode("device", device);
        c.encode("user", user);
        c.encodeIfPresent("test", test);
        c.encodeIfPresent("cur", currencies);
        c.encodeIfPresent("context", context);
    }
    static BidRequest decode(const KeyedDecodingContainer& c) {
        return BidRequest{c.decode<std::string>("id"),
                          c.decode<std::vector<Impression>>("imp"),
                          c.decode<Device>("device"),
                          c.decode<User>("user"),
                          c.decodeIfPresent<std::int64_t>("test"),
                          c.decodeIfPresent<std::vector<std::string>>("cur"),
                          c.decodeIfPresent<Any>("context")};
    }
};

BidRequest sampleRequest() {
    BidRequest request;
    request.id = "6D1E2F3A-4B5C-4D6E-8F90-A1B2C3D4E5F6";
    for (int i = 0; i < 3; ++i) {
        Impression impression;
        impression.id = "imp-" + std::to_string(i);
        impression.banner =
            Banner{320, 50, std::vector<Format>{{320, 50}, {300, 250}, {728, 90}}, std::vector<std::int64_t>{3, 5, 6}};
        impression.bidFloor = 0.25 * (i + 1);
        impression.currency = "USD";
        impression.secure = 1;
        request.impressions.push_back(impression);
    }
    request.device = Device{"Mozilla/5.0 (X11; Linux x86_64; rv:115.0) Gecko/20100101",
                            "203.0.113.7",
                            "Generic",
                            "Model 7",
                            "Linux",
                            "6.1",
                            "en",
                            "Carrier",
                            "00000000-0000-0000-0000-000000000000",
                            4,
                            1080,
                            1920,
                            2,
                            2.625};
    request.user = User{"user-1", 1990, Gender::female};
    request.test = 1;
    request.currencies = std::vector<std::string>{"USD", "EUR"};
    request.context = Any(Any::Dictionary{{"page", "home/feed"}, {"tags", Any::Array{"a", "b", 3}}, {"score", 0.75}});
    return request;
}

void BM_EncodeRecord(benchmark::State& state) {
    const BidRequest request = sampleRequest();
    const JSONEncoder encoder;
    for (auto _ : state) benchmark::DoNotOptimize(encoder.encode(request));
}
BENCHMARK(BM_EncodeRecord);

void BM_DecodeRecord(benchmark::State& state) {
    const Data data = JSONEncoder().encode(sampleRequest());
    const JSONDecoder decoder;
    for (auto _ : state) benchmark::DoNotOptimize(decoder.decode<BidRequest>(data));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_DecodeRecord);

void BM_ParseUntyped(benchmark::State& state) {
    const Data data = JSONEncoder().encode(sampleRequest());
    for (auto _ : state) benchmark::DoNotOptimize(JSONSerialization::jsonObject(data));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_ParseUntyped);

void BM_NlohmannParseOnly(benchmark::State& state) {
    const std::string text = JSONEncoder().encodeToString(sampleRequest());
    for (auto _ : state) benchmark::DoNotOptimize(nlohmann::ordered_json::parse(text));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_NlohmannParseOnly);

void BM_NlohmannDumpOnly(benchmark::State& state) {
    const auto document = nlohmann::ordered_json::parse(JSONEncoder().encodeToString(sampleRequest()));
    for (auto _ : state) benchmark::DoNotOptimize(document.dump());
}
BENCHMARK(BM_NlohmannDumpOnly);

}  // namespace
}  // namespace qor::platform

BENCHMARK_MAIN();
