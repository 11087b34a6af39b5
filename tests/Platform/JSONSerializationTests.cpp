#include "Platform/Foundation/JSONSerialization.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>
#include <vector>

namespace qor::platform {
namespace {

Any read(std::string_view text, bool fragments = false) {
    return JSONSerialization::jsonObject(text, {.fragmentsAllowed = fragments});
}

std::string write(const Any& value, JSONWritingOptions options = {}) {
    return JSONSerialization::string(value, options);
}

TEST(AnyValue, KeepsBooleansIntegersAndFractionsApart) {
    const Any value = read(R"([true, 1, 1.0, 1e0, -7, 18446744073709551615, 123456789012345678901234567890, null])");
    const auto& array = value.asArray();
    EXPECT_TRUE(array[0].isBool());
    EXPECT_FALSE(array[0].isNumber());
    EXPECT_TRUE(array[1].isInteger());
    EXPECT_TRUE(array[2].isDouble());
    EXPECT_TRUE(array[3].isDouble());
    EXPECT_EQ(array[4].asInt64(), -7);
    EXPECT_EQ(array[5].kind(), Any::Kind::unsignedInteger);
    EXPECT_EQ(array[5].asUInt64(), std::numeric_limits<std::uint64_t>::max());
    EXPECT_FALSE(array[5].tryInt64().has_value());
    EXPECT_EQ(array[6].asDecimal().description(), "123456789012345678901234567890");
    EXPECT_TRUE(array[7].isNull());

    // Equality: numbers by value across kinds, never equal to booleans.
    EXPECT_EQ(array[1], array[2]);
    EXPECT_EQ(Any(1), Any(Decimal(1)));
    EXPECT_NE(array[0], array[1]);
    EXPECT_NE(Any(false), Any(0));
    EXPECT_NE(Any(), Any(0));
    EXPECT_EQ(Any(Any::Dictionary{{"a", 1}, {"b", 2}}), Any(Any::Dictionary{{"b", 2}, {"a", 1}}));
    EXPECT_NE(Any(Any::Array{1, 2}), Any(Any::Array{2, 1}));

    std::ostringstream printed;
    printed << Any(Any::Dictionary{{"a/", Any::Array{1.5, std::nan(""), Any()}}});
    EXPECT_EQ(printed.str(), R"({"a\/":[1.5,nan,null]})");

    EXPECT_THROW((void)Any("x").asInt64(), AnyTypeError);
    EXPECT_THROW((void)Any(true).asDouble(), AnyTypeError);
    EXPECT_FALSE(Any(2.5).tryInt64().has_value());
    EXPECT_EQ(Any(2.0).tryInt64(), 2);
}

TEST(AnyValue, CopiesAreDeepAndDictionariesKeepOrder) {
    Any original(Any::Dictionary{{"z", 1}, {"a", Any::Array{"x"}}});
    Any copy = original;
    copy.asDictionary()["a"].asArray().push_back(2);
    copy.asDictionary().set("m", "new");
    EXPECT_EQ(original.asDictionary().at("a").asArray().size(), 1u);
    EXPECT_EQ(write(copy), R"({"z":1,"a":["x",2],"m":"new"})");
    copy.asDictionary().set("z", 3);  // replacing keeps the place
    EXPECT_EQ(write(copy), R"({"z":3,"a":["x",2],"m":"new"})");
    EXPECT_TRUE(copy.asDictionary().erase("a"));
    EXPECT_FALSE(copy.asDictionary().erase("a"));
    EXPECT_EQ(write(copy), R"({"z":3,"m":"new"})");

    // Large dictionaries switch to hashed lookup; order and lookups must survive it.
    Any::Dictionary large;
    for (int i = 0; i < 100; ++i) large.set("k" + std::to_string(i), i);
    EXPECT_TRUE(large.erase("k10"));
    large.set("k5", -5);
    EXPECT_EQ(large.size(), 99u);
    EXPECT_EQ(large.at("k99").asInt64(), 99);
    EXPECT_EQ(large.at("k5").asInt64(), -5);
    EXPECT_FALSE(large.contains("k10"));
    EXPECT_EQ(large.begin()->first, "k0");
}

TEST(JSONSerialization, RoundTripsNestedValuesWithUnicode) {
    const std::string text =
        R"({"name":"caf\u00e9 \ud83d\ude00","list":[1,-2.5,true,false,null,{"deep":[[]]}],"empty":{},"big":9007199254740993})";
    const Any value = read(text);
    EXPECT_EQ(value.asDictionary().at("name").asString(), "caf\xc3\xa9 \xf0\x9f\x98\x80");
    EXPECT_EQ(write(value),
              R"({"name":"café 😀","list":[1,-2.5,true,false,null,{"deep":[[]]}],"empty":{},"big":9007199254740993})");
    EXPECT_EQ(read(write(value)), value);
    // Duplicate keys: the last value wins.
    EXPECT_EQ(write(read(R"({"a":1,"b":2,"a":3})")), R"({"a":3,"b":2})");
}

TEST(JSONSerialization, EscapesSlashesAndControlCharacters) {
    const Any value(Any::Array{"a/b\"c\\d\n\r\t\b\f\x01\x1f\x7f"});
    EXPECT_EQ(write(value), "[\"a\\/b\\\"c\\\\d\\n\\r\\t\\b\\f\\u0001\\u001f\x7f\"]");
    EXPECT_EQ(write(value, {.withoutEscapingSlashes = true}).substr(0, 6), "[\"a/b\\");
    EXPECT_EQ(read(write(value)), value);
}

TEST(JSONSerialization, WritesNumbersInTheirShortestForm) {
    const Any value(Any::Array{1.0, -0.0, 0.1, 0.1f, 1e21, 1.5e-7, 123456789.0, 9007199254740992.0, 16777216.0f,
                               std::int64_t{-3}, Decimal::parse("-0.000120").value()});
    EXPECT_EQ(write(value), "[1,-0,0.1,0.1,1e+21,1.5e-07,123456789,9007199254740992,16777216,-3,-0.00012]");
    // Text read with more digits than a double holds is written back as read.
    EXPECT_EQ(write(read("[0.1000000000000000000001, 1E2, 2.50]")), "[0.1000000000000000000001,100,2.5]");
}

// Integral doubles past 2^53: their shortest digits are not their value, and a reader that keeps
// integers exact would take the digits for a different number. Each must read back as exactly
// the number written, whatever kind the reader gives it.
TEST(JSONSerialization, LargeIntegralDoublesReadBackAsExactlyTheSameNumber) {
    const std::vector<double> values{9007199254740992.0,     9007199254740994.0,
                                     92233720368547100.0,    -92233720368547100.0,
                                     4611686018427388928.0,  9223372036854775808.0,
                                     18446744073709551616.0, 1e20,
                                     1.7976931348623157e308, -1e300,
                                     123456789012345680000.0};
    for (const double value : values) {
        const std::string text = write(Any(Any::Array{value}));
        const Any back = read(text).asArray().at(0);
        if (back.isDouble()) {
            EXPECT_EQ(back.asDouble(), value) << text;
        } else if (back.kind() == Any::Kind::integer) {
            EXPECT_EQ(back.asInt64(), static_cast<std::int64_t>(value)) << text << " is not " << value;
        } else if (back.kind() == Any::Kind::unsignedInteger) {
            EXPECT_EQ(back.asUInt64(), static_cast<std::uint64_t>(value)) << text << " is not " << value;
        } else {
            ADD_FAILURE() << text << " read back as kind " << static_cast<int>(back.kind());
        }
    }
    EXPECT_EQ(write(Any(Any::Array{92233720368547100.0, 1e300, 2.5e-300})), "[92233720368547104,1e+300,2.5e-300]");
    EXPECT_EQ(write(Any(Any::Array{3e9f, 33554436.0f})), "[3e+09,33554436]");
}

TEST(JSONSerialization, SortsKeysAndPrettyPrintsOnRequest) {
    const Any value(Any::Dictionary{{"b", Any::Array{1, 2}}, {"a", Any::Dictionary{}}, {"c", Any::Array{}}});
    EXPECT_EQ(write(value, {.sortedKeys = true}), R"({"a":{},"b":[1,2],"c":[]})");
    EXPECT_EQ(write(value, {.prettyPrinted = true}),
              "{\n  \"b\" : [\n    1,\n    2\n  ],\n  \"a\" : {},\n  \"c\" : []\n}");
}

TEST(JSONSerialization, RefusesTopLevelScalarsUnlessFragmentsAreAllowed) {
    EXPECT_THROW(read("\"text\""), JSONSerializationError);
    EXPECT_THROW(read("12"), JSONSerializationError);
    EXPECT_EQ(read("\"text\"", true).asString(), "text");
    EXPECT_TRUE(read(" null ", true).isNull());
    EXPECT_THROW(write(Any(5)), JSONSerializationError);
    EXPECT_EQ(write(Any(5), {.fragmentsAllowed = true}), "5");
    EXPECT_FALSE(JSONSerialization::isValidJSONObject(Any("x")));
    EXPECT_TRUE(JSONSerialization::isValidJSONObject(Any(Any::Array{})));
}

TEST(JSONSerialization, RefusesBadTextWithAnError) {
    for (const char* text : {"", "{", "[1,]", "{\"a\" 1}", "[1] x", "[01]", "[NaN]", "[1e400]", "{'a':1}", "[\"\xff\"]",
                             "[\"a\x01\"]", "[\"\\ud800\"]", "[tru]"}) {
        EXPECT_THROW(read(text), JSONSerializationError) << text;
    }
    try {
        read("[1,");
        FAIL();
    } catch (const JSONSerializationError& error) {
        EXPECT_EQ(error.kind, JSONSerializationError::Kind::invalidText);
        EXPECT_EQ(error.localizedDescription(),
                  "The data couldn\u2019t be read because it isn\u2019t in the correct format.");
    }
    // Nesting is bounded, so hostile input cannot exhaust the stack.
    const std::string deep = std::string(600, '[') + std::string(600, ']');
    EXPECT_THROW(read(deep), JSONSerializationError);
    const std::string fine = std::string(500, '[') + std::string(500, ']');
    EXPECT_NO_THROW(read(fine));
}

TEST(JSONSerialization, RefusesValuesThatAreNotJSONWithAnError) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double infinity = std::numeric_limits<double>::infinity();
    for (const Any& bad : {Any(nan), Any(infinity), Any(-infinity), Any(static_cast<float>(nan)), Any(Decimal::nan()),
                           Any(std::string("\xc3")), Any(std::string("\xed\xa0\x80"))}) {
        const Any nested(Any::Dictionary{{"ok", 1}, {"bad", Any::Array{bad}}});
        EXPECT_THROW(write(nested), JSONSerializationError);
        EXPECT_FALSE(JSONSerialization::isValidJSONObject(nested));
    }
    Any::Dictionary badKey;
    badKey.set(std::string("\xff"), 1);
    EXPECT_THROW(write(Any(badKey)), JSONSerializationError);
}

}  // namespace
}  // namespace qor::platform
