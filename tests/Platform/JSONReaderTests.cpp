// The quick reader must give exactly what the full parser gives for well-formed text, and hand
// everything else to the full parser. A leading byte-order mark sends text the full road, which
// makes the full parser's answer for the same text available as the reference.
#include <gtest/gtest.h>

#include <charconv>
#include <string>

#include "Platform/Foundation/Coding/JSONReader.h"
#include "Platform/Foundation/Coding/JSONText.h"
#include "Platform/Foundation/JSONSerialization.h"

namespace qor::platform {
namespace {

// Every kind, every exact decimal and every key order shows.
std::string shape(const Any& value) {
    switch (value.kind()) {
        case Any::Kind::null:
            return "n";
        case Any::Kind::boolean:
            return value.asBool() ? "t" : "f";
        case Any::Kind::integer:
            return "i" + std::to_string(value.asInt64());
        case Any::Kind::unsignedInteger:
            return "u" + std::to_string(value.asUInt64());
        case Any::Kind::floating: {
            char buffer[64];
            const auto end = std::to_chars(buffer, buffer + sizeof buffer, value.asDouble()).ptr;
            std::string text = "d" + std::string(buffer, end);
            const auto* exact = value.exactDecimal();
            if (exact != nullptr && exact->has_value()) text += "~" + (*exact)->description();
            return text;
        }
        case Any::Kind::decimal:
            return "m" + value.asDecimal().description();
        case Any::Kind::string: {
            std::string text = "s";
            coding::appendJSONString(value.asString(), false, text);
            return text;
        }
        case Any::Kind::array: {
            std::string text = "[";
            for (const Any& element : value.asArray()) text += shape(element) + ",";
            return text + "]";
        }
        case Any::Kind::dictionary: {
            std::string text = "{";
            for (const auto& [key, element] : value.asDictionary()) text += key + ":" + shape(element) + ",";
            return text + "}";
        }
    }
    return "?";
}

const std::string kBOM = "\xEF\xBB\xBF";

std::string fullRoad(const std::string& text) {
    return shape(JSONSerialization::jsonObject(kBOM + text, {.fragmentsAllowed = true}));
}

TEST(JSONReader, WellFormedTextReadsAsTheFullParserReadsIt) {
    struct Case {
        std::string text;
        std::string shape;
    };
    const std::vector<Case> cases{
        {R"({"a":1,"b":-1,"c":9223372036854775807,"d":9223372036854775808,"e":18446744073709551615})",
         "{a:i1,b:i-1,c:i9223372036854775807,d:u9223372036854775808,e:u18446744073709551615,}"},
        {"-9223372036854775808", "i-9223372036854775808"},
        {"-0", "i0"},
        {"0", "i0"},
        {"[0.5,1e2,1E-2,-1.5e+3,0.1000]", "[d0.5~0.5,d100~100,d0.01~0.01,d-1500~-1500,d0.1~0.1,]"},
        {"3.141592653589793238462643383279502884197", "d3.141592653589793~3.1415926535897932384626433832795028842"},
        {R"("a\/b\"c\\d\b\f\n\r\t")", R"(s"a/b\"c\\d\b\f\n\r\t")"},
        {R"("\u00e9\u20AC\ud83d\ude00\u0000x")", "s\"\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80\\u0000x\""},
        {"\"caf\xc3\xa9 \xf0\x9f\x98\x80\"", "s\"caf\xc3\xa9 \xf0\x9f\x98\x80\""},
        {R"({"a":1,"b":2,"a":{"c":[]}})", "{a:{c:[],},b:i2,}"},
        {" \t\n\r[ 1 , { } , [ ] ,\"\" , true , false , null ]\n ", "[i1,{},[],s\"\",t,f,n,]"},
        {R"({"k":{"k":{"k":[[["deep"]]]}}})", "{k:{k:{k:[[[s\"deep\",],],],},},}"},
        {"{}", "{}"},
        {"[]", "[]"},
        {"true", "t"},
    };
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(text);
        const auto quick = coding::readWellFormedJSON(text, JSONSerialization::maxDepth);
        ASSERT_TRUE(quick.has_value());
        EXPECT_EQ(shape(*quick), expected);
        EXPECT_EQ(fullRoad(text), expected);
        EXPECT_EQ(shape(JSONSerialization::jsonObject(text, {.fragmentsAllowed = true})), expected);
    }
}

TEST(JSONReader, EverythingElseIsLeftToTheFullParser) {
    const std::vector<std::string> texts{
        "",
        " ",
        kBOM + "{}",
        "18446744073709551616",
        "-9223372036854775809",
        "1e400",
        "1e-400",
        "{\"a\":1,}",
        "[1,]",
        "[01]",
        "[-]",
        "[1.]",
        "[.5]",
        "[1e]",
        "+1",
        R"("\ud800")",
        R"("\ud800\u0041")",
        R"("\udc00")",
        R"("\x")",
        R"("\u12G4")",
        "\"a\x01\"",
        "\"\xff\"",
        "\"\xc3\"",
        "\"\xed\xa0\x80\"",
        "\"open",
        "tru",
        "nul",
        "[1] x",
        "{\"a\" 1}",
        "{1:2}",
        "[1 2]",
        "/* no */ 1",
    };
    for (const auto& text : texts) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(coding::readWellFormedJSON(text, JSONSerialization::maxDepth).has_value());
    }
}

TEST(JSONReader, NestingUpToTheLimitIsRead) {
    const int limit = JSONSerialization::maxDepth;
    const std::string deepest = std::string(static_cast<std::size_t>(limit), '[') + std::string(limit, ']');
    EXPECT_TRUE(coding::readWellFormedJSON(deepest, limit).has_value());
    EXPECT_NO_THROW(JSONSerialization::jsonObject(deepest));
    const std::string tooDeep = "[" + deepest + "]";
    EXPECT_FALSE(coding::readWellFormedJSON(tooDeep, limit).has_value());
    EXPECT_THROW(JSONSerialization::jsonObject(tooDeep), JSONSerializationError);
}

}  // namespace
}  // namespace qor::platform
