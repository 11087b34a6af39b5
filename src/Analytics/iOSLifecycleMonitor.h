#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Analytics/Plugin.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/Support/ConstructionKey.h"
#include "Platform/UIKit/UIApplication.h"

namespace qor {

// Observes the application's lifecycle notifications and hands each one to every plugin of
// its Analytics that adopts iOSLifecycle, in timeline order. It never sees events.
class iOSLifecycleMonitor : public PlatformPlugin, public std::enable_shared_from_this<iOSLifecycleMonitor> {
public:
    // Registers with the default notification center for every name of appNotifications(),
    // for notifications of the shared application (of any sender inside an app extension).
    static std::shared_ptr<iOSLifecycleMonitor> make();
    explicit iOSLifecycleMonitor(platform::ConstructionKey<iOSLifecycleMonitor>);
    ~iOSLifecycleMonitor() override;
    iOSLifecycleMonitor(const iOSLifecycleMonitor&) = delete;
    iOSLifecycleMonitor& operator=(const iOSLifecycleMonitor&) = delete;

    PluginType type() const override { return PluginType::utility; }

    const std::shared_ptr<platform::UIApplication>& application() const { return application_; }
    // The nine names observed, in the order they are matched.
    static const std::vector<std::string>& appNotifications();

    void notificationResponse(const platform::Notification& notification);

private:
    std::shared_ptr<platform::UIApplication> application_;
    std::vector<std::shared_ptr<platform::NotificationCenter::Observer>> observers_;
};

}  // namespace qor
