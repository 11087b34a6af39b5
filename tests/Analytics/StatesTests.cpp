#include <gtest/gtest.h>

#include "Analytics/Configuration.h"
#include "Analytics/Settings/Settings.h"
#include "Analytics/System.h"
#include "Analytics/UserInfo.h"
#include "Core/DeploymentValues.h"
#include "testing/TextShapes.h"

namespace qor {
namespace {

JSON parse(std::string_view text) { return platform::JSONDecoder().decode<JSON>(text); }

template <class T>
std::string encoded(const T& value) {
    return platform::JSONEncoder().encodeToString(value);
}

// What an engine's storage would hand the builders.
struct FakeStorage : StoredValueReader {
    std::optional<std::string> userId, anonymousId;
    std::optional<JSON> traits;
    std::optional<Settings> settings;
    mutable std::vector<std::string> reads;

    std::optional<std::string> readUserId() const override {
        reads.push_back("userId");
        return userId;
    }
    std::optional<std::string> readAnonymousId() const override {
        reads.push_back("anonymousId");
        return anonymousId;
    }
    std::optional<JSON> readTraits() const override {
        reads.push_back("traits");
        return traits;
    }
    std::optional<Settings> readSettings() const override {
        reads.push_back("settings");
        return settings;
    }
};

struct Options {
    std::int64_t level = 0;
    void encode(platform::KeyedEncodingContainer& c) const { c.encode("level", level); }
    static Options decode(const platform::KeyedDecodingContainer& c) { return {c.decode<std::int64_t>("level")}; }
};

TEST(ConfigurationValues, HoldTheWriteKeyAndTheDefaults) {
    const auto configuration = Configuration::make("abc");
    const auto values = configuration->values();
    EXPECT_EQ(values.writeKey, "abc");
    EXPECT_EQ(values.flushInterval, 30.0);
    EXPECT_EQ(values.flushAt, 20);
    EXPECT_FALSE(values.errorHandler);
    EXPECT_FALSE(values.defaultSettings);
    EXPECT_TRUE(values.autoAddQORDestination);
    EXPECT_TRUE(values.trackApplicationLifecycleEvents);
    configuration->modifyValues([](Configuration::Values& v) { v.flushAt = 3; });
    EXPECT_EQ(configuration->values().flushAt, 3);
}

TEST(SettingsRecord, DefaultContentNamesTheDestinationWithKeyAndHost) {
    const Settings settings("k", "https://h.example/v1/b");
    EXPECT_EQ(encoded(settings),
              R"({"integrations":{"qor.io":{"apiKey":"k","apiHost":"https:\/\/h.example\/v1\/b"}}})");
    EXPECT_TRUE(settings.hasIntegrationSettings("qor.io"));
    EXPECT_FALSE(settings.hasIntegrationSettings("qor"));
    EXPECT_EQ(settings.integrationSettings("qor.io")->at("apiKey").asString(), "k");
    EXPECT_EQ(Settings("k").integrationSettings("qor.io")->at("apiHost").asString(),
              deployment::collectionEndpointURL());
}

TEST(SettingsRecord, LookupsNeedAnObjectMember) {
    Settings settings;
    settings.integrations = parse(R"({"s":"text","n":null,"o":{"level":4},"bad":{"level":"x"}})");
    EXPECT_FALSE(settings.integrationSettings("s"));
    EXPECT_TRUE(settings.hasIntegrationSettings("s"));
    EXPECT_FALSE(settings.integrationSettings("n"));
    EXPECT_TRUE(settings.hasIntegrationSettings("n"));
    EXPECT_EQ(settings.integrationSettings<Options>("o")->level, 4);
    EXPECT_FALSE(settings.integrationSettings<Options>("bad"));
    EXPECT_FALSE(settings.integrationSettings<Options>("s"));
    EXPECT_FALSE(settings.integrationSettings<Options>("missing"));
}

TEST(SettingsRecord, DecodingKeepsAnyValueAndDropsFieldErrors) {
    const auto settings = platform::JSONDecoder().decode<Settings>(R"({"integrations":5,"plan":{"p":1},"x":2})");
    EXPECT_EQ(settings.integrations, JSON(5));
    EXPECT_EQ(settings.plan, parse(R"({"p":1})"));
    EXPECT_FALSE(settings.edgeFunction);
    EXPECT_FALSE(settings.hasIntegrationSettings("qor.io"));
    EXPECT_FALSE(settings.integrationSettings("qor.io"));
    const auto empty = platform::JSONDecoder().decode<Settings>("{}");
    EXPECT_EQ(encoded(empty), "{}");
    // A value that is no JSON of ours leaves that field absent and the others intact.
    const auto partial = platform::JSONDecoder().decode<Settings>(R"({"plan":[1e200],"edgeFunction":true})");
    EXPECT_FALSE(partial.plan);
    EXPECT_EQ(partial.edgeFunction, JSON(true));
    EXPECT_THROW(platform::JSONDecoder().decode<Settings>("[]"), platform::DecodingError);
}

TEST(SettingsRecord, EqualityComparesTheWrittenText) {
    EXPECT_EQ(Settings("k", "h"), Settings("k", "h"));
    EXPECT_NE(Settings("k", "h"), Settings("k", "h2"));
    Settings reordered;
    reordered.integrations = parse(R"({"qor.io":{"apiHost":"h","apiKey":"k"}})");
    EXPECT_NE(reordered, Settings("k", "h"));  // member order shows in the text
}

TEST(SystemState, DefaultStatePrefersStoredThenConfiguredThenWriteKeySettings) {
    const auto configuration = Configuration::make("wk");
    FakeStorage storage;
    const System fresh = System::defaultState(configuration, storage);
    EXPECT_EQ(fresh.configuration, configuration);
    EXPECT_EQ(fresh.settings, Settings("wk", deployment::collectionEndpointURL()));
    EXPECT_FALSE(fresh.running);
    EXPECT_TRUE(fresh.enabled);

    configuration->modifyValues([](Configuration::Values& v) { v.defaultSettings = Settings("default", "h"); });
    EXPECT_EQ(System::defaultState(configuration, storage).settings, Settings("default", "h"));

    storage.settings = Settings("stored", "h");
    EXPECT_EQ(System::defaultState(configuration, storage).settings, Settings("stored", "h"));
}

TEST(SystemState, AddDestinationMarksOnlyAnIntegrationsObject) {
    const auto configuration = Configuration::make("wk");
    Settings settings("wk", "h");
    settings.plan = JSON("keep");
    const System state(configuration, settings, false, true);

    const System added = System::AddDestinationToSettingsAction{"dest"}.reduce(state);
    EXPECT_EQ(added.settings->integrations, parse(R"({"qor.io":{"apiKey":"wk","apiHost":"h"},"dest":true})"));
    EXPECT_EQ(added.settings->plan, JSON("keep"));
    const System replaced = System::AddDestinationToSettingsAction{"qor.io"}.reduce(state);
    EXPECT_EQ(replaced.settings->integrations, parse(R"({"qor.io":true})"));

    for (const char* integrations : {"\"s\"", "3", "[1]", "true", "null"}) {
        Settings odd;
        odd.integrations = parse(integrations);
        const System before(configuration, odd, false, true);
        EXPECT_EQ(System::AddDestinationToSettingsAction{"dest"}.reduce(before).settings, odd) << integrations;
    }
    System none = state;
    none.settings.reset();
    EXPECT_FALSE(System::AddDestinationToSettingsAction{"dest"}.reduce(none).settings);

    const System off = System::ToggleEnabledAction{false}.reduce(state);
    EXPECT_FALSE(off.enabled);
    EXPECT_EQ(off.settings, state.settings);
    EXPECT_EQ(off.configuration, configuration);
}

TEST(UserInfoState, DefaultStateUsesStoredValuesElseANewUUID) {
    FakeStorage storage;
    const UserInfo fresh = UserInfo::defaultState(storage);
    ASSERT_EQ(fresh.anonymousId.size(), 36u);
    EXPECT_TRUE(testing::isUpperCaseUUID(fresh.anonymousId)) << fresh.anonymousId;
    EXPECT_FALSE(fresh.userId);
    EXPECT_FALSE(fresh.traits);
    EXPECT_EQ(storage.reads, (std::vector<std::string>{"userId", "traits", "anonymousId"}));
    EXPECT_NE(UserInfo::defaultState(storage).anonymousId, fresh.anonymousId);

    storage.anonymousId = "anon";
    storage.userId = "user";
    storage.traits = parse(R"({"a":1})");
    const UserInfo stored = UserInfo::defaultState(storage);
    EXPECT_EQ(stored, UserInfo("anon", "user", parse(R"({"a":1})")));
}

TEST(UserInfoState, ActionsChangeOnlyTheirFields) {
    const UserInfo start("anon", "u1", parse(R"({"a":1,"b":2})"));
    EXPECT_EQ(UserInfo::SetTraitsAction{parse(R"({"c":3})")}.reduce(start),
              UserInfo("anon", "u1", parse(R"({"c":3})")));
    EXPECT_EQ(UserInfo::SetTraitsAction{std::nullopt}.reduce(start), UserInfo("anon", "u1", std::nullopt));
    EXPECT_EQ((UserInfo::SetUserIdAndTraitsAction{"u2", std::nullopt}.reduce(start)),
              UserInfo("anon", "u2", std::nullopt));
    EXPECT_EQ((UserInfo::SetUserIdAndTraitsAction{"u2", JSON(1)}.reduce(start)), UserInfo("anon", "u2", JSON(1)));
    EXPECT_EQ(UserInfo::SetUserIdAction{"u3"}.reduce(start), UserInfo("anon", "u3", parse(R"({"a":1,"b":2})")));
}

TEST(UserInfoState, CodesWithItsThreeKeys) {
    EXPECT_EQ(encoded(UserInfo("anon", std::nullopt, std::nullopt)), R"({"anonymousId":"anon"})");
    EXPECT_EQ(encoded(UserInfo("anon", "u", JSON())), R"({"anonymousId":"anon","userId":"u","traits":null})");
    const auto decoded =
        platform::JSONDecoder().decode<UserInfo>(R"({"traits":[1],"userId":"u","anonymousId":"a","x":1})");
    EXPECT_EQ(decoded, UserInfo("a", "u", parse("[1]")));
    EXPECT_EQ(platform::JSONDecoder().decode<UserInfo>(R"({"anonymousId":"a","userId":null,"traits":null})"),
              UserInfo("a", std::nullopt, std::nullopt));
    EXPECT_THROW(platform::JSONDecoder().decode<UserInfo>(R"({"userId":"u"})"), platform::DecodingError);
    EXPECT_THROW(platform::JSONDecoder().decode<UserInfo>(R"({"anonymousId":1})"), platform::DecodingError);
    EXPECT_THROW(platform::JSONDecoder().decode<UserInfo>(R"({"anonymousId":"a","userId":2})"),
                 platform::DecodingError);
}

}  // namespace
}  // namespace qor
