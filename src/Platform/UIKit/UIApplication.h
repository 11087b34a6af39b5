#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Foundation/Any.h"
#include "Platform/Foundation/URL.h"
#include "Platform/UIKit/UIApplicationTypes.h"

namespace qor::platform {

// The app's lifecycle notifications, posted by the shared application on the main thread
// with the application as their object.
namespace UIApplicationNotification {
inline constexpr const char* didEnterBackground = "UIApplicationDidEnterBackgroundNotification";
inline constexpr const char* willEnterForeground = "UIApplicationWillEnterForegroundNotification";
inline constexpr const char* didFinishLaunching = "UIApplicationDidFinishLaunchingNotification";
inline constexpr const char* didBecomeActive = "UIApplicationDidBecomeActiveNotification";
inline constexpr const char* willResignActive = "UIApplicationWillResignActiveNotification";
inline constexpr const char* didReceiveMemoryWarning = "UIApplicationDidReceiveMemoryWarningNotification";
inline constexpr const char* willTerminate = "UIApplicationWillTerminateNotification";
inline constexpr const char* significantTimeChange = "UIApplicationSignificantTimeChangeNotification";
inline constexpr const char* backgroundRefreshStatusDidChange =
    "UIApplicationBackgroundRefreshStatusDidChangeNotification";
}  // namespace UIApplicationNotification

using UIBackgroundTaskIdentifier = std::uint64_t;
inline constexpr UIBackgroundTaskIdentifier UIBackgroundTaskInvalid = 0;

// The running app. There is one per process, and none inside an app extension (a main bundle
// whose path ends in ".appex").
//
// Nothing drives it by itself: the host (an app's platform glue, the example app, a test) tells
// it what happens with the post... calls, which change the state and post the matching
// notifications to the default notification center on the main thread (at once when called
// there, otherwise through the main queue). Background tasks last until they are ended or until
// the host lets their time run out with expireBackgroundTasks().
class UIApplication : public std::enable_shared_from_this<UIApplication> {
public:
    // nullptr inside an app extension.
    static std::shared_ptr<UIApplication> shared();

    UIApplicationState applicationState() const;
    UIBackgroundRefreshStatus backgroundRefreshStatus() const;

    // A new identifier (never UIBackgroundTaskInvalid). The handler runs on the main thread
    // when the task's time runs out; it should end the task.
    UIBackgroundTaskIdentifier beginBackgroundTask(std::optional<std::string> name,
                                                   std::function<void()> expirationHandler);
    UIBackgroundTaskIdentifier beginBackgroundTask(std::function<void()> expirationHandler) {
        return beginBackgroundTask(std::nullopt, std::move(expirationHandler));
    }
    // Ending an unknown or already ended task does nothing.
    void endBackgroundTask(UIBackgroundTaskIdentifier identifier);

    // http and https URLs, and any scheme the host has declared with setURLOpener; or, once the
    // host has set one, what its policy says (the policy runs on the calling thread).
    bool canOpenURL(const URL& url) const;
    // Hands the URL to the host's opener; false when the URL cannot be opened.
    bool openURL(const URL& url);
    // openURL, then the completion with its answer on the main thread, on a later turn of the
    // main run loop.
    void open(const URL& url, std::function<void(bool)> completionHandler = {});

    // MARK: The host's controls

    // Launch: did finish launching (the options as its user info), then did become active.
    void postLaunch(std::optional<UIApplicationLaunchOptions> options = std::nullopt);
    // Will resign active, then did enter background.
    void postEnterBackground();
    // Will enter foreground, then did become active.
    void postEnterForeground();
    void postWillResignActive();
    void postDidBecomeActive();
    void postMemoryWarning();
    void postWillTerminate();
    void postSignificantTimeChange();
    // Changes the status and posts the change notification.
    void setBackgroundRefreshStatus(UIBackgroundRefreshStatus status);

    // Runs the expiration handler of every running background task, on the main thread.
    void expireBackgroundTasks();
    std::vector<UIBackgroundTaskIdentifier> backgroundTasks() const;
    std::optional<std::string> backgroundTaskName(UIBackgroundTaskIdentifier identifier) const;

    // Receives opened URLs; `schemes` are the extra schemes canOpenURL accepts.
    void setURLOpener(std::function<void(const URL&)> opener, std::vector<std::string> schemes = {});
    // Decides canOpenURL in place of the scheme rule; an empty function restores the rule.
    void setCanOpenURLPolicy(std::function<bool(const URL&)> policy);

    UIApplication() = default;
    UIApplication(const UIApplication&) = delete;
    UIApplication& operator=(const UIApplication&) = delete;

private:
    struct BackgroundTask {
        std::optional<std::string> name;
        std::function<void()> expirationHandler;
    };

    // Sets the state (when given) and posts the names in order, on the main thread.
    void postOnMain(std::optional<UIApplicationState> state, std::vector<const char*> names,
                    std::optional<AnyDictionary> userInfo = std::nullopt);

    mutable std::mutex mutex_;
    UIApplicationState state_ = UIApplicationState::inactive;
    UIBackgroundRefreshStatus refreshStatus_ = UIBackgroundRefreshStatus::available;
    UIBackgroundTaskIdentifier nextTask_ = 1;
    std::map<UIBackgroundTaskIdentifier, BackgroundTask> tasks_;
    std::function<void(const URL&)> opener_;
    std::vector<std::string> openerSchemes_;
    std::function<bool(const URL&)> canOpenPolicy_;
};

}  // namespace qor::platform
