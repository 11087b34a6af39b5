#include "Platform/UIKit/UIApplication.h"

#include "Platform/Support/ASCIIText.h"

#include <algorithm>
#include <cctype>

#include "Platform/Dispatch/DispatchQueue.h"
#include "Platform/Dispatch/Thread.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UIKit/UIKitObservation.h"

namespace qor::platform {

constinit ObserverHook<URL> observation::openedURLs;

namespace {

bool mainBundleIsAppExtension() {
    const std::string path = Bundle::main()->bundlePath();
    const std::string suffix = ".appex";
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
    return trimmed.size() >= suffix.size() &&
           trimmed.compare(trimmed.size() - suffix.size(), suffix.size(), suffix) == 0;
}

void onMainThread(std::function<void()> work) {
    if (Thread::isMainThread()) {
        work();
    } else {
        DispatchQueue::main()->async(std::move(work));
    }
}

}  // namespace

std::shared_ptr<UIApplication> UIApplication::shared() {
    static const auto* application = new std::shared_ptr<UIApplication>(std::make_shared<UIApplication>());
    if (mainBundleIsAppExtension()) return nullptr;
    return *application;
}

UIApplicationState UIApplication::applicationState() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return state_;
}

UIBackgroundRefreshStatus UIApplication::backgroundRefreshStatus() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return refreshStatus_;
}

UIBackgroundTaskIdentifier UIApplication::beginBackgroundTask(std::optional<std::string> name,
                                                              std::function<void()> expirationHandler) {
    std::lock_guard<std::mutex> guard(mutex_);
    const auto identifier = nextTask_++;
    tasks_[identifier] = BackgroundTask{std::move(name), std::move(expirationHandler)};
    return identifier;
}

void UIApplication::endBackgroundTask(UIBackgroundTaskIdentifier identifier) {
    std::lock_guard<std::mutex> guard(mutex_);
    tasks_.erase(identifier);
}

bool UIApplication::canOpenURL(const URL& url) const {
    std::function<bool(const URL&)> policy;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        policy = canOpenPolicy_;
    }
    if (policy) return policy(url);
    const auto scheme = url.scheme();
    if (!scheme) return false;
    const std::string lower = lowercasedASCII(*scheme);
    if (lower == "http" || lower == "https") return true;
    std::lock_guard<std::mutex> guard(mutex_);
    return std::find(openerSchemes_.begin(), openerSchemes_.end(), lower) != openerSchemes_.end();
}

bool UIApplication::openURL(const URL& url) {
    if (!canOpenURL(url)) return false;
    std::function<void(const URL&)> opener;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        opener = opener_;
    }
    observation::openedURLs.notify(url);
    if (opener) opener(url);
    return true;
}

void UIApplication::open(const URL& url, std::function<void(bool)> completionHandler) {
    const bool opened = openURL(url);
    if (completionHandler) {
        DispatchQueue::main()->async(
            [completionHandler = std::move(completionHandler), opened] { completionHandler(opened); });
    }
}

void UIApplication::setCanOpenURLPolicy(std::function<bool(const URL&)> policy) {
    std::lock_guard<std::mutex> guard(mutex_);
    canOpenPolicy_ = std::move(policy);
}

void UIApplication::setURLOpener(std::function<void(const URL&)> opener, std::vector<std::string> schemes) {
    for (auto& scheme : schemes) {
        scheme = lowercasedASCII(scheme);
    }
    std::lock_guard<std::mutex> guard(mutex_);
    opener_ = std::move(opener);
    openerSchemes_ = std::move(schemes);
}

void UIApplication::postOnMain(std::optional<UIApplicationState> state, std::vector<const char*> names,
                               std::optional<AnyDictionary> userInfo) {
    auto self = shared_from_this();
    onMainThread([self, state, names = std::move(names), userInfo = std::move(userInfo)] {
        if (state) {
            std::lock_guard<std::mutex> guard(self->mutex_);
            self->state_ = *state;
        }
        const auto center = NotificationCenter::defaultCenter();
        for (std::size_t index = 0; index < names.size(); ++index) {
            // Only the first notification of a sequence carries the user info (the launch options).
            center->post(names[index], self, index == 0 ? userInfo : std::nullopt);
        }
    });
}

void UIApplication::postLaunch(std::optional<UIApplicationLaunchOptions> options) {
    postOnMain(std::nullopt, {UIApplicationNotification::didFinishLaunching}, std::move(options));
    postOnMain(UIApplicationState::active, {UIApplicationNotification::didBecomeActive});
}

void UIApplication::postEnterBackground() {
    postOnMain(UIApplicationState::inactive, {UIApplicationNotification::willResignActive});
    postOnMain(UIApplicationState::background, {UIApplicationNotification::didEnterBackground});
}

void UIApplication::postEnterForeground() {
    postOnMain(UIApplicationState::inactive, {UIApplicationNotification::willEnterForeground});
    postOnMain(UIApplicationState::active, {UIApplicationNotification::didBecomeActive});
}

void UIApplication::postWillResignActive() {
    postOnMain(UIApplicationState::inactive, {UIApplicationNotification::willResignActive});
}

void UIApplication::postDidBecomeActive() {
    postOnMain(UIApplicationState::active, {UIApplicationNotification::didBecomeActive});
}

void UIApplication::postMemoryWarning() {
    postOnMain(std::nullopt, {UIApplicationNotification::didReceiveMemoryWarning});
}

void UIApplication::postWillTerminate() { postOnMain(std::nullopt, {UIApplicationNotification::willTerminate}); }

void UIApplication::postSignificantTimeChange() {
    postOnMain(std::nullopt, {UIApplicationNotification::significantTimeChange});
}

void UIApplication::setBackgroundRefreshStatus(UIBackgroundRefreshStatus status) {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        refreshStatus_ = status;
    }
    postOnMain(std::nullopt, {UIApplicationNotification::backgroundRefreshStatusDidChange});
}

void UIApplication::expireBackgroundTasks() {
    auto self = shared_from_this();
    onMainThread([self] {
        std::vector<std::function<void()>> handlers;
        {
            std::lock_guard<std::mutex> guard(self->mutex_);
            for (const auto& [identifier, task] : self->tasks_) {
                if (task.expirationHandler) handlers.push_back(task.expirationHandler);
            }
        }
        // Outside the lock: a handler ends its own task.
        for (const auto& handler : handlers) handler();
    });
}

std::vector<UIBackgroundTaskIdentifier> UIApplication::backgroundTasks() const {
    std::lock_guard<std::mutex> guard(mutex_);
    std::vector<UIBackgroundTaskIdentifier> identifiers;
    for (const auto& entry : tasks_) identifiers.push_back(entry.first);
    return identifiers;
}

std::optional<std::string> UIApplication::backgroundTaskName(UIBackgroundTaskIdentifier identifier) const {
    std::lock_guard<std::mutex> guard(mutex_);
    const auto found = tasks_.find(identifier);
    if (found == tasks_.end()) return std::nullopt;
    return found->second.name;
}

}  // namespace qor::platform
