#include <gtest/gtest.h>

#include "Analytics/Events.h"
#include "Platform/Foundation/Coding/JSONText.h"

namespace qor {
namespace {

using platform::DecodingError;
using platform::JSONDecoder;

JSON parse(std::string_view text) { return JSONDecoder().decode<JSON>(text); }

template <class T>
std::vector<std::string> keysOf(const T& event) {
    const auto any = platform::JSONEncoder().encodeToAny(event);
    std::vector<std::string> keys;
    for (const auto& [key, value] : any.asDictionary()) keys.push_back(key);
    return keys;
}

// Fills every common field, as the engine's stamping and plugins would.
template <class T>
T stamped(T event) {
    event.anonymousId = "anon";
    event.messageId = "msg";
    event.userId = event.userId.value_or("user");
    event.timestamp = "2024-03-05T14:07:09.123Z";
    event.context = parse(R"({"app":{"v":"1/2"}})");
    event.integrations = parse("{}");
    event.metrics = std::vector<JSON>{parse(R"({"m":1})")};
    event._metadata = DestinationMetadata{{"b"}, {}, {"id"}};
    return event;
}

TEST(EventRecords, UnstampedEventsWriteOnlyWhatTheyHold) {
    EXPECT_EQ(toString(TrackEvent("Opened", std::nullopt)), R"({"type":"track","event":"Opened"})");
    EXPECT_EQ(toString(AliasEvent(std::nullopt)), R"({"type":"alias"})");
    EXPECT_EQ(toString(IdentifyEvent("u1", std::nullopt)), R"({"type":"identify","userId":"u1"})");
    EXPECT_EQ(toString(ScreenEvent("Home", "Nav", parse(R"({"a":1})"))),
              R"({"type":"screen","name":"Home","category":"Nav","properties":{"a":1}})");
    EXPECT_EQ(toString(GroupEvent("g", parse("[]"))), R"({"type":"group","groupId":"g","traits":[]})");
    EXPECT_EQ(toString(AliasEvent("new")), R"({"type":"alias","userId":"new"})");
}

TEST(EventRecords, StampedEventsWriteTheirExactKeySetsInOrder) {
    const std::vector<std::string> common{"type",    "anonymousId",  "messageId", "userId",   "timestamp",
                                          "context", "integrations", "metrics",   "_metadata"};
    const auto with = [&](std::vector<std::string> own) {
        auto keys = common;
        keys.insert(keys.end(), own.begin(), own.end());
        return keys;
    };
    EXPECT_EQ(keysOf(stamped(TrackEvent("e", JSON()))), with({"event", "properties"}));
    EXPECT_EQ(keysOf(stamped(IdentifyEvent(std::nullopt, JSON(1)))), with({"traits"}));
    EXPECT_EQ(keysOf(stamped(ScreenEvent("t", "c", JSON(1)))), with({"name", "category", "properties"}));
    EXPECT_EQ(keysOf(stamped(GroupEvent("g", JSON(1)))), with({"groupId", "traits"}));
    auto alias = stamped(AliasEvent("new"));
    alias.previousId = "old";
    EXPECT_EQ(keysOf(alias),
              (std::vector<std::string>{"type", "anonymousId", "messageId", "timestamp", "context", "integrations",
                                        "metrics", "_metadata", "userId", "previousId"}));
    EXPECT_EQ(toString(stamped(TrackEvent("e", std::nullopt))),
              R"({"type":"track","anonymousId":"anon","messageId":"msg","userId":"user",)"
              R"("timestamp":"2024-03-05T14:07:09.123Z","context":{"app":{"v":"1\/2"}},"integrations":{},)"
              R"("metrics":[{"m":1}],"_metadata":{"bundled":["b"],"unbundled":[],"bundledIds":["id"]},"event":"e"})");
}

// Properties, traits and contexts are written straight from the JSON values: for awkward
// values (texts beyond ASCII, escapes, big and small numbers, deep nesting) every kind of event
// writes the very bytes of its untyped tree.
TEST(EventRecords, AwkwardValuesWriteTheBytesOfTheirUntypedTree) {
    const std::vector<std::string> payloads{
        R"({"name":"caf\u00e9 \u20ac \ud83d\ude00","path":"a/b\\c\"d","ctl":"\b\f\n\r\t\u0001\u001f\u007f"})",
        R"({"big":18446744073709551615,"neg":-9223372036854775808,"huge":1e100,"tiny":2.5e-100,"frac":0.1})",
        R"({"exact":3.14159265358979323846264338327950288,"zero":-0,"int":42,"float":42.50,"e":1E+2})",
        R"({"deep":{"a":[1,[2,[3,{"b":null,"c":[true,false,{}]}]],[]],"d":{"e":{"f":{"g":"h/i"}}}}})",
        R"({"":"empty key","\u00fc\u00f1\u00ee":"keys beyond ASCII","k/\"\\":"escaped key"})",
        R"(["array payload",1,{"x":"y"}])",
        R"("a bare text")",
        R"(12345678901234567890123)",
        R"(null)"};
    const auto untyped = [](const auto& event) {
        std::string text;
        EXPECT_FALSE(platform::coding::writeJSONText(platform::JSONEncoder().encodeToAny(event), {}, text));
        return text;
    };
    for (const auto& payload : payloads) {
        const JSON value = platform::JSONDecoder().decode<JSON>(payload);
        auto track = stamped(TrackEvent("Bought \xe2\x82\xac/\"x\"", value));
        track.context = value;
        auto identify = stamped(IdentifyEvent("user/1", value));
        identify.metrics = std::vector<JSON>{value, value};
        auto screen = stamped(ScreenEvent("Home", "Nav", value));
        screen.integrations = value;
        auto group = stamped(GroupEvent("g", value));
        auto alias = stamped(AliasEvent("new"));
        alias.context = value;
        for (const auto& event : std::vector<AnyRawEvent>{track, identify, screen, group, alias}) {
            std::visit(
                [&](const auto& typed) {
                    EXPECT_EQ(platform::JSONEncoder().encodeToString(typed), untyped(typed)) << payload;
                },
                event);
        }
    }
    const auto numbers = platform::JSONDecoder().decode<JSON>(R"({"big":18446744073709551615,"f":42.50,"z":-0})");
    EXPECT_EQ(toString(TrackEvent("e", numbers)),
              R"({"type":"track","event":"e","properties":{"big":18446744073709551615,"f":42.5,"z":0}})");
}

TEST(EventRecords, PresentNullContextIsWrittenButReadsBackAbsent) {
    TrackEvent event("e", std::nullopt);
    event.context = JSON();
    const std::string text = toString(event);
    EXPECT_EQ(text, R"({"type":"track","context":null,"event":"e"})");
    const auto decoded = JSONDecoder().decode<TrackEvent>(text);
    EXPECT_FALSE(decoded.context);
    EXPECT_EQ(toString(decoded), R"({"type":"track","event":"e"})");
}

TEST(EventRecords, DecodingChecksRequiredKeysAndTypesAndKeepsTheType) {
    const auto expectKind = [](std::string_view text, DecodingError::Kind kind) {
        try {
            (void)JSONDecoder().decode<TrackEvent>(text);
            ADD_FAILURE() << text;
        } catch (const DecodingError& error) {
            EXPECT_EQ(error.kind, kind) << text;
        }
    };
    expectKind(R"({"type":"track"})", DecodingError::Kind::keyNotFound);
    expectKind(R"({"event":null})", DecodingError::Kind::valueNotFound);
    expectKind(R"({"event":"e","userId":5})", DecodingError::Kind::typeMismatch);
    expectKind(R"({"event":"e","metrics":{}})", DecodingError::Kind::typeMismatch);
    expectKind(R"({"event":"e","_metadata":[]})", DecodingError::Kind::typeMismatch);
    expectKind(R"(["event"])", DecodingError::Kind::typeMismatch);

    const auto bare = JSONDecoder().decode<TrackEvent>(R"({"event":"e"})");
    EXPECT_FALSE(bare.type);
    EXPECT_EQ(bare.event, "e");
    const auto screenTyped = JSONDecoder().decode<TrackEvent>(R"({"event":"e","type":"screen"})");
    EXPECT_EQ(screenTyped.type, "screen");
    EXPECT_EQ(TrackEvent::existing(screenTyped).type, "track");

    EXPECT_EQ(JSONDecoder().decode<IdentifyEvent>("{}"), IdentifyEvent());
    EXPECT_EQ(JSONDecoder().decode<ScreenEvent>("{}"), ScreenEvent());
    EXPECT_EQ(JSONDecoder().decode<GroupEvent>("{}"), GroupEvent());
    EXPECT_EQ(JSONDecoder().decode<AliasEvent>("{}"), AliasEvent());
    EXPECT_FALSE(JSONDecoder().decode<GroupEvent>("{}").type);

    // Keys spelled like initializer labels are not fields.
    const auto screen = JSONDecoder().decode<ScreenEvent>(R"({"title":"T","name":"N"})");
    EXPECT_EQ(screen.name, "N");
    EXPECT_FALSE(JSONDecoder().decode<AliasEvent>(R"({"newId":"n"})").userId);
    EXPECT_EQ(JSONDecoder().decode<AliasEvent>(R"({"userId":"n","previousId":"p"})").previousId, "p");

    const auto metrics = JSONDecoder().decode<IdentifyEvent>(R"({"metrics":[null,1,"x"],"traits":false})");
    EXPECT_EQ(metrics.metrics, (std::vector<JSON>{JSON(), JSON(1), JSON("x")}));
    EXPECT_EQ(metrics.traits, JSON(false));
}

TEST(EventRecords, MetadataNeedsAllThreeLists) {
    EXPECT_EQ(toString(DestinationMetadata{}), R"({"bundled":[],"unbundled":[],"bundledIds":[]})");
    EXPECT_THROW(JSONDecoder().decode<DestinationMetadata>(R"({"bundled":[],"unbundled":[]})"), DecodingError);
    EXPECT_THROW(JSONDecoder().decode<DestinationMetadata>(R"({"bundled":[1],"unbundled":[],"bundledIds":[]})"),
                 DecodingError);
}

TEST(EventRecords, CopiesKeepEverythingButTypeMetricsAndPreviousId) {
    auto track = stamped(TrackEvent("e", parse(R"({"p":1})")));
    track.type = "other";
    const auto trackCopy = TrackEvent::existing(track);
    EXPECT_EQ(trackCopy.type, "track");
    EXPECT_FALSE(trackCopy.metrics);
    auto expected = track;
    expected.type = "track";
    expected.metrics.reset();
    EXPECT_EQ(trackCopy, expected);

    auto alias = stamped(AliasEvent("new"));
    alias.previousId = "old";
    const auto aliasCopy = AliasEvent::existing(alias);
    EXPECT_FALSE(aliasCopy.previousId);
    EXPECT_EQ(aliasCopy.userId, "new");
    EXPECT_EQ(aliasCopy.context, alias.context);

    const auto screen = stamped(ScreenEvent("t", "c", JSON(2)));
    const auto screenCopy = ScreenEvent::existing(screen);
    EXPECT_EQ(screenCopy.name, "t");
    EXPECT_EQ(screenCopy.category, "c");
    EXPECT_EQ(screenCopy._metadata, screen._metadata);
    EXPECT_EQ(IdentifyEvent::existing(stamped(IdentifyEvent("u", JSON(1)))).traits, JSON(1));
    EXPECT_EQ(GroupEvent::existing(stamped(GroupEvent("g", JSON(1)))).groupId, "g");

    // The common step overwrites with the source's values, nil included.
    TrackEvent target = stamped(TrackEvent("x", std::nullopt));
    const TrackEvent blank("y", std::nullopt);
    target.copyCommonFields(&blank);
    EXPECT_FALSE(target.anonymousId);
    EXPECT_FALSE(target.context);
    EXPECT_TRUE(target.metrics);
    target.copyCommonFields(nullptr);
    EXPECT_EQ(target.event, "x");
}

TEST(EventRecords, AnEventHeldWithoutItsKindIsStampedAndCodedAsItself) {
    std::vector<AnyRawEvent> events{TrackEvent("e", std::nullopt), AliasEvent("n")};
    for (auto& event : events) common(event).messageId = "m";
    EXPECT_EQ(toString(events),
              R"([{"type":"track","messageId":"m","event":"e"},{"type":"alias","messageId":"m","userId":"n"}])");
    const auto decoded = JSONDecoder().decode<std::vector<AnyRawEvent>>(toString(events));
    ASSERT_EQ(decoded.size(), 2u);
    EXPECT_EQ(std::get<TrackEvent>(decoded[0]).event, "e");
    EXPECT_EQ(std::get<AliasEvent>(decoded[1]).userId, "n");
    EXPECT_THROW(JSONDecoder().decode<AnyRawEvent>(R"({"type":"page"})"), DecodingError);
}

}  // namespace
}  // namespace qor
