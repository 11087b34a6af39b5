#include <gtest/gtest.h>

#include <typeinfo>

#include "Analytics/Context.h"
#include "Analytics/DeviceToken.h"
#include "Analytics/PostBatchRequest.h"
#include "Analytics/QORDestination.h"
#include "Analytics/StartupQueue.h"
#include "Analytics/iOSLifecycleEvents.h"
#include "Analytics/iOSLifecycleMonitor.h"
#include "Analytics/iOSVendorSystem.h"
#include "Core/EncodeToDictionary.h"
#include "DeliveryTestSupport.h"

namespace qor {
namespace {

using deliverytest::DeliveryEnvironment;
using enginetest::RecordingPlugin;
using platform::Any;
using platform::AnyDictionary;

// The concrete class names of one stage, in order.
std::vector<std::string> stage(const Analytics& analytics, PluginType type) {
    std::vector<std::string> names;
    for (const auto& plugin : analytics.timeline()->mediator(type).plugins()) {
        const Plugin& object = *plugin;
        if (dynamic_cast<const Context*>(&object))
            names.push_back("Context");
        else if (dynamic_cast<const DeviceToken*>(&object))
            names.push_back("DeviceToken");
        else if (dynamic_cast<const iOSLifecycleEvents*>(&object))
            names.push_back("iOSLifecycleEvents");
        else if (dynamic_cast<const iOSLifecycleMonitor*>(&object))
            names.push_back("iOSLifecycleMonitor");
        else if (dynamic_cast<const QORDestination*>(&object))
            names.push_back("QORDestination");
        else if (dynamic_cast<const QORLog*>(&object))
            names.push_back("QORLog");
        else
            names.push_back(typeid(object).name());
    }
    return names;
}

using Names = std::vector<std::string>;

TEST(StartupInstallation, TheTimelineHoldsThePlatformPluginsInOrder) {
    DeliveryEnvironment environment;
    auto analytics = environment.start();
    EXPECT_EQ(stage(*analytics, PluginType::before), (Names{"Context", "DeviceToken", "iOSLifecycleEvents"}));
    EXPECT_TRUE(stage(*analytics, PluginType::enrichment).empty());
    EXPECT_EQ(stage(*analytics, PluginType::destination), Names{"QORDestination"});
    EXPECT_TRUE(stage(*analytics, PluginType::after).empty());
    EXPECT_EQ(stage(*analytics, PluginType::utility), (Names{"QORLog", "iOSLifecycleMonitor"}));

    // Installing again changes nothing.
    installDeliveryPlugins(*analytics);
    EXPECT_EQ(stage(*analytics, PluginType::before).size(), 3u);
    EXPECT_EQ(stage(*analytics, PluginType::destination).size(), 1u);
}

TEST(StartupInstallation, TheFlagsLeaveOutTheDestinationAndTheLifecycleEvents) {
    DeliveryEnvironment environment;
    auto analytics = environment.start([](Configuration::Values& values) {
        values.autoAddQORDestination = false;
        values.trackApplicationLifecycleEvents = false;
    });
    EXPECT_EQ(stage(*analytics, PluginType::before), (Names{"Context", "DeviceToken"}));
    EXPECT_TRUE(stage(*analytics, PluginType::destination).empty());
    EXPECT_EQ(stage(*analytics, PluginType::utility), (Names{"QORLog", "iOSLifecycleMonitor"}));
}

TEST(VendorSystemFacts, ThePlatformsSystemAnswersFromTheDevice) {
    DeliveryEnvironment environment;
    const auto current = VendorSystem::current();
    ASSERT_TRUE(std::dynamic_pointer_cast<iOSVendorSystem>(current));
    EXPECT_EQ(current->manufacturer(), "Apple");
    EXPECT_EQ(current->type(), "ios");
    EXPECT_EQ(current->model(), "iPhone14,2");
    EXPECT_EQ(current->name(), "iPhone");
    EXPECT_EQ(current->screenSize(), (ScreenSize{375.0, 812.0, 3.0}));
    platform::updateDeviceProfile([](platform::DeviceProfile& profile) {
        profile.hardwareModel.clear();
        profile.webViewUserAgent.reset();
        profile.reachability = platform::ReachabilityFacts::unavailable();
    });
    EXPECT_EQ(current->model(), "unknown");
    EXPECT_FALSE(current->userAgent().has_value());
    EXPECT_EQ(current->connection(), ConnectionStatus::unknown);

    const auto plugins = current->requiredPlugins();
    ASSERT_EQ(plugins.size(), 2u);
    EXPECT_EQ(plugins[0]->type(), PluginType::utility);
    EXPECT_TRUE(std::dynamic_pointer_cast<iOSLifecycleMonitor>(plugins[0]));
    EXPECT_TRUE(std::dynamic_pointer_cast<DeviceToken>(plugins[1]));
    EXPECT_NE(current->requiredPlugins()[1], plugins[1]);  // new objects at each read
}

TEST(VendorSystemFacts, ReachabilityFlagsGiveTheConnection) {
    using namespace platform;
    EXPECT_EQ(connectionStatus(std::nullopt), ConnectionStatus::unknown);
    EXPECT_EQ(connectionStatus(0), ConnectionStatus::offline);
    EXPECT_EQ(connectionStatus(kSCNetworkReachabilityFlagsReachable | kSCNetworkReachabilityFlagsConnectionRequired),
              ConnectionStatus::offline);
    EXPECT_EQ(connectionStatus(kSCNetworkReachabilityFlagsReachable | kSCNetworkReachabilityFlagsIsWWAN),
              ConnectionStatus::cellular);
    EXPECT_EQ(connectionStatus(kSCNetworkReachabilityFlagsReachable | kSCNetworkReachabilityFlagsIsDirect),
              ConnectionStatus::wifi);
}

struct Unencodable {
    void encode(platform::KeyedEncodingContainer& container) const { container.encode("value", std::nan("")); }
};

TEST(EncodeToDictionary, OnlyAnObjectGivesADictionary) {
    EXPECT_EQ(encodeJSONToDictionary(JSON(JSON::Object{{"a", 1}, {"b", JSON::Array{true, nullptr}}})),
              (AnyDictionary{{"a", 1}, {"b", Any::Array{true, nullptr}}}));
    EXPECT_EQ(encodeJSONToDictionary(JSON(JSON::Object{})), AnyDictionary{});
    EXPECT_FALSE(encodeJSONToDictionary(JSON(JSON::Array{1, 2})).has_value());
    EXPECT_FALSE(encodeJSONToDictionary(JSON("text")).has_value());
    EXPECT_FALSE(encodeJSONToDictionary(JSON(3)).has_value());
    EXPECT_FALSE(encodeJSONToDictionary(JSON(true)).has_value());
    EXPECT_FALSE(encodeJSONToDictionary(JSON()).has_value());
    EXPECT_FALSE(encodeToDictionary(Unencodable{}).has_value());
}

TEST(EncodeToDictionary, ABatchEnvelopeBecomesTheParametersOfItsPost) {
    struct Envelope {
        std::string writeKey;
        void encode(platform::KeyedEncodingContainer& container) const {
            container.encode("writeKey", writeKey);
            container.encode("typeSDK", std::string("adnetwork"));
        }
    };
    EXPECT_FALSE(PostBatchRequest::forBatchFile().parameters().has_value());
    const auto carrying = PostBatchRequest::carrying(Envelope{"key"});
    EXPECT_EQ(carrying.parameters(), (AnyDictionary{{"writeKey", "key"}, {"typeSDK", "adnetwork"}}));
    EXPECT_EQ(carrying.method(), HTTPMethod::post);
    EXPECT_EQ(carrying.path(), "");
}

// A store action the system itself never sends: the startup queue follows it.
struct SetRunning {
    using StateType = System;
    bool running = false;
    System reduce(const System& state) const {
        System next = state;
        next.running = running;
        return next;
    }
};

class StartupQueueTest : public ::testing::Test {
protected:
    void SetUp() override {
        analytics = environment.start([](Configuration::Values& values) {
            values.autoAddQORDestination = false;
            values.trackApplicationLifecycleEvents = false;
        });
        queue = StartupQueue::make();
        analytics->add(queue);
        recorder = std::make_shared<RecordingPlugin>(PluginType::after);
        analytics->add(recorder);
    }
    void setRunning(bool running) {
        analytics->store()->dispatch(SetRunning{running});
        enginetest::drainMainQueue();
    }
    std::vector<std::string> seenNames() const {
        std::vector<std::string> names;
        for (const auto& event : recorder->seen()) names.push_back(std::get<TrackEvent>(event).event);
        return names;
    }

    DeliveryEnvironment environment;
    std::shared_ptr<Analytics> analytics;
    std::shared_ptr<StartupQueue> queue;
    std::shared_ptr<RecordingPlugin> recorder;
};

TEST_F(StartupQueueTest, HeldEventsAreReplayedInOrderOnceRunning) {
    analytics->track("One");
    analytics->track("Two");
    EXPECT_TRUE(recorder->seen().empty());
    EXPECT_EQ(queue->queuedEventCount(), 2u);

    setRunning(true);
    EXPECT_EQ(seenNames(), (Names{"One", "Two"}));
    EXPECT_EQ(queue->queuedEventCount(), 0u);
    analytics->track("Three");
    EXPECT_EQ(seenNames(), (Names{"One", "Two", "Three"}));

    setRunning(false);
    analytics->track("Four");
    EXPECT_EQ(seenNames().size(), 3u);
    EXPECT_EQ(queue->queuedEventCount(), 1u);
}

TEST_F(StartupQueueTest, OnlyTheNewestThousandEventsAreKept) {
    for (int index = 0; index < 1001; ++index) analytics->track("E" + std::to_string(index));
    EXPECT_EQ(queue->queuedEventCount(), 1000u);
    setRunning(true);
    const auto names = seenNames();
    ASSERT_EQ(names.size(), 1000u);
    EXPECT_EQ(names.front(), "E1");
    EXPECT_EQ(names.back(), "E1000");
}

TEST_F(StartupQueueTest, ConfiguringDeliversNoStateAndAbsentEventsStayAbsent) {
    queue->setRunning(true);
    auto late = StartupQueue::make();
    late->setRunning(true);
    analytics->add(late);
    enginetest::drainMainQueue();
    EXPECT_TRUE(late->running());
    EXPECT_TRUE(queue->execute(TrackEvent("Passes", std::nullopt)).has_value());
    EXPECT_FALSE(analytics->timeline()->runStage(PluginType::before, std::optional<AnyRawEvent>()).has_value());
}

}  // namespace
}  // namespace qor
