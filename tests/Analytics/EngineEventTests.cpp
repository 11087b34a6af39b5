#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "Analytics/Analytics.h"
#include "Analytics/AnalyticsError.h"
#include "Analytics/Storage.h"
#include "Analytics/UserInfo.h"
#include "Core/ISO8601Formatter.h"
#include "EngineTestSupport.h"
#include "testing/ScopedEnvironment.h"
#include "testing/TestAppHome.h"
#include "testing/TextShapes.h"

namespace qor {
namespace {

using enginetest::drainMainQueue;
using enginetest::RecordingDestination;
using enginetest::RecordingPlugin;
using testing::TestAppHome;

struct Payload {
    std::string plan;
    int seats = 0;
    void encode(platform::KeyedEncodingContainer& container) const {
        container.encode("plan", plan);
        container.encode("seats", seats);
    }
    static Payload decode(const platform::KeyedDecodingContainer& container) {
        return Payload{container.decode<std::string>("plan"), container.decode<int>("seats")};
    }
};

// Encodes to a bare number: not an object or a list, so it cannot be a payload.
struct BareNumber {
    double value = 0;
};

}  // namespace
}  // namespace qor

namespace qor::platform {
template <>
struct ValueCoding<qor::BareNumber> {
    static Any encode(const qor::BareNumber& value) { return Any(value.value); }
    static qor::BareNumber decode(const Any& value, const CodingPath&) { return {value.asDouble()}; }
};
}  // namespace qor::platform

namespace qor {
namespace {

class EngineEventTest : public ::testing::Test {
protected:
    void SetUp() override {
        config = enginetest::configuration("key");
        config->modifyValues([this](Configuration::Values& values) {
            values.errorHandler = [this](std::exception_ptr error) {
                std::lock_guard<std::mutex> guard(errorsMutex);
                errors.push_back(error);
            };
        });
        analytics = Analytics::make(config);
        enginetest::removeDeliveryPlugins(*analytics);
        for (auto type : {PluginType::before, PluginType::enrichment, PluginType::destination, PluginType::after}) {
            auto plugin = std::make_shared<RecordingPlugin>(type);
            analytics->add(plugin);
            stages.push_back(plugin);
        }
    }
    void TearDown() override { drainMainQueue(); }

    const RecordingPlugin& stage(PluginType type) const { return *stages[static_cast<std::size_t>(type)]; }
    template <class T>
    T lastAt(PluginType type) const {
        const auto seen = stage(type).seen();
        EXPECT_FALSE(seen.empty());
        return std::get<T>(seen.back());
    }
    UserInfo user() const { return *analytics->store()->currentState<UserInfo>(); }
    std::vector<std::string> errorTexts() {
        std::lock_guard<std::mutex> guard(errorsMutex);
        std::vector<std::string> texts;
        for (const auto& error : errors) texts.push_back(describeError(error));
        return texts;
    }

    TestAppHome home;
    std::shared_ptr<Configuration> config;
    std::shared_ptr<Analytics> analytics;
    std::vector<std::shared_ptr<RecordingPlugin>> stages;
    std::mutex errorsMutex;
    std::vector<std::exception_ptr> errors;
};

TEST_F(EngineEventTest, EveryKindIsStampedAndReachesAllFourStages) {
    analytics->track("Viewed", platform::AnyDictionary{{"page", "home"}});
    analytics->identify("user-1", Payload{"pro", 3});
    analytics->screen("Home", std::optional<std::string>("Main"));
    analytics->group("group-1");
    analytics->alias("user-2");

    for (auto type : {PluginType::before, PluginType::enrichment, PluginType::destination, PluginType::after}) {
        EXPECT_EQ(stage(type).seen().size(), 5u);
    }
    std::set<std::string> messageIds;
    for (const auto& event : stage(PluginType::after).seen()) {
        const RawEvent& raw = common(event);
        ASSERT_TRUE(raw.messageId && raw.timestamp && raw.anonymousId);
        EXPECT_TRUE(testing::isUpperCaseUUID(*raw.messageId)) << *raw.messageId;
        EXPECT_TRUE(testing::isISOTimestamp(*raw.timestamp)) << *raw.timestamp;
        EXPECT_EQ(*raw.anonymousId, user().anonymousId);
        EXPECT_EQ(raw.integrations, JSON(JSON::Object()));
        EXPECT_EQ(raw._metadata, DestinationMetadata{});
        EXPECT_FALSE(raw.context.has_value());
        messageIds.insert(*raw.messageId);
    }
    EXPECT_EQ(messageIds.size(), 5u);

    const auto track = std::get<TrackEvent>(stage(PluginType::before).seen()[0]);
    EXPECT_EQ(track.event, "Viewed");
    EXPECT_EQ(track.properties, JSON(JSON::Object{{"page", JSON("home")}}));
    EXPECT_FALSE(track.userId.has_value());

    const auto screen = std::get<ScreenEvent>(stage(PluginType::after).seen()[2]);
    EXPECT_EQ(screen.name, "Home");
    EXPECT_EQ(screen.category, "Main");
    EXPECT_EQ(screen.userId, "user-1");

    // Alias: the user id is the new id, set again from the user state; no previous id.
    const auto alias = lastAt<AliasEvent>(PluginType::after);
    EXPECT_EQ(alias.userId, "user-2");
    EXPECT_FALSE(alias.previousId.has_value());
    EXPECT_EQ(user().userId, "user-2");
}

TEST_F(EngineEventTest, IdentifyFormsChangeOnlyWhatTheyName) {
    const auto anonymousId = user().anonymousId;
    analytics->identify("user-1", platform::AnyDictionary{{"vip", true}});
    EXPECT_EQ(user().traits, JSON(JSON::Object{{"vip", JSON(true)}}));

    // The user id alone keeps the traits; the event carries none.
    analytics->identify("user-2");
    EXPECT_EQ(user().userId, "user-2");
    EXPECT_EQ(user().traits, JSON(JSON::Object{{"vip", JSON(true)}}));
    EXPECT_FALSE(lastAt<IdentifyEvent>(PluginType::after).traits.has_value());

    // Traits alone keep the user id, which the event carries from the state.
    analytics->identify(Payload{"team", 9});
    EXPECT_EQ(user().userId, "user-2");
    const auto traitsOnly = lastAt<IdentifyEvent>(PluginType::after);
    EXPECT_EQ(traitsOnly.userId, "user-2");
    EXPECT_EQ(traitsOnly.traits, JSON(JSON::Object{{"plan", JSON("team")}, {"seats", JSON(9)}}));

    // A user id with absent traits clears them.
    analytics->identify("user-3", std::optional<platform::AnyDictionary>());
    EXPECT_FALSE(user().traits.has_value());
    EXPECT_EQ(user().anonymousId, anonymousId);
    EXPECT_TRUE(errorTexts().empty());
}

TEST_F(EngineEventTest, ConversionFailuresReachTheErrorHandler) {
    // A dictionary value with no JSON form: reported, the track is still sent without properties.
    analytics->track("Bad", platform::AnyDictionary{{"nan", std::nan("")}});
    ASSERT_EQ(errorTexts().size(), 1u);
    EXPECT_EQ(errorTexts()[0].rfind("jsonUnableToDeserialize(", 0), 0u) << errorTexts()[0];
    try {
        std::rethrow_exception(errors[0]);
    } catch (const AnalyticsError& error) {
        EXPECT_EQ(error.code, AnalyticsError::Code::jsonUnableToDeserialize);
    } catch (...) {
        ADD_FAILURE() << "not an AnalyticsError";
    }
    const auto sent = lastAt<TrackEvent>(PluginType::after);
    EXPECT_EQ(sent.event, "Bad");
    EXPECT_FALSE(sent.properties.has_value());

    // A Codable payload that is a bare scalar, or fails to encode: reported, nothing sent.
    const auto before = stage(PluginType::before).seen().size();
    analytics->track("Scalar", BareNumber{1.5});
    analytics->track("Infinite", BareNumber{std::numeric_limits<double>::infinity()});
    EXPECT_EQ(stage(PluginType::before).seen().size(), before);
    EXPECT_EQ(errorTexts().size(), 3u);

    // Identify with traits that do not convert changes nothing and sends nothing.
    analytics->identify("user-9", platform::AnyDictionary{{"bad", std::nan("")}});
    EXPECT_FALSE(user().userId.has_value());
    EXPECT_EQ(stage(PluginType::before).seen().size(), before);
    EXPECT_EQ(errorTexts().size(), 4u);
}

TEST_F(EngineEventTest, OnlyProcessConsultsTheEnabledFlag) {
    EXPECT_TRUE(analytics->enabled());
    analytics->setEnabled(false);
    EXPECT_FALSE(analytics->enabled());

    analytics->process(TrackEvent("made elsewhere", std::nullopt));
    EXPECT_TRUE(stage(PluginType::before).seen().empty());
    analytics->track("from the API");
    EXPECT_EQ(stage(PluginType::after).seen().size(), 1u);

    analytics->modifyEnabled([](bool& value) { value = !value; });
    EXPECT_TRUE(analytics->enabled());
    // process adds no stamps.
    analytics->process(TrackEvent("made elsewhere", std::nullopt));
    const auto processed = lastAt<TrackEvent>(PluginType::after);
    EXPECT_FALSE(processed.messageId.has_value());
    EXPECT_FALSE(processed.timestamp.has_value());
}

TEST_F(EngineEventTest, StagesPassTheEnrichmentOutputOnAndADroppedEventGoesNoFurther) {
    // The destination stage changes its own copy; the after stage sees the enrichment output.
    stages[static_cast<std::size_t>(PluginType::enrichment)]->transform = [](AnyRawEvent event) {
        std::get<TrackEvent>(event).event = "enriched";
        return std::optional<AnyRawEvent>(std::move(event));
    };
    stages[static_cast<std::size_t>(PluginType::destination)]->transform = [](AnyRawEvent event) {
        std::get<TrackEvent>(event).event = "destination copy";
        return std::optional<AnyRawEvent>(std::move(event));
    };
    analytics->track("original");
    EXPECT_EQ(lastAt<TrackEvent>(PluginType::destination).event, "enriched");
    EXPECT_EQ(lastAt<TrackEvent>(PluginType::after).event, "enriched");

    // A before plugin that drops the event: no later plugin is called, not even a second
    // before plugin.
    auto secondBefore = std::make_shared<RecordingPlugin>(PluginType::before);
    analytics->add(secondBefore);
    stages[0]->transform = [](AnyRawEvent) { return std::optional<AnyRawEvent>(); };
    analytics->track("dropped");
    EXPECT_TRUE(secondBefore->seen().empty());
    EXPECT_EQ(stage(PluginType::enrichment).seen().size(), 1u);
    EXPECT_EQ(stage(PluginType::after).seen().size(), 1u);

    // A plugin that answers with another kind of event ends the road too.
    stages[0]->transform = [](AnyRawEvent) { return std::optional<AnyRawEvent>(AliasEvent("x")); };
    analytics->track("turned into an alias");
    EXPECT_TRUE(secondBefore->seen().empty());
}

TEST_F(EngineEventTest, ADestinationThatRefusesTheEventLeavesTheNextOneUntouched) {
    auto refused = std::make_shared<RecordingDestination>("absent.key");
    auto accepted = std::make_shared<RecordingDestination>("qor.io");
    accepted->changeName = true;
    analytics->add(refused);
    analytics->add(accepted);
    analytics->track("Bought");
    EXPECT_TRUE(refused->tracked().empty());
    ASSERT_EQ(accepted->tracked().size(), 1u);
    EXPECT_EQ(lastAt<TrackEvent>(PluginType::after).event, "Bought");

    // Enabling the refused destination's key lets it receive events.
    analytics->manuallyEnableDestination(*refused);
    EXPECT_TRUE(analytics->settings()->hasIntegrationSettings("absent.key"));
    analytics->track("Again");
    EXPECT_EQ(refused->tracked().size(), 1u);

    // With no plugin after the destinations the last one is handed the event itself: those
    // before it still work on copies, and each sees the event as the enrichment left it.
    analytics->remove(stages[static_cast<std::size_t>(PluginType::after)]);
    refused->changeName = true;
    auto last = std::make_shared<RecordingDestination>("qor.io");
    last->changeName = true;
    analytics->add(last);
    analytics->track("Moved on");
    analytics->track("And again");
    for (const auto* destination : {refused.get(), accepted.get(), last.get()}) {
        const auto seen = destination->tracked();
        ASSERT_GE(seen.size(), 2u);
        EXPECT_EQ(seen[seen.size() - 2].event, "Moved on");
        EXPECT_EQ(seen.back().event, "And again");
        EXPECT_TRUE(seen.back().messageId.has_value());
    }
    EXPECT_EQ(lastAt<TrackEvent>(PluginType::destination).event, "And again");
}

TEST(EngineInstance, UserStateAndSettingsPersistForTheNextInstanceOfTheWriteKey) {
    TestAppHome home;
    std::string anonymousId;
    {
        auto first = Analytics::make(enginetest::configuration("persisted"));
        anonymousId = first->store()->currentState<UserInfo>()->anonymousId;
        EXPECT_TRUE(testing::isUpperCaseUUID(anonymousId));
        first->identify("user-1",
                        platform::AnyDictionary{{"age", 41}, {"score", platform::Decimal::parse("0.1").value()}});
        EXPECT_EQ(first->settings(), Settings("persisted"));
        drainMainQueue();
    }
    auto second = Analytics::make(enginetest::configuration("persisted"));
    const auto user = *second->store()->currentState<UserInfo>();
    EXPECT_EQ(user.anonymousId, anonymousId);
    EXPECT_EQ(user.userId, "user-1");
    ASSERT_TRUE(user.traits.has_value());
    EXPECT_EQ((*user.traits)["score"]->decimalValue(), platform::Decimal::parse("0.1"));
    EXPECT_EQ(second->settings(), Settings("persisted"));

    // Another write key has its own suite and a fresh anonymous id.
    auto other = Analytics::make(enginetest::configuration("other"));
    EXPECT_NE(other->store()->currentState<UserInfo>()->anonymousId, anonymousId);
    EXPECT_FALSE(other->store()->currentState<UserInfo>()->userId.has_value());
    drainMainQueue();
}

TEST(EngineInstance, StoredSettingsWinOverDefaultSettingsWhichWinOverTheWriteKey) {
    TestAppHome home;
    auto withDefaults = enginetest::configuration("k");
    withDefaults->modifyValues(
        [](Configuration::Values& values) { values.defaultSettings = Settings("k", "default"); });
    {
        auto analytics = Analytics::make(withDefaults);
        EXPECT_EQ(analytics->settings(), Settings("k", "default"));
        drainMainQueue();
    }
    auto stored = Storage::make("k", nullptr);
    stored->write(Storage::Constants::settings, Settings("k", "stored"));
    stored.reset();
    auto analytics = Analytics::make(withDefaults);
    EXPECT_EQ(analytics->settings(), Settings("k", "stored"));
    drainMainQueue();
}

TEST(EngineInstance, TheSharedSlotHoldsTheLatestInstance) {
    TestAppHome home;
    auto first = Analytics::make(enginetest::configuration("a"));
    Analytics::setSharedInstance(first);
    EXPECT_EQ(Analytics::sharedInstance(), first);
    auto second = Analytics::make(enginetest::configuration("a"));
    Analytics::setSharedInstance(second);
    EXPECT_EQ(Analytics::sharedInstance(), second);
    EXPECT_NE(first->store(), second->store());
    EXPECT_EQ(Analytics::sharedAnalytics(), second);
    drainMainQueue();
}

TEST(EngineInstanceDeathTest, ReadingTheSharedInstanceBeforeStartUpStops) {
    EXPECT_DEATH(Analytics::sharedInstance(),
                 "Use Analytics before setup. Please call `QORSDK.start\\(\\)` before you do any other things");
}

TEST(ISO8601Formatter, WritesUTCWithMillisecondsWhateverTheLocalZone) {
    testing::ScopedEnvironment zone("TZ", "Asia/Kolkata");
    // 2024-03-05T08:15:30.123999Z: the fraction is cut to the millisecond.
    const auto date =
        platform::Date{std::chrono::system_clock::time_point(std::chrono::microseconds(1709626530123999LL))};
    EXPECT_EQ(sharedISO8601Formatter().string(date), "2024-03-05T08:15:30.123Z");
    const auto epoch = platform::Date{std::chrono::system_clock::time_point()};
    EXPECT_EQ(sharedISO8601Formatter().string(epoch), "1970-01-01T00:00:00.000Z");
    const auto beforeEpoch = platform::Date{std::chrono::system_clock::time_point(std::chrono::milliseconds(-1))};
    EXPECT_EQ(sharedISO8601Formatter().string(beforeEpoch), "1969-12-31T23:59:59.999Z");
}

}  // namespace
}  // namespace qor
