#include <gtest/gtest.h>

#include "Analytics/QORDestination.h"
#include "Analytics/iOSLifecycleEvents.h"
#include "Analytics/iOSLifecycleMonitor.h"
#include "DeliveryTestSupport.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/UIKit/UIApplication.h"

namespace qor {
namespace {

using deliverytest::DeliveryEnvironment;
using enginetest::RecordingPlugin;
using platform::Any;
using platform::AnyDictionary;

class LifecycleTest : public ::testing::Test {
protected:
    std::shared_ptr<Analytics> start(bool trackLifecycle = true, bool destination = false) {
        auto analytics = environment.start([&](Configuration::Values& values) {
            values.trackApplicationLifecycleEvents = trackLifecycle;
            values.autoAddQORDestination = destination;
        });
        recorder = std::make_shared<RecordingPlugin>(PluginType::after);
        analytics->add(recorder);
        return analytics;
    }

    std::vector<TrackEvent> tracked() const {
        std::vector<TrackEvent> events;
        for (const auto& event : recorder->seen()) {
            if (const auto* track = std::get_if<TrackEvent>(&event)) events.push_back(*track);
        }
        return events;
    }

    static AnyDictionary properties(const TrackEvent& event) {
        return JSON::anyDictionary(*event.properties->object());
    }

    static void rememberLaunch(const std::string& version, const std::string& build) {
        auto defaults = platform::UserDefaults::standard();
        defaults->set(platform::PlistValue(version), iOSLifecycleEvents::versionKey);
        defaults->set(platform::PlistValue(build), iOSLifecycleEvents::buildKey);
    }

    DeliveryEnvironment environment;
    std::shared_ptr<RecordingPlugin> recorder;
    std::shared_ptr<platform::UIApplication> application = platform::UIApplication::shared();
};

TEST_F(LifecycleTest, FirstLaunchIsAnInstallThenAnOpening) {
    auto analytics = start();
    application->postLaunch(AnyDictionary{{platform::UIApplicationLaunchOptionsKey::sourceApplication, "com.mail"},
                                          {platform::UIApplicationLaunchOptionsKey::url, "qor://open/1"}});
    const auto events = tracked();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].event, "Application Installed");
    EXPECT_EQ(properties(events[0]), (AnyDictionary{{"version", "1.2.3"}, {"build", "42"}}));
    EXPECT_EQ(events[1].event, "Application Opened Not Background");
    EXPECT_EQ(properties(events[1]), (AnyDictionary{{"from_background", false},
                                                    {"version", "1.2.3"},
                                                    {"build", "42"},
                                                    {"referring_application", "com.mail"},
                                                    {"url", "qor://open/1"}}));
    const auto defaults = platform::UserDefaults::standard();
    EXPECT_EQ(defaults->stringForKey("VersionKey"), "1.2.3");
    EXPECT_EQ(defaults->stringForKey("BuildKeyV2"), "42");
}

TEST_F(LifecycleTest, ANewBuildIsAnUpdateAndTheSameBuildOnlyAnOpening) {
    rememberLaunch("1.2.2", "41");
    auto analytics = start();
    application->postLaunch();
    auto events = tracked();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].event, "Application Updated");
    EXPECT_EQ(properties(events[0]),
              (AnyDictionary{
                  {"previous_version", "1.2.2"}, {"previous_build", "41"}, {"version", "1.2.3"}, {"build", "42"}}));
    EXPECT_EQ(properties(events[1]).at("referring_application"), Any(""));

    // The next launch handler run sees the build it stored.
    analytics->find<iOSLifecycleEvents>()->applicationDidFinishLaunching(application, std::nullopt);
    events = tracked();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[2].event, "Application Opened Not Background");
}

TEST_F(LifecycleTest, WithoutABuildNumberEveryLaunchIsAnInstall) {
    platform::Bundle::main()->setInfoDictionary(deliverytest::appInfo(std::nullopt));
    rememberLaunch("1.2.3", "42");
    platform::UserDefaults::standard()->removeObject("BuildKeyV2");
    auto analytics = start();
    application->postLaunch();
    auto events = tracked();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events[0].event, "Application Installed");
    EXPECT_EQ(properties(events[0]).at("build"), Any(""));
    EXPECT_FALSE(platform::UserDefaults::standard()->stringForKey("BuildKeyV2").has_value());
}

TEST_F(LifecycleTest, ForegroundAndBackgroundAreTracked) {
    auto analytics = start();
    application->postLaunch();
    application->postEnterBackground();
    application->postEnterForeground();
    const auto events = tracked();
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[2].event, "Application Backgrounded");
    EXPECT_FALSE(events[2].properties.has_value());
    EXPECT_EQ(events[3].event, "Application Opened Background");
    EXPECT_EQ(properties(events[3]), (AnyDictionary{{"from_background", true}, {"version", "1.2.3"}, {"build", "42"}}));
}

TEST_F(LifecycleTest, BecomingActiveAfterAMissedLaunchRunsTheLaunchHandlerOnce) {
    auto analytics = start();
    application->postDidBecomeActive();
    application->postDidBecomeActive();
    const auto events = tracked();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].event, "Application Installed");
    EXPECT_TRUE(analytics->find<iOSLifecycleEvents>()->didFinishLaunching());
}

TEST_F(LifecycleTest, SwitchedOffTrackingStillFlushesInTheBackground) {
    auto analytics = start(false, true);
    EXPECT_FALSE(analytics->find<iOSLifecycleEvents>());
    auto events = std::make_shared<iOSLifecycleEvents>();
    analytics->add(events);  // installed by hand, it still obeys the configuration
    analytics->track("Plain");
    application->postLaunch();
    application->postEnterBackground();
    ASSERT_TRUE(environment.collection().waitForPosts(1));
    EXPECT_EQ(deliverytest::eventNames(environment.collection().receivedBodies().front()),
              std::vector<std::string>{"Plain"});
    EXPECT_EQ(tracked().size(), 1u);
}

TEST_F(LifecycleTest, TheMonitorHandsEveryNotificationToTheAdopters) {
    struct Adopter : PlatformPlugin, iOSLifecycle {
        PluginType type() const override { return PluginType::enrichment; }
        void applicationWillResignActive(const Application& app) override { seen.push_back(app ? "resign" : "?"); }
        void applicationDidReceiveMemoryWarning(const Application&) override { seen.push_back("memory"); }
        void applicationWillTerminate(const Application&) override { seen.push_back("terminate"); }
        void applicationSignificantTimeChange(const Application&) override { seen.push_back("time"); }
        void applicationBackgroundRefreshDidChange(const Application&,
                                                   platform::UIBackgroundRefreshStatus status) override {
            seen.push_back(status == platform::UIBackgroundRefreshStatus::denied ? "denied" : "refresh");
        }
        std::vector<std::string> seen;
    };
    auto analytics = start(false);
    auto adopter = std::make_shared<Adopter>();
    analytics->add(adopter);
    application->postWillResignActive();
    application->postMemoryWarning();
    application->postWillTerminate();
    application->postSignificantTimeChange();
    application->setBackgroundRefreshStatus(platform::UIBackgroundRefreshStatus::denied);
    // Another sender's notifications are not the application's.
    platform::NotificationCenter::defaultCenter()->post(platform::UIApplicationNotification::willTerminate,
                                                        std::make_shared<int>(1));
    EXPECT_EQ(adopter->seen, (std::vector<std::string>{"resign", "memory", "terminate", "time", "denied"}));
    EXPECT_EQ(analytics->find<iOSLifecycleMonitor>()->application(), application);
}

}  // namespace
}  // namespace qor
