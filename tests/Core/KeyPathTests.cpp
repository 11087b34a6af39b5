#include <gtest/gtest.h>

#include "Core/KeyPath.h"
#include "Platform/Foundation/JSONSerialization.h"

namespace qor {
namespace {

using platform::Any;
using platform::AnyDictionary;

AnyDictionary dict(std::string_view text) { return platform::JSONSerialization::jsonObject(text).asDictionary(); }
Any any(std::string_view text) { return platform::JSONSerialization::jsonObject(text); }

TEST(KeyPathSplitting, KeepsEmptyPiecesAndTrimsNothing) {
    const KeyPath simple("a.b.c");
    EXPECT_EQ(simple.current, "a");
    EXPECT_EQ(simple.remaining, (std::vector<std::string>{"b", "c"}));
    EXPECT_EQ(KeyPath("a").remaining.size(), 0u);
    EXPECT_EQ(KeyPath("").current, "");
    EXPECT_EQ(KeyPath("a..b").remaining, (std::vector<std::string>{"", "b"}));
    EXPECT_EQ(KeyPath("a.").remaining, (std::vector<std::string>{""}));
    EXPECT_EQ(KeyPath(" a . b").current, " a ");
    EXPECT_EQ(KeyPath("a.b").description(), R"(KeyPath(current: "a", remaining: ["b"]))");
}

TEST(KeyPathReading, FollowsNestedDictionaries) {
    EXPECT_EQ(value(dict(R"({"a":{"b":1}})"), "a.b"), Any(1));
    EXPECT_FALSE(value(dict(R"({"a":5})"), "a.b"));
    EXPECT_FALSE(value(dict(R"({"a":{}})"), "a.b"));
    EXPECT_FALSE(value(dict("{}"), "a.b"));
    const auto withNull = dict(R"({"a":null})");
    EXPECT_EQ(value(withNull, "a"), Any());
    EXPECT_TRUE(exists(withNull, "a"));
    EXPECT_FALSE(exists(withNull, "b"));
    EXPECT_EQ(value(dict(R"({"a":{"":{"b":2}}})"), "a..b"), Any(2));
}

TEST(KeyPathReading, PathEntriesReadTheReferenceData) {
    const Any reference = any(R"({"user":{"id":"u1"},"a":{"b":"ab"},"x":"X"})");
    EXPECT_EQ(value(dict(R"({"a":{"@path":"$.user.id"}})"), "a", &reference), Any("u1"));
    EXPECT_FALSE(value(dict(R"({"a":{"@path":"$.user.id"}})"), "a"));
    EXPECT_FALSE(value(dict(R"({"a":{"@path":5}})"), "a", &reference));
    EXPECT_EQ(value(dict(R"({"a":{"@path":"$.a.$.b"}})"), "a", &reference), Any("ab"));
    EXPECT_EQ(value(dict(R"({"a":{"@path":"a.b"}})"), "a", &reference), Any("ab"));
    // The entry answers for the whole path; below the first level no reference is passed on.
    EXPECT_EQ(value(dict(R"({"a":{"@path":"$.x","b":1}})"), "a.b", &reference), Any("X"));
    EXPECT_FALSE(value(dict(R"({"a":{"b":{"@path":"$.x"}}})"), "a.b", &reference));
    // An entry holding both markers is a path entry.
    EXPECT_EQ(value(dict(R"({"a":{"@path":"$.x","@if":{"exists":1,"then":2}}})"), "a", &reference), Any("X"));
    // Reference data that is not a dictionary resolves nothing.
    const Any notDictionary("x");
    EXPECT_FALSE(value(dict(R"({"a":{"@path":"$.x"}})"), "a", &notDictionary));
}

TEST(KeyPathReading, ConditionEntriesPickABranch) {
    const auto blank = dict(R"({"k":{"@if":{"blank":{"@path":"$.name"},"then":"anon","else":{"@path":"$.name"}}}})");
    const Any emptyName = any(R"({"name":""})");
    const Any noName = any(R"({"other":1})");
    const Any bo = any(R"({"name":"Bo"})");
    const Any seven = any(R"({"name":7})");
    EXPECT_EQ(value(blank, "k", &emptyName), Any("anon"));
    EXPECT_EQ(value(blank, "k", &noName), Any("anon"));
    EXPECT_EQ(value(blank, "k", &bo), Any("Bo"));
    EXPECT_EQ(value(blank, "k", &seven), Any(7));

    const auto present = dict(R"({"k":{"@if":{"exists":{"@path":"$.id"},"then":true,"else":false}}})");
    const Any withId = any(R"({"id":"i"})");
    const Any nullId = any(R"({"id":null})");
    EXPECT_EQ(value(present, "k", &withId), Any(true));
    EXPECT_EQ(value(present, "k", &nullId), Any(true));
    EXPECT_EQ(value(present, "k", &noName), Any(false));

    // "blank" decides alone; neither condition, or a missing branch, gives nothing.
    EXPECT_EQ(value(dict(R"({"k":{"@if":{"blank":"x","exists":1,"then":1,"else":2}}})"), "k"), Any(2));
    EXPECT_FALSE(value(dict(R"({"k":{"@if":{"then":1,"else":2}}})"), "k"));
    EXPECT_FALSE(value(dict(R"({"k":{"@if":{"exists":1,"else":2}}})"), "k"));
    EXPECT_FALSE(value(dict(R"({"k":{"@if":"nope"}})"), "k"));
}

TEST(KeyPathWriting, CreatesOrReplacesDictionariesOnTheWay) {
    auto replaced = dict(R"({"a":"x"})");
    setValue(replaced, std::optional<Any>(Any(1)), "a.b");
    EXPECT_EQ(replaced, dict(R"({"a":{"b":1}})"));

    AnyDictionary empty;
    setValue(empty, std::optional<Any>(Any(1)), "a.b");
    EXPECT_EQ(empty, dict(R"({"a":{"b":1}})"));

    auto removing = dict(R"({"a":1,"b":2})");
    setValue(removing, std::optional<Any>(), "a");
    EXPECT_EQ(removing, dict(R"({"b":2})"));

    AnyDictionary intermediate;
    setValue(intermediate, std::optional<Any>(), "a.b");
    EXPECT_EQ(intermediate, dict(R"({"a":{}})"));

    // Nested optionals flatten: an empty inner level counts as absent.
    auto nested = dict(R"({"t":1})");
    setValue(nested, std::optional<std::optional<std::string>>(std::optional<std::string>()), "t");
    EXPECT_TRUE(nested.empty());
    setValue(nested, std::optional<std::optional<std::string>>(std::string("tok")), "device.token");
    EXPECT_EQ(nested, dict(R"({"device":{"token":"tok"}})"));

    // Template entries are plain data when written, and resolve when read back.
    AnyDictionary entry;
    setValue(entry, std::optional<Any>(any(R"({"@path":"$.x"})")), "a");
    EXPECT_EQ(entry, dict(R"({"a":{"@path":"$.x"}})"));
    const Any reference = any(R"({"x":42})");
    EXPECT_EQ(value(entry, "a", &reference), Any(42));
}

}  // namespace
}  // namespace qor
