#include <gtest/gtest.h>

#include <thread>

#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/Foundation/Thread.h"
#include "Platform/UIKit/UIApplication.h"
#include "testing/MainLoopPump.h"
#include "testing/PlatformProbes.h"

namespace qor::platform {
namespace {

// Records the application's notifications with the thread they arrived on.
class NotificationLog {
public:
    NotificationLog() {
        for (const char* name :
             {UIApplicationNotification::didFinishLaunching, UIApplicationNotification::didBecomeActive,
              UIApplicationNotification::willResignActive, UIApplicationNotification::didEnterBackground,
              UIApplicationNotification::willEnterForeground,
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
    const auto bundle = Bundle::main();
    const auto path = bundle->bundlePath();
    bundle->setBundlePath("/apps/Share.appex");
    EXPECT_EQ(UIApplication::shared(), nullptr);
    bundle->setBundlePath(path);
    EXPECT_NE(UIApplication::shared(), nullptr);
}

}  // namespace
}  // namespace qor::platform
