#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <mutex>

#include "Core/JSON.h"

namespace qor {
namespace {

using platform::Any;
using platform::AnyDictionary;
using platform::Decimal;

JSON parse(std::string_view text) { return platform::JSONDecoder().decode<JSON>(text); }

struct Point {
    std::int64_t x = 0;
    std::int64_t y = 0;
    void encode(platform::KeyedEncodingContainer& c) const {
        c.encode("x", x);
        c.encode("y", y);
    }
    static Point decode(const platform::KeyedDecodingContainer& c) {
        return Point{c.decode<std::int64_t>("x"), c.decode<std::int64_t>("y")};
    }
};

// Records what the shared analytics instance would log.
class RecordingDispatcher : public LogDispatcher {
public:
    void dispatchLog(const std::string& message, LogFilterKind kind, const std::string& function, int line) override {
        std::lock_guard<std::mutex> guard(mutex);
        entries.push_back({message, kind, function, line});
    }
    struct Entry {
        std::string message;
        LogFilterKind kind;
        std::string function;
        int line;
    };
    std::mutex mutex;
    std::vector<Entry> entries;
};

TEST(JSONConversion, BooleansStayBooleansAndNumbersStayNumbers) {
    EXPECT_EQ(JSON::fromAny(Any(true)), JSON(true));
    EXPECT_EQ(JSON::fromAny(Any(1)).kind(), JSON::Kind::number);
    EXPECT_EQ(JSON::fromAny(Any(0)).kind(), JSON::Kind::number);
    EXPECT_NE(JSON::fromAny(Any(true)), JSON(1));
    EXPECT_EQ(JSON::fromAny(Any()), JSON());
    EXPECT_EQ(JSON::fromAny(Any(2.5)).decimalValue(), Decimal::parse("2.5"));
    // Unsigned values beyond the signed range keep their value.
    EXPECT_EQ(JSON::fromAny(Any(std::numeric_limits<std::uint64_t>::max())).uintValue(),
              std::numeric_limits<std::uint64_t>::max());

    AnyDictionary nested{{"list", Any(Any::Array{Any(1), Any("x"), Any(false), Any()})},
                         {"inner", Any(AnyDictionary{{"k", Any(0.5)}})}};
    const JSON converted = JSON::fromAny(nested);
    EXPECT_EQ(converted, JSON(JSON::Object{{"list", JSON(JSON::Array{1, "x", false, nullptr})},
                                           {"inner", JSON(JSON::Object{{"k", 0.5}})}}));
    // Back to plain values and again gives an equal value.
    EXPECT_EQ(JSON::fromAny(converted.toAny()), converted);
}

TEST(JSONConversion, ValuesThatCannotBeWrittenAreRefusedWithTheInnermostDescription) {
    const auto expectNonJSON = [](const Any& value, const std::string& description) {
        try {
            (void)JSON::fromAny(value);
            ADD_FAILURE() << "converted " << description;
        } catch (const JSON::JSONError& error) {
            EXPECT_EQ(error.code, JSON::JSONError::Code::nonJSONType);
            EXPECT_EQ(error.type, description);
        }
    };
    expectNonJSON(Any(std::nan("")), "nan");
    expectNonJSON(Any(std::numeric_limits<double>::infinity()), "inf");
    expectNonJSON(Any(Any::Array{Any(1), Any("ok"), Any(-std::numeric_limits<double>::infinity())}), "-inf");
    expectNonJSON(Any(AnyDictionary{{"a", Any(AnyDictionary{{"b", Any(std::nan(""))}})}}), "nan");
    expectNonJSON(Any(std::string("\xff\xfe")), "\xff\xfe");
    EXPECT_THROW(JSON{std::numeric_limits<double>::quiet_NaN()}, JSON::JSONError);
    EXPECT_THROW(JSON{Decimal::nan()}, JSON::JSONError);
}

TEST(JSONConversion, EncodableValuesGoThroughTextAndBareScalarsFail) {
    EXPECT_EQ(JSON::with(Point{3, 4}), JSON(JSON::Object{{"x", 3}, {"y", 4}}));
    EXPECT_EQ(JSON::with(std::vector<std::string>{"a", "b"}), JSON(JSON::Array{"a", "b"}));
    EXPECT_THROW(JSON::with(std::string("bare")), platform::JSONSerializationError);
    EXPECT_THROW(JSON::with(std::int64_t{5}), platform::JSONSerializationError);
    EXPECT_THROW(JSON::with(std::vector<double>{std::nan("")}), platform::EncodingError);
}

TEST(JSONCoding, DecodesEveryCaseAndKeepsZeroAndOneAsNumbers) {
    const JSON value = parse(R"({"t":true,"z":0,"o":1,"f":-1.25,"s":"a\/b","n":null,"l":[1,[2]],"e":{}})");
    EXPECT_EQ(value["t"], JSON(true));
    EXPECT_EQ(value["z"]->kind(), JSON::Kind::number);
    EXPECT_EQ(value["o"]->kind(), JSON::Kind::number);
    EXPECT_EQ(value["f"]->doubleValue(), -1.25);
    EXPECT_EQ(value["s"], JSON("a/b"));
    EXPECT_EQ(value["n"], JSON());
    EXPECT_EQ(value["l"], JSON(JSON::Array{1, JSON(JSON::Array{2})}));
    EXPECT_EQ(value["e"], JSON(JSON::Object{}));
    EXPECT_EQ(parse("null"), JSON());
    EXPECT_EQ(parse("7"), JSON(7));
    // A number beyond the decimal range is no JSON value of ours.
    try {
        (void)parse("[1e200]");
        ADD_FAILURE();
    } catch (const platform::DecodingError& error) {
        EXPECT_EQ(error.kind, platform::DecodingError::Kind::dataCorrupted);
        EXPECT_EQ(error.debugDescription, "Invalid JSON value!");
    }
}

TEST(JSONCoding, EncodesInMemberOrderWithEscapedSlashesAndExactDecimals) {
    const JSON value(JSON::Object{{"z", "a/b"}, {"a", JSON(JSON::Array{true, nullptr, 0.1, 10})}, {"m", JSON()}});
    EXPECT_EQ(toString(value), R"({"z":"a\/b","a":[true,null,0.1,10],"m":null})");
    EXPECT_EQ(toString(JSON("x")), R"("x")");
    EXPECT_EQ(parse(toString(value)), value);
    const std::string pretty = prettyPrint(value);
    std::string squeezed;
    bool inString = false;
    for (char c : pretty) {
        if (c == '"') inString = !inString;
        if (inString || (c != ' ' && c != '\n')) squeezed += c;
    }
    EXPECT_EQ(squeezed, toString(value));
    EXPECT_NE(pretty, toString(value));
}

TEST(JSONCoding, ToStringGivesTheErrorTextInsteadOfFailing) {
    const std::string text = toString(std::vector<double>{std::numeric_limits<double>::infinity()});
    EXPECT_FALSE(text.empty());
    EXPECT_NE(text.front(), '[');
}

TEST(JSONAccessors, AnswerOnlyForTheirOwnCase) {
    const JSON number(Decimal::parse("-7.9").value());
    EXPECT_EQ(number.intValue(), -7);
    EXPECT_EQ(number.uintValue(), 0u);
    EXPECT_FLOAT_EQ(*number.floatValue(), -7.9f);
    EXPECT_DOUBLE_EQ(*number.doubleValue(), -7.9);
    EXPECT_FALSE(number.boolValue());
    EXPECT_FALSE(number.stringValue());
    EXPECT_FALSE(JSON(true).intValue());
    EXPECT_FALSE(JSON(1).boolValue());
    EXPECT_FALSE(JSON(5).stringValue());
    EXPECT_FALSE(JSON("5").decimalValue());

    const JSON list(JSON::Array{"a", 2});
    EXPECT_EQ(list[1], JSON(2));
    EXPECT_FALSE(list[2]);
    EXPECT_FALSE(list[-1]);
    EXPECT_FALSE(list["a"]);
    EXPECT_EQ(list.arrayValue(), (Any::Array{Any("a"), Any(Decimal(2))}));
    EXPECT_FALSE(list.dictionaryValue());

    const JSON object(JSON::Object{{"k", JSON(JSON::Object{{"x", 1}})}});
    EXPECT_EQ(object.dictionaryValue()->at("k").asDictionary().at("x").asDecimal(), Decimal(1));
    EXPECT_FALSE(object[0]);
    EXPECT_FALSE(object["missing"]);
}

TEST(JSONAccessors, CodableValueDecodesObjectsOnly) {
    EXPECT_EQ(JSON(JSON::Object{{"x", 1}, {"y", 2}}).codableValue<Point>()->y, 2);
    EXPECT_FALSE(JSON(JSON::Object{{"x", "one"}}).codableValue<Point>());
    EXPECT_FALSE(JSON(JSON::Array{1, 2}).codableValue<std::vector<int>>());
}

TEST(JSONChanges, AddAndRemoveReturnNewValuesAndCheckTheCase) {
    const JSON list(JSON::Array{"x"});
    EXPECT_EQ(list.add(Any(3)), JSON(JSON::Array{"x", 3}));
    EXPECT_EQ(list, JSON(JSON::Array{"x"}));
    const JSON object(JSON::Object{{"a", 1}, {"b", 2}});
    EXPECT_EQ(object.add(Any("new"), "a"), JSON(JSON::Object{{"a", "new"}, {"b", 2}}));
    EXPECT_EQ(object.remove("a"), JSON(JSON::Object{{"b", 2}}));
    EXPECT_EQ(object.remove("zzz"), object);

    const auto expectIncorrect = [](const auto& change) {
        try {
            change();
            ADD_FAILURE();
        } catch (const JSON::JSONError& error) {
            EXPECT_EQ(error.code, JSON::JSONError::Code::incorrectType);
        }
    };
    expectIncorrect([&] { (void)object.add(Any(1)); });
    expectIncorrect([&] { (void)list.add(Any(1), "k"); });
    expectIncorrect([&] { (void)list.remove("k"); });
    EXPECT_THROW((void)list.add(Any(std::nan(""))), JSON::JSONError);
}

TEST(JSONChanges, MapTransformRenamesKeysAtEveryDepthAndTransformsLeaves) {
    const JSON value = parse(R"({"a":{"a":1},"c":[{"a":2},[{"a":3}]]})");
    EXPECT_EQ(value.mapTransform({{"a", "b"}}), parse(R"({"b":{"b":1},"c":[{"b":2},[{"a":3}]]})"));

    std::vector<std::pair<std::string, Any>> seen;
    const JSON leaves = parse(R"({"k":"v","l":["x"],"d":{"m":1}})");
    const JSON transformed = leaves.mapTransform({{"m", "n"}}, [&](const std::string& key, const Any& leaf) {
        seen.emplace_back(key, leaf);
        if (leaf.isString()) return Any(leaf.asString() + "!");
        return leaf;
    });
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].first, "k");
    EXPECT_EQ(seen[1].first, "l");
    EXPECT_TRUE(seen[1].second.isArray());
    EXPECT_EQ(seen[2].first, "n");
    EXPECT_EQ(transformed, parse(R"({"k":"v!","l":["x"],"d":{"n":1}})"));

    for (const JSON& other : {JSON(JSON::Array{1}), JSON("s"), JSON()}) {
        EXPECT_EQ(other.mapTransform({{"a", "b"}}), other);
    }
    EXPECT_THROW(leaves.mapTransform({}, [](const std::string&, const Any&) { return Any(std::nan("")); }),
                 JSON::JSONError);
}

TEST(JSONKeyPaths, ReadsTypedValuesAndDecodesDictionaries) {
    const JSON value = parse(R"({"a":{"b":"x"},"p":{"x":1,"y":2},"n":5,"l":[1,2]})");
    EXPECT_EQ(value.value<std::string>("a.b"), "x");
    EXPECT_EQ(value.value<Point>("p")->x, 1);
    EXPECT_EQ(value.value<JSON>("p"), parse(R"({"x":1,"y":2})"));
    EXPECT_EQ(value.value<int>("n"), 5);
    EXPECT_EQ(value.value<std::vector<int>>("l"), (std::vector<int>{1, 2}));
    EXPECT_FALSE(value.value<JSON>("n"));
    EXPECT_FALSE(value.value<bool>("n"));
    EXPECT_FALSE(value.value<std::string>("a.b.c"));
    EXPECT_FALSE(JSON(JSON::Array{1}).value<int>("a"));
    EXPECT_EQ(value.value<AnyDictionary>("a")->at("b").asString(), "x");
}

TEST(JSONKeyPaths, DecodeFailuresAreLoggedThroughTheSharedInstanceOnlyWhenOneIsRegistered) {
    const JSON value = parse(R"({"p":{"x":"one"}})");
    setSharedLogDispatcher({});
    EXPECT_FALSE(value.value<Point>("p"));  // nothing registered: nothing to see, no crash

    auto dispatcher = std::make_shared<RecordingDispatcher>();
    setSharedLogDispatcher(dispatcher);
    EXPECT_FALSE(value.value<Point>("p"));
    ASSERT_EQ(dispatcher->entries.size(), 1u);
    const auto& entry = dispatcher->entries[0];
    EXPECT_EQ(entry.kind, LogFilterKind::error);
    EXPECT_EQ(entry.function, "subscript(keyPath:)");
    EXPECT_EQ(entry.line, 400);
    EXPECT_EQ(
        entry.message.rfind(R"(Unable to decode object (KeyPath(current: "p", remaining: [])) to a Codable: )", 0), 0u);

    dispatcher.reset();  // the reference is weak: a released instance logs nothing
    EXPECT_FALSE(value.value<Point>("p"));
    setSharedLogDispatcher({});
}

TEST(JSONKeyPaths, SettingCreatesIntermediateObjectsAndStoresNullForAbsentValues) {
    JSON value = parse(R"({"a":5})");
    value.setValue(std::string("x"), "a.b");
    EXPECT_EQ(value, parse(R"({"a":{"b":"x"}})"));

    JSON empty(JSON::Object{});
    empty.setValue(std::string("x"), "a.b");
    EXPECT_EQ(empty, parse(R"({"a":{"b":"x"}})"));

    empty.setValue(std::optional<std::string>(), "a.b");
    EXPECT_EQ(empty, parse(R"({"a":{"b":null}})"));

    empty.setValue(Point{1, 2}, "p");
    empty.setValue(JSON(JSON::Array{true}), "q");
    EXPECT_EQ(empty, parse(R"({"a":{"b":null},"p":{"x":1,"y":2},"q":[true]})"));

    // A value that cannot be converted changes nothing.
    const JSON before = empty;
    empty.setValue(std::numeric_limits<double>::infinity(), "a");
    EXPECT_EQ(empty, before);

    JSON list(JSON::Array{1});
    list.setValue(std::string("x"), "a");
    EXPECT_EQ(list, JSON(JSON::Array{1}));
}

TEST(JSONEquality, ComparesByCaseValueAndMembersWhateverTheirOrder) {
    EXPECT_EQ(JSON(1), JSON(1.0));
    EXPECT_EQ(parse("1.50"), parse("1.5"));
    EXPECT_NE(JSON(true), JSON(1));
    EXPECT_NE(JSON(), JSON(false));
    EXPECT_EQ(parse(R"({"a":1,"b":[1,2]})"), parse(R"({"b":[1,2],"a":1})"));
    EXPECT_NE(parse(R"({"b":[2,1],"a":1})"), parse(R"({"b":[1,2],"a":1})"));
    EXPECT_NE(parse(R"({"a":1})"), parse(R"({"a":1,"b":1})"));
    // Texts compare by their bytes: a precomposed letter differs from its decomposed form.
    EXPECT_NE(JSON("\xC3\xA9"), JSON("e\xCC\x81"));

    // Larger objects take the hashed path.
    JSON::Object forward;
    JSON::Object backward;
    for (int i = 0; i < 40; ++i) forward.set("k" + std::to_string(i), i);
    for (int i = 39; i >= 0; --i) backward.set("k" + std::to_string(i), i);
    EXPECT_EQ(JSON(forward), JSON(backward));
    backward.set("k7", 8);
    EXPECT_NE(JSON(forward), JSON(backward));
}

}  // namespace
}  // namespace qor
