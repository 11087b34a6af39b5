// Compact text is written straight out while records are coded; the untyped road (a tree,
// then the text writer) stays the reference. Every case checks both against the exact bytes.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>

#include "Platform/Foundation/Coding/JSONText.h"
#include "Platform/Foundation/JSONEncoder.h"
#include "Platform/Foundation/JSONSerialization.h"

namespace qor::platform {
namespace {
enum class Size { small, large, unnamed };
enum class Level { low, high };
}  // namespace

template <>
struct EnumRawValues<Size> {
    static constexpr std::array cases{std::pair{Size::small, std::string_view("s/m")},
                                      std::pair{Size::large, std::string_view("l\"g")}};
};

template <>
struct EnumRawValues<Level> {
    static constexpr std::array cases{std::pair{Level::low, std::uint64_t{1}},
                                      std::pair{Level::high, std::numeric_limits<std::uint64_t>::max()}};
};

namespace {
struct Hash {
    std::string text;
};
}  // namespace

template <>
struct ValueCoding<Hash> {
    static Any encode(const Hash& hash) { return Any(Any::Dictionary{{"#", hash.text}}); }
    static Hash decode(const Any&, const CodingPath&) { return {}; }
};

namespace {

struct Inner {
    std::optional<std::int64_t> w;
    std::vector<std::string> tags;
    void encode(KeyedEncodingContainer& c) const {
        c.encodeIfPresent("w", w);
        c.encode("tags", tags);
    }
};

struct Outer {
    std::string id;
    std::optional<Inner> inner;
    std::vector<Inner> list;
    std::map<std::string, Any> extra;
    std::optional<double> ratio;
    void encode(KeyedEncodingContainer& c) const {
        c.encode("id", id);
        c.encodeIfPresent("inner", inner);
        c.encode("list", list);
        c.encode("extra", extra);
        c.encode("ratio", ratio);  // an empty optional given to encode is written as null
        c.encodeNil("none");
    }
};

struct Empty {
    void encode(KeyedEncodingContainer&) const {}
};

// Writes "a" twice: the untyped road keeps the first place with the last value.
struct Repeats {
    void encode(KeyedEncodingContainer& c) const {
        c.encode("a", 1);
        c.encode("b", true);
        c.encode("a", std::string("two"));
    }
};

// Keys that become one key in snake case.
struct SnakeTwins {
    void encode(KeyedEncodingContainer& c) const {
        c.encode("myURL", 1);
        c.encode("myUrl", 2);
        c.encode("someValue", 3);
    }
};

struct BadText {
    std::string first = "\xff";
    double later = 0;
    void encode(KeyedEncodingContainer& c) const {
        c.encode("first", first);
        c.encode("later", later);
    }
};

template <class T>
struct Holder {
    T value;
    void encode(KeyedEncodingContainer& c) const { c.encode("v", value); }
};

template <class T>
Holder<T> hold(T value) {
    return Holder<T>{std::move(value)};
}

// The text of the untyped road, with the same options as the encoder.
template <class T>
std::string treeText(const JSONEncoder& encoder, const T& value) {
    JSONWritingOptions options;
    options.fragmentsAllowed = true;
    options.withoutEscapingSlashes = encoder.withoutEscapingSlashes;
    return JSONSerialization::string(encoder.encodeToAny(value), options);
}

template <class T>
void expectText(const T& value, std::string_view expected, const JSONEncoder& encoder = {}) {
    EXPECT_EQ(encoder.encodeToString(value), expected);
    EXPECT_EQ(treeText(encoder, value), expected);
}

TEST(CodingText, ScalarsAreWrittenByteForByte) {
    expectText(hold(true), R"({"v":true})");
    expectText(hold(false), R"({"v":false})");
    expectText(hold(std::int8_t{-128}), R"({"v":-128})");
    expectText(hold(std::uint8_t{255}), R"({"v":255})");
    expectText(hold(std::numeric_limits<std::int64_t>::min()), R"({"v":-9223372036854775808})");
    expectText(hold(std::numeric_limits<std::uint64_t>::max()), R"({"v":18446744073709551615})");
    expectText(hold(1.0), R"({"v":1})");
    expectText(hold(-0.0), R"({"v":-0})");
    expectText(hold(0.1), R"({"v":0.1})");
    expectText(hold(2.5e-300), R"({"v":2.5e-300})");
    expectText(hold(9007199254740991.0), R"({"v":9007199254740991})");
    expectText(hold(0.1f), R"({"v":0.1})");
    expectText(hold(16777215.0f), R"({"v":16777215})");
    expectText(hold(*Decimal::parse("-12.340")), R"({"v":-12.34})");
    expectText(hold(std::string()), R"({"v":""})");
    expectText(hold(std::string("a/b\"c\\d")), R"({"v":"a\/b\"c\\d"})");
    expectText(hold(std::string("\b\f\n\r\t\x01\x1f ")), R"({"v":"\b\f\n\r\t\u0001\u001f "})");
    expectText(hold(std::string("caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80")),
               "{\"v\":\"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80\"}");
    expectText(hold(std::string_view("view/x")), R"({"v":"view\/x"})");
    expectText(hold(Size::small), R"({"v":"s\/m"})");
    expectText(hold(Size::large), R"({"v":"l\"g"})");
    expectText(hold(Level::high), R"({"v":18446744073709551615})");
    expectText(hold(Hash{"x/y"}), R"({"v":{"#":"x\/y"}})");
    expectText(hold(std::optional<int>()), R"({"v":null})");
    expectText(hold(Any()), R"({"v":null})");
}

// Escaping passes plain text over eight bytes at a time: every character that needs an escape
// (and every byte beyond ASCII) is tried at every place of texts around the word size, with and
// without slash escapes, against a byte-by-byte reference.
TEST(CodingText, EveryEscapeIsFoundAtEveryPlaceOfAWord) {
    const auto reference = [](std::string_view text, bool slashes) {
        std::string out = "\"";
        for (const char c : text) {
            const auto byte = static_cast<unsigned char>(c);
            const std::map<char, std::string> named{{'"', "\\\""}, {'\\', "\\\\"}, {'\b', "\\b"}, {'\f', "\\f"},
                                                    {'\n', "\\n"}, {'\r', "\\r"},  {'\t', "\\t"}};
            if (named.count(c)) {
                out += named.at(c);
            } else if (c == '/' && slashes) {
                out += "\\/";
            } else if (byte < 0x20) {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\u%04x", byte);
                out += hex;
            } else {
                out += c;
            }
        }
        return out + "\"";
    };
    const std::vector<std::string> specials{"\"",   "\\", "/", "\x01",     "\x1f",         "\n",
                                            "\x7f", " ",  "!", "\xc3\xa9", "\xe2\x82\xac", "\xf0\x9f\x98\x80"};
    for (const bool slashes : {true, false}) {
        for (std::size_t length = 0; length <= 19; ++length) {
            for (const auto& special : specials) {
                for (std::size_t at = 0; at <= length; ++at) {
                    std::string text(length, 'a');
                    text.insert(at, special);
                    std::string out;
                    ASSERT_TRUE(coding::appendJSONString(text, slashes, out));
                    ASSERT_EQ(out, reference(text, slashes)) << "length " << length << " at " << at;
                }
            }
        }
    }
    std::string out;
    EXPECT_FALSE(coding::appendJSONString(std::string(9, 'a') + "\xc3", true, out));
}

TEST(CodingText, ContainersAndRecordsNestInOrder) {
    expectText(Empty{}, "{}");
    expectText(hold(std::vector<int>{}), R"({"v":[]})");
    expectText(hold(std::vector<bool>{true, false}), R"({"v":[true,false]})");
    expectText(hold(std::vector<std::vector<int>>{{1, 2}, {}, {3}}), R"({"v":[[1,2],[],[3]]})");
    expectText(hold(std::map<std::string, int>{}), R"({"v":{}})");
    expectText(hold(std::map<std::string, int>{{"b/", 2}, {"a", 1}}), R"({"v":{"a":1,"b\/":2}})");
    expectText(hold(std::vector<std::optional<Size>>{Size::small, std::nullopt}), R"({"v":["s\/m",null]})");

    Outer outer;
    outer.id = "x";
    outer.inner = Inner{3, {"a", "b"}};
    outer.list = {Inner{std::nullopt, {}}, Inner{-1, {"/"}}};
    outer.extra = {{"k", Any(Any::Dictionary{{"z", 1}, {"a", Any::Array{0.5, "s/", Any(), false}}})}};
    expectText(outer, R"({"id":"x","inner":{"w":3,"tags":["a","b"]},"list":[{"tags":[]},{"w":-1,"tags":["\/"]}],)"
                      R"("extra":{"k":{"z":1,"a":[0.5,"s\/",null,false]}},"ratio":null,"none":null})");
    outer.ratio = 0.25;
    outer.inner.reset();
    outer.list.clear();
    outer.extra.clear();
    expectText(outer, R"({"id":"x","list":[],"extra":{},"ratio":0.25,"none":null})");

    expectText(std::vector<Empty>{{}, {}}, "[{},{}]");
    expectText(std::string("top/level"), R"("top\/level")");
    expectText(42, "42");
}

TEST(CodingText, OptionsAndRepeatedKeysFollowTheUntypedRoad) {
    JSONEncoder slashes;
    slashes.withoutEscapingSlashes = true;
    expectText(hold(std::string("a/b")), R"({"v":"a/b"})", slashes);
    expectText(hold(Any(Any::Dictionary{{"u/", "h://x"}})), R"({"v":{"u/":"h://x"}})", slashes);

    expectText(Repeats{}, R"({"a":"two","b":true})");

    JSONEncoder snake;
    snake.keyEncodingStrategy = KeyEncodingStrategy::convertToSnakeCase;
    expectText(SnakeTwins{}, R"({"my_url":2,"some_value":3})", snake);
    expectText(hold(std::map<std::string, int>{{"keepMe", 1}}), R"({"v":{"keepMe":1}})", snake);
}

TEST(CodingText, ErrorsAreTheUntypedRoadsErrors) {
    struct Case {
        std::function<std::string(const JSONEncoder&)> encode;
        std::vector<std::string> path;
        std::string description;
    };
    const std::vector<Case> cases{
        {[](const JSONEncoder& e) { return e.encodeToString(BadText{}); },
         {},
         "a string that is not valid UTF-8 cannot be written as JSON"},
        // A non-finite number later in the record is found first: the tree is built before it is written.
        {[](const JSONEncoder& e) {
             return e.encodeToString(BadText{"\xff", NAN});
         },
         {"later"},
         "Unable to encode Double.nan directly in JSON."},
        {[](const JSONEncoder& e) {
             return e.encodeToString(hold(std::map<std::string, int>{{"\xc3", 1}}));
         },
         {},
         "a string that is not valid UTF-8 cannot be written as JSON"},
        {[](const JSONEncoder& e) {
             return e.encodeToString(hold(std::vector<float>{1, INFINITY}));
         },
         {"v", "Index 1"},
         "Unable to encode Float.infinity directly in JSON."},
        {[](const JSONEncoder& e) { return e.encodeToString(hold(Size::unnamed)); },
         {"v"},
         "Enum value 2 has no raw value."},
        {[](const JSONEncoder& e) {
             return e.encodeToString(hold(Any(Any::Array{1, std::nan("")})));
         },
         {"v"},
         "a non-finite number cannot be written as JSON"},
        {[](const JSONEncoder& e) { return e.encodeToString(hold(Decimal::nan())); },
         {"v"},
         "Unable to encode Decimal.nan directly in JSON."},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(i);
        for (const bool sorted : {false, true}) {
            JSONEncoder encoder;
            encoder.sortedKeys = sorted;  // sorted text goes the untyped road
            try {
                cases[i].encode(encoder);
                ADD_FAILURE() << "no error";
            } catch (const EncodingError& error) {
                EXPECT_EQ(error.codingPath, cases[i].path);
                EXPECT_EQ(error.debugDescription, cases[i].description);
            }
        }
    }
}

}  // namespace
}  // namespace qor::platform
