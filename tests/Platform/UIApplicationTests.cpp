#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

#include "Platform/Dispatch/Thread.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/Host/Host.h"
#include "Platform/UIKit/UIApplication.h"
#include "Platform/UIKit/UIDevice.h"
#include "testing/MainLoopPump.h"
#include "testing/UIProbes.h"

namespace qor::platform {
namespace {

// Records the application's notifications with the thread they arrived on.
class NotificationLog {
public:
    NotificationLog() {
        for (const char* name :
             {UIApplicationNotification::didFinishLaunching, UIApplicationNotification::didBecomeActive,
              UIApplicationNotification::willResignActive, UIApplicationNotification::didEnterBackground,
              UIApplicationNotification::willEnterForeground, UIApplicationNotification::didReceiveMemoryWarning,
              UIApplicationNotification::willTerminate, UIApplicationNotification::significantTimeChange,
              UIApplicationNotification::backgroundRefreshStatusDidChange}) {
            observers_.push_back(NotificationCenter::defaultCenter()->addObserver(
                name, UIApplication::shared(), nullptr, [this](const Notification& posted) {
                    std::lock_guard<std::mutex> guard(mutex_);
                    entries_.push_back(posted);
                    onMain_ = onMain_ && Thread::isMainThread();
                    states_.push_back(UIApplication::shared()->applicationState());
                }));
        }
    }
    ~NotificationLog() {
        for (const auto& observer : observers_) NotificationCenter::defaultCenter()->removeObserver(observer);
    }
    std::vector<std::string> names() const {
        std::lock_guard<std::mutex> guard(mutex_);
        std::vector<std::string> result;
        for (const auto& entry : entries_) result.push_back(entry.name);
        return result;
    }
    std::vector<Notification> entries() const {
        std::lock_guard<std::mutex> guard(mutex_);
        return entries_;
    }
    std::vector<UIApplicationState> states() const {
        std::lock_guard<std::mutex> guard(mutex_);
        return states_;
    }
    bool allOnMain() const {
        std::lock_guard<std::mutex> guard(mutex_);
        return onMain_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<Notification> entries_;
    std::vector<UIApplicationState> states_;
    bool onMain_ = true;
    std::vector<std::shared_ptr<NotificationCenter::Observer>> observers_;
};

TEST(UIApplication, LifecycleNotificationsArePostedOnTheMainThreadWithTheirStates) {
    NotificationLog log;
    const auto application = UIApplication::shared();
    std::thread host([&] { application->postLaunch(AnyDictionary{{UIApplicationLaunchOptionsKey::url, "qor://x"}}); });
    host.join();
    EXPECT_TRUE(log.names().empty());  // waiting for the main run loop
    ASSERT_TRUE(testing::pumpMainUntil([&] { return log.names().size() == 2; }));

    application->postEnterBackground();
    application->postEnterForeground();
    EXPECT_EQ(log.names(),
              (std::vector<std::string>{
                  UIApplicationNotification::didFinishLaunching, UIApplicationNotification::didBecomeActive,
                  UIApplicationNotification::willResignActive, UIApplicationNotification::didEnterBackground,
                  UIApplicationNotification::willEnterForeground, UIApplicationNotification::didBecomeActive}));
    EXPECT_EQ(log.states()[1], UIApplicationState::active);
    EXPECT_EQ(log.states()[3], UIApplicationState::background);
    EXPECT_EQ(application->applicationState(), UIApplicationState::active);
    EXPECT_TRUE(log.allOnMain());
    const auto entries = log.entries();
    EXPECT_EQ(entries[0].userInfo->at(UIApplicationLaunchOptionsKey::url), Any("qor://x"));
    EXPECT_FALSE(entries[1].userInfo.has_value());
    EXPECT_EQ(entries[0].object.get(), application.get());
}

TEST(UIApplication, BackgroundTasksLastUntilEndedOrExpired) {
    const auto application = UIApplication::shared();
    int expired = 0;
    UIBackgroundTaskIdentifier first = UIBackgroundTaskInvalid;
    first = application->beginBackgroundTask("upload", [&] {
        ++expired;
        application->endBackgroundTask(first);
    });
    const auto second = application->beginBackgroundTask([] {});
    EXPECT_NE(first, UIBackgroundTaskInvalid);
    EXPECT_NE(first, second);
    EXPECT_EQ(application->backgroundTaskName(first), "upload");
    application->endBackgroundTask(second);
    application->endBackgroundTask(second);  // twice is harmless

    application->expireBackgroundTasks();
    EXPECT_EQ(expired, 1);
    EXPECT_TRUE(application->backgroundTasks().empty());
}

TEST(UIApplication, RefreshStatusChangesAreAnnounced) {
    NotificationLog log;
    const auto application = UIApplication::shared();
    EXPECT_EQ(application->backgroundRefreshStatus(), UIBackgroundRefreshStatus::available);
    application->setBackgroundRefreshStatus(UIBackgroundRefreshStatus::restricted);
    EXPECT_EQ(application->backgroundRefreshStatus(), UIBackgroundRefreshStatus::restricted);
    EXPECT_EQ(log.names(), std::vector<std::string>{UIApplicationNotification::backgroundRefreshStatusDidChange});
}

TEST(UIApplication, OpensWebLinksAndDeclaredSchemesOnly) {
    const auto application = UIApplication::shared();
    std::vector<std::string> opened;
    application->setURLOpener([&](const URL& url) { opened.push_back(url.absoluteString()); }, {"qor"});
    EXPECT_TRUE(application->openURL(*URL::make("https://example.test/a")));
    EXPECT_TRUE(application->openURL(*URL::make("QOR://deep")));
    EXPECT_FALSE(application->canOpenURL(*URL::make("mailto:x@example.test")));
    EXPECT_FALSE(application->openURL(*URL::make("mailto:x@example.test")));
    EXPECT_EQ(opened.size(), 2u);
}

TEST(UIApplication, AHostPolicyDecidesWhatOpensAndOpenedURLsAreRecorded) {
    const auto application = UIApplication::shared();
    application->setURLOpener({});
    qor::testing::clearOpenedURLs();
    application->setCanOpenURLPolicy([](const URL& url) { return url.host() == "ads.example.test"; });
    EXPECT_FALSE(application->canOpenURL(*URL::make("https://other.example.test/")));
    std::vector<bool> answers;
    application->open(*URL::make("myapp://ads.example.test/x"), [&](bool opened) {
        answers.push_back(opened);
        EXPECT_TRUE(Thread::isMainThread());
    });
    application->open(*URL::make("https://other.example.test/"), [&](bool opened) { answers.push_back(opened); });
    EXPECT_TRUE(answers.empty());  // answered on a later turn of the main run loop
    ASSERT_TRUE(testing::pumpMainUntil([&] { return answers.size() == 2; }));
    EXPECT_EQ(answers, (std::vector<bool>{true, false}));
    EXPECT_EQ(qor::testing::openedURLs(), (std::vector<URL>{*URL::make("myapp://ads.example.test/x")}));

    application->setCanOpenURLPolicy({});  // back to the scheme rule
    EXPECT_TRUE(application->canOpenURL(*URL::make("https://other.example.test/")));
    qor::testing::clearOpenedURLs();
}

TEST(UIApplication, AnAppExtensionHasNoSharedApplication) {
    NotificationLog log;
    const auto path = Bundle::main()->bundlePath();
    host::setBundlePath("/apps/Share.appex");
    EXPECT_EQ(UIApplication::shared(), nullptr);
    // The host's calls have no application to act on, and say so.
    EXPECT_FALSE(host::postLaunch());
    EXPECT_FALSE(host::expireBackgroundTasks());
    EXPECT_FALSE(host::setURLOpener([](const URL&) {}));
    host::setBundlePath(path);
    EXPECT_NE(UIApplication::shared(), nullptr);
    EXPECT_TRUE(log.names().empty());
}

// A host drives everything through its own API: each call must reach its own platform control.
TEST(UIApplication, TheHostAPIReachesTheApplicationTheBundleAndTheDevice) {
    namespace note = UIApplicationNotification;
    NotificationLog log;
    const auto application = UIApplication::shared();
    EXPECT_EQ(&host::mainRunLoop(), &RunLoop::main());
    EXPECT_TRUE(host::postLaunch(AnyDictionary{{UIApplicationLaunchOptionsKey::sourceApplication, "mail"}}));
    for (bool (*post)() :
         {host::postEnterBackground, host::postEnterForeground, host::postWillResignActive, host::postDidBecomeActive,
          host::postMemoryWarning, host::postWillTerminate, host::postSignificantTimeChange}) {
        EXPECT_TRUE(post());
    }
    EXPECT_TRUE(host::setBackgroundRefreshStatus(UIBackgroundRefreshStatus::denied));
    EXPECT_EQ(log.names(),
              (std::vector<std::string>{note::didFinishLaunching, note::didBecomeActive, note::willResignActive,
                                        note::didEnterBackground, note::willEnterForeground, note::didBecomeActive,
                                        note::willResignActive, note::didBecomeActive, note::didReceiveMemoryWarning,
                                        note::willTerminate, note::significantTimeChange,
                                        note::backgroundRefreshStatusDidChange}));
    EXPECT_EQ(log.entries()[0].userInfo->at(UIApplicationLaunchOptionsKey::sourceApplication), Any("mail"));
    EXPECT_EQ(application->backgroundRefreshStatus(), UIBackgroundRefreshStatus::denied);
    host::setBackgroundRefreshStatus(UIBackgroundRefreshStatus::available);
    bool expired = false;
    const auto task = application->beginBackgroundTask([&] { expired = true; });
    EXPECT_TRUE(host::expireBackgroundTasks());
    EXPECT_TRUE(expired);
    application->endBackgroundTask(task);

    std::vector<std::string> opened;
    EXPECT_TRUE(host::setURLOpener([&](const URL& url) { opened.push_back(url.absoluteString()); }, {"qor"}));
    EXPECT_TRUE(application->openURL(*URL::make("qor://deep")));
    EXPECT_TRUE(host::setCanOpenURLPolicy([](const URL& url) { return url.scheme() == "tel"; }));
    EXPECT_FALSE(application->openURL(*URL::make("qor://deep")));
    EXPECT_TRUE(application->openURL(*URL::make("tel:123")));
    EXPECT_EQ(opened, (std::vector<std::string>{"qor://deep", "tel:123"}));
    host::setCanOpenURLPolicy({});
    host::setURLOpener({});

    host::setInfoDictionary(PlistDictionary{{"CFBundleIdentifier", "io.example.host"}});
    EXPECT_THROW(host::loadInfoDictionary("/nonexistent/Info.plist"), std::runtime_error);
    EXPECT_EQ(Bundle::main()->bundleIdentifier(), "io.example.host");  // a failed load keeps what was set
    host::resetInfoDictionary();
    EXPECT_NE(Bundle::main()->bundleIdentifier(), "io.example.host");

    host::updateDeviceProfile([](DeviceProfile& profile) { profile.model = "Handset"; });
    EXPECT_EQ(UIDevice::current()->model(), "Handset");
    auto profile = host::currentDeviceProfile();
    profile.systemVersion = "17.4";
    host::setDeviceProfile(profile);
    EXPECT_EQ(UIDevice::current()->systemVersion(), "17.4");
    EXPECT_EQ(UIDevice::current()->model(), "Handset");
    host::resetDeviceProfile();
    EXPECT_EQ(UIDevice::current()->model(), hostDeviceProfile().model);
}

}  // namespace
}  // namespace qor::platform
