#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <thread>

#include "Platform/Foundation/JSONDecoder.h"
#include "Platform/Foundation/JSONEncoder.h"
#include "Platform/Foundation/JSONSerialization.h"

namespace qor::platform {
namespace {
enum class Gender { male, female, other };
enum class Protocol { vast2, vast3 };
}  // namespace

template <>
struct EnumRawValues<Gender> {
    static constexpr std::array cases{std::pair{Gender::male, std::string_view("m")},
                                      std::pair{Gender::female, std::string_view("f")},
                                      std::pair{Gender::other, std::string_view("o")}};
};

template <>
struct EnumRawValues<Protocol> {
    static constexpr std::array cases{std::pair{Protocol::vast2, std::int64_t{2}},
                                      std::pair{Protocol::vast3, std::int64_t{3}}};
};

namespace {
// Codes as a single value and takes null as a value of its own.
struct Loose {
    Any value;
    bool operator==(const Loose&) const = default;
};

// Codes as a single string; null is not a value of it.
struct Tag {
    std::string text;
    bool operator==(const Tag&) const = default;
};
}  // namespace

template <>
struct ValueCoding<Loose> {
    static constexpr bool acceptsNull = true;
    static Any encode(const Loose& loose) { return loose.value; }
    static Loose decode(const Any& value, const CodingPath&) { return Loose{value}; }
};

template <>
struct ValueCoding<Tag> {
    static Any encode(const Tag& tag) { return Any("#" + tag.text); }
    static Tag decode(const Any& value, const CodingPath& path) {
        const auto* text = value.tryString();
        if (text == nullptr || text->empty() || (*text)[0] != '#') {
            throw DecodingError(DecodingError::Kind::dataCorrupted, path, "not a tag");
        }
        return Tag{text->substr(1)};
    }
};

namespace {

struct Banner {
    std::optional<std::int64_t> w;
    std::optional<std::int64_t> h;
    std::vector<Protocol> protocols;

    void encode(KeyedEncodingContainer& c) const {
        c.encodeIfPresent("w", w);
        c.encodeIfPresent("h", h);
        c.encode("protocols", protocols);
    }
    static Banner decode(const KeyedDecodingContainer& c) {
        Banner b;
        b.w = c.decodeIfPresent<std::int64_t>("w");
        b.h = c.decodeIfPresent<std::int64_t>("h");
        b.protocols = c.decode<std::vector<Protocol>>("protocols");
        return b;
    }
    bool operator==(const Banner&) const = default;
};

struct Impression {
    std::string id;
    std::optional<Banner> banner;
    std::optional<double> bidFloor;

    void encode(KeyedEncodingContainer& c) const {
        c.encode("id", id);
        c.encodeIfPresent("banner", banner);
        c.encodeIfPresent("bidfloor", bidFloor);
    }
    static Impression decode(const KeyedDecodingContainer& c) {
        Impression i;
        i.id = c.decode<std::string>("id");
        i.banner = c.decodeIfPresent<Banner>("banner");
        i.bidFloor = c.decodeIfPresent<double>("bidfloor");
        return i;
    }
    bool operator==(const Impression&) const = default;
};

struct Request {
    std::string id;
    std::vector<Impression> impressions;
    std::optional<Gender> gender;
    std::optional<std::int64_t> test;
    std::optional<std::vector<std::string>> currencies;
    std::optional<Loose> context;
    bool secure = false;
    float ratio = 0;
    Decimal price;
    std::map<std::string, std::int64_t> counts;
    std::optional<Tag> tag;

    void encode(KeyedEncodingContainer& c) const {
        c.encode("id", id);
        c.encode("imp", impressions);
        c.encodeIfPresent("gender", gender);
        c.encodeIfPresent("test", test);
        c.encodeIfPresent("cur", currencies);
        c.encodeIfPresent("context", context);
        c.encode("secure", secure);
        c.encode("ratio", ratio);
        c.encode("price", price);
        c.encode("counts", counts);
        c.encodeIfPresent("tag", tag);
    }
    static Request decode(const KeyedDecodingContainer& c) {
        Request r;
        r.id = c.decode<std::string>("id");
        r.impressions = c.decode<std::vector<Impression>>("imp");
        r.gender = c.decodeIfPresent<Gender>("gender");
        r.test = c.decodeIfPresent<std::int64_t>("test");
        r.currencies = c.decodeIfPresent<std::vector<std::string>>("cur");
        r.context = c.decodeIfPresent<Loose>("context");
        r.secure = c.decode<bool>("secure");
        r.ratio = c.decode<float>("ratio");
        r.price = c.decode<Decimal>("price");
        r.counts = c.decode<std::map<std::string, std::int64_t>>("counts");
        r.tag = c.decodeIfPresent<Tag>("tag");
        return r;
    }
    bool operator==(const Request&) const = default;
};

// Decoded only, with keys in camel case (read through snake-case conversion).
struct AuthError {
    std::string error;
    std::optional<std::string> errorDescription;
    static AuthError decode(const KeyedDecodingContainer& c) {
        return AuthError{c.decode<std::string>("error"), c.decodeIfPresent<std::string>("errorDescription")};
    }
};

struct Holder {
    std::int64_t myURLValue = 0;
    std::map<std::string, int> someMap;
    void encode(KeyedEncodingContainer& c) const {
        c.encode("kind", "holder");
        c.encode("myURLValue", myURLValue);
        c.encode("someMap", someMap);
    }
};

const std::string kFullRequest =
    R"({"id":"r1","imp":[{"id":"i1","banner":{"w":320,"h":50,"protocols":[2,3]},"bidfloor":0.5}],"gender":"f",)"
    R"("test":1,"cur":[],"context":null,"secure":true,"ratio":0.1,"price":1.25,"counts":{"a":1},"tag":"#x"})";

std::string encode(const auto& value, const JSONEncoder& encoder = JSONEncoder()) {
    return encoder.encodeToString(value);
}

template <class T>
T decode(std::string_view text, const JSONDecoder& decoder = JSONDecoder()) {
    return decoder.decode<T>(text);
}

// Runs the decoding and hands back the error it must raise.
template <class T>
DecodingError decodingError(std::string_view text, const JSONDecoder& decoder = JSONDecoder()) {
    try {
        (void)decoder.decode<T>(text);
    } catch (const DecodingError& error) {
        return error;
    }
    ADD_FAILURE() << "no error for " << text;
    return DecodingError(DecodingError::Kind::dataCorrupted, std::vector<std::string>{}, "none");
}

using Kind = DecodingError::Kind;
using Path = std::vector<std::string>;

TEST(Coding, WritesKeysInRecordOrderAndLeavesAbsentOptionalsOut) {
    Request request;
    request.id = "r1";
    request.impressions = {Impression{"i1", Banner{320, 50, {Protocol::vast2, Protocol::vast3}}, 0.5}};
    request.gender = Gender::female;
    request.test = 1;
    request.currencies = std::vector<std::string>{};
    request.context = Loose{Any()};  // present, holding null: written as null
    request.secure = true;
    request.ratio = 0.1f;
    request.price = *Decimal::parse("1.25");
    request.counts = {{"a", 1}};
    request.tag = Tag{"x"};
    EXPECT_EQ(encode(request), kFullRequest);
    EXPECT_EQ(decode<Request>(kFullRequest).impressions, request.impressions);

    Request minimal;
    minimal.id = "r2";
    EXPECT_EQ(encode(minimal), R"({"id":"r2","imp":[],"secure":false,"ratio":0,"price":0,"counts":{}})");
    EXPECT_EQ(decode<Request>(encode(minimal)), minimal);
    EXPECT_EQ(encode(Banner{}), R"({"protocols":[]})");
}

TEST(Coding, RequiredAndOptionalKeysFollowTheirRules) {
    // Optional: a missing key and a null both read as absent; unknown keys are ignored.
    const auto banner = decode<Banner>(R"({"w":null,"protocols":[],"site":{"x":1}})");
    EXPECT_FALSE(banner.w.has_value());
    EXPECT_FALSE(banner.h.has_value());
    // A null Loose in an optional place reads as absent too.
    EXPECT_FALSE(decode<Request>(kFullRequest).context.has_value());

    auto error = decodingError<Banner>(R"({"w":1})");
    EXPECT_EQ(error.kind, Kind::keyNotFound);
    EXPECT_EQ(error.codingPath, Path{"protocols"});
    error = decodingError<Banner>(R"({"protocols":null})");
    EXPECT_EQ(error.kind, Kind::valueNotFound);
    EXPECT_EQ(error.codingPath, Path{"protocols"});
    // A wrong JSON type fails in optional places as well as required ones.
    error = decodingError<Banner>(R"({"w":"320","protocols":[]})");
    EXPECT_EQ(error.kind, Kind::typeMismatch);
    EXPECT_EQ(error.codingPath, Path{"w"});
    EXPECT_EQ(decodingError<Banner>(R"({"protocols":{}})").kind, Kind::typeMismatch);
    EXPECT_EQ(decodingError<Banner>(R"([])").kind, Kind::typeMismatch);
    EXPECT_EQ(decodingError<Banner>(R"(null)").kind, Kind::valueNotFound);
    // Null inside a list of non-optional values.
    error = decodingError<std::vector<std::string>>(R"(["a",null])");
    EXPECT_EQ(error.kind, Kind::valueNotFound);
    EXPECT_EQ(error.codingPath, Path{"Index 1"});
    EXPECT_EQ(decode<std::vector<std::optional<int>>>("[1,null]"), (std::vector<std::optional<int>>{1, std::nullopt}));
}

TEST(Coding, IntegersAreExact) {
    EXPECT_EQ(decode<std::int64_t>("2.0"), 2);
    EXPECT_EQ(decode<std::int64_t>("2e0"), 2);
    EXPECT_EQ(decode<std::int8_t>("-128"), -128);
    EXPECT_EQ(decode<std::int64_t>("-9223372036854775808"), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(decode<std::uint64_t>("18446744073709551615"), std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(decode<std::int64_t>("9.007199254740993e15"), 9007199254740993);  // exact, not through double
    for (const char* text : {"2.5", "1e-1"}) EXPECT_EQ(decodingError<std::int32_t>(text).kind, Kind::dataCorrupted);
    EXPECT_EQ(decodingError<std::int8_t>("128").kind, Kind::dataCorrupted);
    EXPECT_EQ(decodingError<std::int32_t>("2147483648").kind, Kind::dataCorrupted);
    EXPECT_EQ(decodingError<std::int64_t>("9223372036854775808").kind, Kind::dataCorrupted);
    EXPECT_EQ(decodingError<std::uint32_t>("-1").kind, Kind::dataCorrupted);
    EXPECT_EQ(decodingError<std::uint64_t>("18446744073709551616").kind, Kind::dataCorrupted);
    EXPECT_EQ(decodingError<std::int64_t>("true").kind, Kind::typeMismatch);
    EXPECT_EQ(decodingError<std::int64_t>("\"2\"").kind, Kind::typeMismatch);
    EXPECT_EQ(encode(std::vector<std::int64_t>{std::numeric_limits<std::int64_t>::min(), 0}),
              "[-9223372036854775808,0]");
    EXPECT_EQ(encode(std::numeric_limits<std::uint64_t>::max()), "18446744073709551615");
}

TEST(Coding, FloatsAndDoublesUseTheShortestRoundTripText) {
    EXPECT_EQ(encode(0.1f), "0.1");
    EXPECT_EQ(encode(1.0), "1");
    EXPECT_EQ(encode(-0.0), "-0");
    EXPECT_EQ(encode(1e21), "1e+21");
    EXPECT_EQ(encode(std::vector<double>{0.3, 2.5e-8, 1.0 / 3}), "[0.3,2.5e-08,0.3333333333333333]");
    EXPECT_EQ(encode(3.4028235e38f), "3.4028235e+38");
    EXPECT_EQ(decode<double>("3"), 3.0);
    EXPECT_EQ(decode<float>("0.1"), 0.1f);
    EXPECT_EQ(decode<double>("1e-320"), 1e-320);
    EXPECT_EQ(decodingError<float>("1e39").kind, Kind::dataCorrupted);
    EXPECT_EQ(decodingError<double>("true").kind, Kind::typeMismatch);
    EXPECT_EQ(decode<Decimal>("0.1000000000000000000001").description(), "0.1000000000000000000001");
    EXPECT_EQ(encode(*Decimal::parse("-0.50")), "-0.5");
}

TEST(Coding, NonFiniteNumbersAreRefusedWithAnEncodingError) {
    Impression impression{"i", std::nullopt, std::numeric_limits<double>::infinity()};
    try {
        encode(std::vector<Impression>{Impression{"ok", std::nullopt, std::nullopt}, impression});
        FAIL() << "encoded a non-finite number";
    } catch (const EncodingError& error) {
        EXPECT_EQ(error.codingPath, (Path{"Index 1", "bidfloor"}));
        EXPECT_EQ(error.localizedDescription(),
                  "The data couldn\u2019t be written because it isn\u2019t in the correct format.");
    }
    EXPECT_THROW(encode(std::numeric_limits<float>::quiet_NaN()), EncodingError);
    EXPECT_THROW(encode(Decimal::nan()), EncodingError);
    EXPECT_THROW(encode(Any(Any::Array{std::nan("")})), EncodingError);
    EXPECT_THROW(encode(Loose{Any(Any::Dictionary{{"x", Decimal::nan()}})}), EncodingError);
    EXPECT_THROW(encode(std::string("\xff")), EncodingError);
    EXPECT_THROW(encode(static_cast<Gender>(42)), EncodingError);
}

TEST(Coding, BooleansAreStrict) {
    EXPECT_TRUE(decode<bool>("true"));
    for (const char* text : {"1", "0", "\"true\"", "1.0"})
        EXPECT_EQ(decodingError<bool>(text).kind, Kind::typeMismatch);
    EXPECT_EQ(encode(std::vector<bool>{true, false}), "[true,false]");
    EXPECT_EQ(decode<std::vector<bool>>("[false,true]"), (std::vector<bool>{false, true}));
}

TEST(Coding, EnumRawValuesAreCheckedAlsoInsideLists) {
    EXPECT_EQ(encode(std::vector<Gender>{Gender::male, Gender::other}), R"(["m","o"])");
    EXPECT_EQ(decode<Gender>("\"f\""), Gender::female);
    EXPECT_EQ(decode<Protocol>("3.0"), Protocol::vast3);
    EXPECT_EQ(decodingError<Gender>("\"x\"").kind, Kind::dataCorrupted);
    EXPECT_EQ(decodingError<Gender>("1").kind, Kind::typeMismatch);
    EXPECT_EQ(decodingError<Protocol>("\"2\"").kind, Kind::typeMismatch);
    const auto error = decodingError<Banner>(R"({"protocols":[2,7,3]})");
    EXPECT_EQ(error.kind, Kind::dataCorrupted);
    EXPECT_EQ(error.codingPath, (Path{"protocols", "Index 1"}));
}

TEST(Coding, TheFirstErrorFailsTheWholeDocumentWithItsPath) {
    const std::string text =
        R"({"id":"r","imp":[{"id":"a"},{"id":"b","banner":{"w":1.5,"protocols":[]}}],"secure":true,"ratio":1,)"
        R"("price":1,"counts":{"x":"y"}})";
    const auto error = decodingError<Request>(text);
    EXPECT_EQ(error.kind, Kind::dataCorrupted);
    EXPECT_EQ(error.codingPath, (Path{"imp", "Index 1", "banner", "w"}));
    EXPECT_STREQ(error.what(),
                 "dataCorrupted at imp.Index 1.banner.w: Parsed JSON number <1.5> does not fit in Int64.");
    EXPECT_EQ(error.localizedDescription(),
              "The data couldn\u2019t be read because it isn\u2019t in the correct format.");
    const auto missing = decodingError<Request>(R"({"id":"r","imp":[{"id":"a"},{}]})");
    EXPECT_EQ(missing.kind, Kind::keyNotFound);
    EXPECT_EQ(missing.codingPath, (Path{"imp", "Index 1", "id"}));
    EXPECT_EQ(missing.localizedDescription(), "The data couldn\u2019t be read because it is missing.");
    const auto mapError = decodingError<std::map<std::string, int>>(R"({"a":1,"b":"2"})");
    EXPECT_EQ(mapError.codingPath, Path{"b"});
}

// Impressions one at a time, as the list would hold them.
struct Impressions {
    std::vector<Impression> handed;
    bool present = false;
    static Impressions decode(const KeyedDecodingContainer& c) {
        Impressions i;
        i.present = c.decodeEachRecordIfPresent(
            "imp", [&i](const KeyedDecodingContainer& one) { i.handed.push_back(Impression::decode(one)); });
        return i;
    }
};

// Past kDeferredLength a document's long arrays are read only as they are decoded, one element at
// a time through decodeEachRecordIfPresent: every value and every failure is the one reading the whole
// document first gives.
TEST(Coding, ALongDocumentDecodesAsWhenReadWhole) {
    std::string list;
    for (int i = 0; i < 3000; ++i) {
        if (i > 0) list += ',';
        list += R"({"id":"i)" + std::to_string(i) + R"(","bidfloor":0.25})";
    }
    const auto document = [](const std::string& imp, const std::string& more = "") {
        return R"({"id":"r","imp":[)" + imp + R"(],"secure":true,"ratio":0.1,"price":1.25,"counts":{"a":1})" + more +
               "}";
    };
    const auto whole = [](const std::string& text) {
        return JSONDecoder().decode<Request>(JSONSerialization::jsonObject(text));
    };
    const auto wholeError = [&whole](const std::string& text) {
        try {
            (void)whole(text);
        } catch (const DecodingError& error) {
            return std::string(error.what());
        }
        return std::string("no error");
    };
    const std::string text = document(list);
    ASSERT_GE(text.size(), JSONDecoder::kDeferredLength);
    const Request read = decode<Request>(text);
    EXPECT_EQ(read.impressions.size(), 3000U);
    EXPECT_EQ(read, whole(text));
    const Impressions oneByOne = decode<Impressions>(text);
    EXPECT_TRUE(oneByOne.present);
    EXPECT_EQ(oneByOne.handed, read.impressions);
    const std::string pad(JSONDecoder::kDeferredLength, 'x');
    EXPECT_FALSE(decode<Impressions>(R"({"imp":null,"pad":")" + pad + R"("})").present);
    // Of equal keys the last wins, long or short.
    for (const auto& repeated :
         {document(list, R"(,"imp":[{"id":"short"}])"), document("", R"(,"imp":[)" + list + "]")}) {
        EXPECT_EQ(decode<Request>(repeated), whole(repeated));
    }

    std::string bad = list;
    bad.replace(bad.find(R"({"id":"i2500")"), 13, R"({"id":2500)");
    EXPECT_EQ(decodingError<Request>(document(bad)).what(), wholeError(document(bad)));
    EXPECT_STREQ(decodingError<Impressions>(document(bad)).what(),
                 "typeMismatch at imp.Index 2500.id: Expected to decode String but found a number instead.");
    const auto notText = decodingError<Request>(text + "x");
    EXPECT_EQ(notText.kind, Kind::dataCorrupted);
    EXPECT_TRUE(notText.codingPath.empty());
}

TEST(Coding, TopLevelValuesAndBadText) {
    EXPECT_EQ(decode<std::string>("\"a\\/b\""), "a/b");
    EXPECT_EQ((decode<std::map<std::string, std::vector<int>>>(R"({"a":[1],"b":[]})")),
              (std::map<std::string, std::vector<int>>{{"a", {1}}, {"b", {}}}));
    EXPECT_EQ(decode<Any>("[1,{\"a\":null}]"), Any(Any::Array{1, Any::Dictionary{{"a", Any()}}}));
    EXPECT_EQ(encode(std::string("http://x.io/a")), R"("http:\/\/x.io\/a")");
    JSONEncoder unescaped;
    unescaped.withoutEscapingSlashes = true;
    EXPECT_EQ(encode(std::string("a/b"), unescaped), R"("a/b")");
    for (const char* text : {"", "{", "[1,]", "{\"a\":1} x"}) {
        const auto error = decodingError<Any>(text);
        EXPECT_EQ(error.kind, Kind::dataCorrupted);
        EXPECT_TRUE(error.codingPath.empty());
    }
    // Text given as std::string or a literal reads as text, not as an untyped string value.
    EXPECT_EQ(JSONDecoder().decode<int>(std::string("5")), 5);
    EXPECT_EQ(JSONDecoder().decode<int>("6"), 6);
    // The same record through Data.
    const Data data = JSONEncoder().encode(Banner{1, 2, {}});
    EXPECT_EQ(JSONDecoder().decode<Banner>(data), (Banner{1, 2, {}}));
}

TEST(Coding, ValueCodingTypesCodeAsOneValue) {
    EXPECT_EQ(encode(Tag{"t"}), R"("#t")");
    EXPECT_EQ(decode<Tag>("\"#t\""), Tag{"t"});
    EXPECT_EQ(decodingError<Tag>("\"t\"").kind, Kind::dataCorrupted);
    EXPECT_EQ(decodingError<Tag>("null").kind, Kind::valueNotFound);  // no acceptsNull
    EXPECT_EQ(decode<Loose>("null"), Loose{Any()});                   // acceptsNull
    EXPECT_EQ(decode<std::vector<Loose>>("[null,1]"), (std::vector<Loose>{Loose{Any()}, Loose{Any(1)}}));
}

TEST(Coding, SnakeCaseKeysFollowThePlatformRules) {
    const std::vector<std::pair<std::string, std::string>> toSnake = {{"myURLValue", "my_url_value"},
                                                                      {"errorDescription", "error_description"},
                                                                      {"id", "id"},
                                                                      {"URL", "u_rl"},
                                                                      {"aBCd", "a_b_cd"},
                                                                      {"already_snake", "already_snake"},
                                                                      {"", ""},
                                                                      {"x1Y2", "x1_y2"}};
    for (const auto& [from, to] : toSnake) EXPECT_EQ(convertToSnakeCase(from), to) << from;

    const std::vector<std::pair<std::string, std::string>> fromSnake = {
        {"error_description", "errorDescription"},
        {"_leading_and_trailing__", "_leadingAndTrailing__"},
        {"error", "error"},
        {"ALL_CAPS", "allCaps"},
        {"a__b", "aB"},
        {"___", "___"},
        {"Mixed_case", "mixedCase"},
        {"errorDescription", "errorDescription"}};
    for (const auto& [from, to] : fromSnake) EXPECT_EQ(convertFromSnakeCase(from), to) << from;

    JSONDecoder decoder;
    decoder.keyDecodingStrategy = KeyDecodingStrategy::convertFromSnakeCase;
    auto error = decode<AuthError>(R"({"error":"x","error_description":"y"})", decoder);
    EXPECT_EQ(error.error, "x");
    EXPECT_EQ(error.errorDescription, "y");
    EXPECT_EQ(decode<AuthError>(R"({"error":"x","errorDescription":"z"})", decoder).errorDescription, "z");
    EXPECT_FALSE(decode<AuthError>(R"({"error":"x","error_description":null})", decoder).errorDescription);
    EXPECT_EQ(decodingError<AuthError>(R"({"error":5})", decoder).kind, Kind::typeMismatch);
    EXPECT_EQ(decodingError<AuthError>(R"({"message":"m"})", decoder).kind, Kind::keyNotFound);
    // Without the strategy the snake-case key is not matched.
    EXPECT_FALSE(decode<AuthError>(R"({"error":"x","error_description":"y"})").errorDescription);

    JSONEncoder encoder;
    encoder.keyEncodingStrategy = KeyEncodingStrategy::convertToSnakeCase;
    EXPECT_EQ(encode(Holder{7, {{"innerKey", 1}}}, encoder),
              R"({"kind":"holder","my_url_value":7,"some_map":{"innerKey":1}})");
}

TEST(Coding, SortedAndPrettyOutput) {
    JSONEncoder encoder;
    encoder.sortedKeys = true;
    EXPECT_EQ(encode(Banner{3, 4, {}}, encoder), R"({"h":4,"protocols":[],"w":3})");
    encoder.sortedKeys = false;
    encoder.prettyPrinted = true;
    EXPECT_EQ(encode(Banner{3, std::nullopt, {Protocol::vast2}}, encoder),
              "{\n  \"w\" : 3,\n  \"protocols\" : [\n    2\n  ]\n}");
}

TEST(Coding, ASharedDecoderAndEncoderServeManyThreads) {
    const JSONDecoder decoder;
    const JSONEncoder encoder;
    const Request expected = decode<Request>(kFullRequest);
    const std::string expectedText = encode(expected);
    std::vector<std::thread> threads;
    std::array<bool, 8> ok{};
    for (std::size_t t = 0; t < ok.size(); ++t) {
        threads.emplace_back([&, t] {
            bool allGood = true;
            for (int i = 0; i < 200; ++i) {
                const auto request = decoder.decode<Request>(std::string_view(kFullRequest));
                allGood = allGood && request == expected && encoder.encodeToString(request) == expectedText;
            }
            ok[t] = allGood;
        });
    }
    for (auto& thread : threads) thread.join();
    for (const bool result : ok) EXPECT_TRUE(result);
}

}  // namespace
}  // namespace qor::platform
