#include <gtest/gtest.h>

#include "Analytics/Context.h"
#include "Analytics/DeviceToken.h"
#include "Core/SDKLogCapture.h"
#include "DeliveryTestSupport.h"
#include "testing/TextShapes.h"

namespace qor {
namespace {

using deliverytest::DeliveryEnvironment;
using enginetest::RecordingPlugin;
using platform::Any;
using platform::AnyDictionary;

class ContextTest : public ::testing::Test {
protected:
    std::shared_ptr<Analytics> start() {
        auto analytics = environment.start([](Configuration::Values& values) {
            values.autoAddQORDestination = false;
            values.trackApplicationLifecycleEvents = false;
        });
        recorder = std::make_shared<RecordingPlugin>(PluginType::after);
        analytics->add(recorder);
        return analytics;
    }

    // The context of the last event the recorder saw, as plain values.
    AnyDictionary lastContext() const {
        const auto events = recorder->seen();
        const auto& context = common(events.back()).context;
        if (!context || !context->object()) return {};
        return JSON::anyDictionary(*context->object());
    }

    static TrackEvent withContext(std::optional<JSON> context) {
        TrackEvent event("Direct", std::nullopt);
        event.context = std::move(context);
        return event;
    }

    DeliveryEnvironment environment;
    std::shared_ptr<RecordingPlugin> recorder;
};

TEST_F(ContextTest, EveryEventCarriesTheGatheredFacts) {
    auto analytics = start();
    ASSERT_TRUE(testing::pumpMainUntil([&] { return analytics->find<Context>()->staticContext().contains("ip"); }));
    analytics->track("Facts");
    const auto context = lastContext();

    EXPECT_EQ(context.at("library"), Any(AnyDictionary{{"name", "lumatix-universal-sdk"}, {"version", "0.1.19"}}));
    EXPECT_EQ(context.at("app"), Any(AnyDictionary{{"name", "Delivery Tests"},
                                                   {"version", "1.2.3"},
                                                   {"build", "42"},
                                                   {"namespace", "io.qor.delivery-tests"}}));
    EXPECT_EQ(context.at("device"), Any(AnyDictionary{{"manufacturer", "Apple"},
                                                      {"type", "ios"},
                                                      {"model", "iPhone14,2"},
                                                      {"name", "iPhone"},
                                                      {"id", "0A1B2C3D-0000-4000-8000-00000000ABCD"}}));
    EXPECT_EQ(context.at("os"), Any(AnyDictionary{{"name", "iOS"}, {"version", "17.4"}}));
    EXPECT_EQ(context.at("screen"), Any(AnyDictionary{{"width", "375.0"}, {"height", "812.0"}, {"density", "3.0"}}));
    EXPECT_EQ(context.at("userAgent"), Any("Mozilla/5.0 (iPhone; CPU iPhone OS 17_4 like Mac OS X)"));
    EXPECT_EQ(context.at("locale"), Any("en-US"));
    EXPECT_EQ(context.at("timezone"), Any("Europe/Berlin"));
    EXPECT_EQ(context.at("channel"), Any("mobile"));
    EXPECT_EQ(context.at("network"),
              Any(AnyDictionary{{"bluetooth", "false"}, {"cellular", "false"}, {"wifi", "true"}}));
    EXPECT_EQ(context.at("ip"), Any("203.0.113.7"));
    const auto& session = context.at("session").asDictionary();
    EXPECT_TRUE(testing::isUpperCaseUUID(session.at("id").asString()));
    EXPECT_TRUE(testing::isISOTimestamp(session.at("startedAt").asString()));
    EXPECT_FALSE(context.contains("traits"));

    // The network is read for every event; the session stays that of the plugin.
    platform::updateDeviceProfile([](platform::DeviceProfile& profile) {
        profile.reachability = platform::ReachabilityFacts::fixed(platform::kSCNetworkReachabilityFlagsReachable |
                                                                  platform::kSCNetworkReachabilityFlagsIsWWAN);
    });
    analytics->track("Cellular");
    EXPECT_EQ(lastContext().at("network").asDictionary().at("cellular"), Any("true"));
    EXPECT_EQ(lastContext().at("session"), context.at("session"));
}

TEST_F(ContextTest, EventKeysWinOverThePluginsAndTraitsWinOverBoth) {
    auto analytics = start();
    auto context = analytics->find<Context>();
    auto own = withContext(JSON(JSON::Object{{"channel", "web"}, {"traits", JSON(JSON::Object{{"plan", "old"}})}}));
    auto result = context->execute(own);
    auto merged = JSON::anyDictionary(*common(*result).context->object());
    EXPECT_EQ(merged.at("channel"), Any("web"));
    EXPECT_EQ(merged.at("traits"), Any(AnyDictionary{{"plan", "old"}}));  // no user traits yet

    analytics->identify("user-1", AnyDictionary{{"plan", "pro"}});
    result = context->execute(own);
    merged = JSON::anyDictionary(*common(*result).context->object());
    EXPECT_EQ(merged.at("traits"), Any(AnyDictionary{{"plan", "pro"}}));
    EXPECT_EQ(merged.at("channel"), Any("web"));

    // A context that is not an object leaves no trace.
    result = context->execute(withContext(JSON("just text")));
    merged = JSON::anyDictionary(*common(*result).context->object());
    EXPECT_EQ(merged.at("channel"), Any("mobile"));
}

TEST(ContextText, TheTraceGivesTheAddressOnlyFromAnIpLineWithAValue) {
    EXPECT_EQ(Context::addressFromTrace("fl=1\nh=x\nip=2001:DB8::1\nts=5"), "2001:db8::1");
    EXPECT_EQ(Context::addressFromTrace("ip=198.51.100.4\r\nts=5\r\n"), "198.51.100.4");
    EXPECT_EQ(Context::addressFromTrace("fl=1\nvip=1.1.1.1\nip=10.0.0.1\nip=10.0.0.2"), "10.0.0.1");
    EXPECT_FALSE(Context::addressFromTrace("fl=1\nh=x\nts=5").has_value());
    EXPECT_FALSE(Context::addressFromTrace("fl=1\nip=\nts=5").has_value());
    EXPECT_FALSE(Context::addressFromTrace("").has_value());
}

TEST_F(ContextTest, AFailedLookupIsWrittenToTheDebugOutputAndStoresNothing) {
    test::SDKLogCapture output;
    environment.ipEcho().answerWith(200, "fl=1\nip=\nts=5\n");
    auto analytics = start();
    ASSERT_TRUE(testing::pumpMainUntil([&] { return !output.lines().empty(); }));
    // The error's own textual form, not its description.
    EXPECT_EQ(output.lines().front(),
              "[QORSDK] Couldn't detect IP Address: generalError(reason: .coreError(string: \"Failed to get IP "
              "Address\"))\n");
    EXPECT_FALSE(analytics->find<Context>()->staticContext().contains("ip"));
}

TEST_F(ContextTest, AFailedLookupKeepsItsCauseInTheDebugOutput) {
    test::SDKLogCapture output;
    testing::ScopedEnvironment nowhere("QOR_IP_ECHO_URL",
                                       "http://127.0.0.1:" + std::to_string(testing::LoopbackServer::unusedPort()));
    auto analytics = start();
    ASSERT_TRUE(testing::pumpMainUntil([&] { return !output.lines().empty(); }));
    // Not "Not yet implemented: ": the transport's own error.
    EXPECT_EQ(
        output.lines().front().rfind(
            "[QORSDK] Couldn't detect IP Address: responseFailed(reason: .URLSessionError(URLError(code: -1004, ", 0),
        0u)
        << output.lines().front();
}

TEST(ContextText, ScreenMeasuresAreTextsWithAFractionalPart) {
    EXPECT_EQ(Context::numberText(390), "390.0");
    EXPECT_EQ(Context::numberText(2.5), "2.5");
    EXPECT_EQ(Context::numberText(0), "0.0");
}

TEST_F(ContextTest, TheDeviceTokenJoinsTheDeviceObject) {
    auto analytics = start();
    analytics->track("Before token");
    EXPECT_FALSE(lastContext().at("device").asDictionary().contains("token"));

    analytics->setDeviceToken("first");
    analytics->setDeviceToken("a1b2c3");
    analytics->track("After token");
    const auto device = lastContext().at("device").asDictionary();
    EXPECT_EQ(device.at("token"), Any("a1b2c3"));
    EXPECT_EQ(device.at("manufacturer"), Any("Apple"));
    int tokens = 0;
    analytics->apply(
        [&](const std::shared_ptr<Plugin>& plugin) { tokens += dynamic_cast<DeviceToken*>(plugin.get()) != nullptr; });
    EXPECT_EQ(tokens, 1);
}

TEST_F(ContextTest, TheDeviceTokenReplacesADeviceThatIsNoObjectAndMakesNoContext) {
    DeviceToken plugin;
    plugin.setToken("t");
    auto result = plugin.execute(withContext(JSON(JSON::Object{{"device", "phone"}, {"locale", "de"}})));
    EXPECT_EQ(JSON::anyDictionary(*common(*result).context->object()),
              (AnyDictionary{{"device", AnyDictionary{{"token", "t"}}}, {"locale", "de"}}));
    result = plugin.execute(withContext(std::nullopt));
    EXPECT_FALSE(common(*result).context.has_value());
    plugin.setToken(std::nullopt);
    const auto untouched = withContext(JSON(JSON::Object{{"locale", "de"}}));
    EXPECT_EQ(std::get<TrackEvent>(*plugin.execute(untouched)), untouched);
}

TEST_F(ContextTest, ADeviceTokenIsAddedWhenTheTimelineHasNone) {
    auto analytics = start();
    analytics->remove(analytics->find<DeviceToken>());
    ASSERT_FALSE(analytics->find<DeviceToken>());
    analytics->setDeviceToken("late");
    const auto before = analytics->timeline()->mediator(PluginType::before).plugins();
    EXPECT_TRUE(std::dynamic_pointer_cast<DeviceToken>(before.back()));
    analytics->track("Stamped");
    EXPECT_EQ(lastContext().at("device").asDictionary().at("token"), Any("late"));
}

}  // namespace
}  // namespace qor
