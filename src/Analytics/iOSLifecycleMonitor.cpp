#include "Analytics/iOSLifecycleMonitor.h"

#include "Analytics/Analytics.h"
#include "Analytics/iOSLifecycle.h"
#include "Core/PlatformFacts.h"

namespace qor {

namespace notification = platform::UIApplicationNotification;

std::shared_ptr<platform::UIApplication> sharedApplication() {
    if (isAppExtension()) return nullptr;
    return platform::UIApplication::shared();
}

const std::vector<std::string>& iOSLifecycleMonitor::appNotifications() {
    static const std::vector<std::string> names{
        notification::didEnterBackground,
        notification::willEnterForeground,
        notification::didFinishLaunching,
        notification::didBecomeActive,
        notification::willResignActive,
        notification::didReceiveMemoryWarning,
        notification::willTerminate,
        notification::significantTimeChange,
        notification::backgroundRefreshStatusDidChange,
    };
    return names;
}

iOSLifecycleMonitor::iOSLifecycleMonitor(platform::ConstructionKey<iOSLifecycleMonitor>)
    : application_(sharedApplication()) {}

std::shared_ptr<iOSLifecycleMonitor> iOSLifecycleMonitor::make() {
    auto monitor = std::make_shared<iOSLifecycleMonitor>(platform::ConstructionKey<iOSLifecycleMonitor>{});
    const auto center = platform::NotificationCenter::defaultCenter();
    std::weak_ptr<iOSLifecycleMonitor> weak = monitor;
    for (const auto& name : appNotifications()) {
        monitor->observers_.push_back(
            center->addObserver(name, monitor->application_, nullptr, [weak](const platform::Notification& posted) {
                if (auto alive = weak.lock()) alive->notificationResponse(posted);
            }));
    }
    return monitor;
}

iOSLifecycleMonitor::~iOSLifecycleMonitor() {
    const auto center = platform::NotificationCenter::defaultCenter();
    for (const auto& observer : observers_) center->removeObserver(observer);
}

void iOSLifecycleMonitor::notificationResponse(const platform::Notification& posted) {
    using Callback = std::function<void(iOSLifecycle&)>;
    const auto application = application_;
    Callback callback;
    const std::string& name = posted.name;
    if (name == notification::didEnterBackground) {
        callback = [&](iOSLifecycle& p) { p.applicationDidEnterBackground(application); };
    } else if (name == notification::willEnterForeground) {
        callback = [&](iOSLifecycle& p) { p.applicationWillEnterForeground(application); };
    } else if (name == notification::didFinishLaunching) {
        const iOSLifecycle::LaunchOptions options = posted.userInfo;
        callback = [application, options](iOSLifecycle& p) { p.applicationDidFinishLaunching(application, options); };
    } else if (name == notification::didBecomeActive) {
        callback = [&](iOSLifecycle& p) { p.applicationDidBecomeActive(application); };
    } else if (name == notification::willResignActive) {
        callback = [&](iOSLifecycle& p) { p.applicationWillResignActive(application); };
    } else if (name == notification::didReceiveMemoryWarning) {
        callback = [&](iOSLifecycle& p) { p.applicationDidReceiveMemoryWarning(application); };
    } else if (name == notification::willTerminate) {
        callback = [&](iOSLifecycle& p) { p.applicationWillTerminate(application); };
    } else if (name == notification::significantTimeChange) {
        callback = [&](iOSLifecycle& p) { p.applicationSignificantTimeChange(application); };
    } else if (name == notification::backgroundRefreshStatusDidChange) {
        // The status is read from the application as it is now; an app extension has none.
        const auto current = sharedApplication();
        if (!current) return;
        const auto status = current->backgroundRefreshStatus();
        callback = [current, status](iOSLifecycle& p) { p.applicationBackgroundRefreshDidChange(current, status); };
    } else {
        return;
    }
    const auto owner = analytics();
    if (!owner) return;
    owner->apply([&callback](const std::shared_ptr<Plugin>& plugin) {
        if (auto* adopter = dynamic_cast<iOSLifecycle*>(plugin.get())) callback(*adopter);
    });
}

}  // namespace qor
