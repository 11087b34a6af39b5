#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Analytics/Analytics.h"
#include "Analytics/StartupPlugins.h"
#include "EngineTestSupport.h"
#include "Networking/Client/Session/Session.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Support/DeviceProfile.h"
#include "testing/CollectionServer.h"
#include "testing/IPEchoServer.h"
#include "testing/MainLoopPump.h"
#include "testing/ScopedEnvironment.h"
#include "testing/TestAppHome.h"

namespace qor::deliverytest {

inline platform::PlistDictionary appInfo(std::optional<std::string> build = "42") {
    platform::PlistDictionary info{{"CFBundleIdentifier", "io.qor.delivery-tests"},
                                   {"CFBundleDisplayName", "Delivery Tests"},
                                   {"CFBundleShortVersionString", "1.2.3"}};
    if (build) info["CFBundleVersion"] = *build;
    return info;
}

// A fresh app home, the loopback collection and IP-echo servers behind the deployment
// variables, the shared Session, an app Info and a fixed device.
class DeliveryEnvironment {
public:
    DeliveryEnvironment()
        : collection_(testing::CollectionServer::makeHTTP()),
          ipEcho_(testing::IPEchoServer::makeHTTP()),
          collectionVariable_("QOR_COLLECTION_URL", collection_->collectionURL()),
          ipEchoVariable_("QOR_IP_ECHO_URL", ipEcho_->baseURL()) {
        Session::setSharedInstance(Session::makeDefault());
        platform::Bundle::main()->setInfoDictionary(appInfo());
        platform::updateDeviceProfile([](platform::DeviceProfile& profile) {
            profile.model = "iPhone";
            profile.systemName = "iOS";
            profile.systemVersion = "17.4";
            profile.hardwareModel = "iPhone14,2";
            profile.identifierForVendor = "0A1B2C3D-0000-4000-8000-00000000ABCD";
            profile.mainScreen = platform::ScreenFacts{375.0, 812.0, 3.0, 3.0};
            profile.preferredLanguages = {"en-US", "de-DE"};
            profile.timeZoneIdentifier = "Europe/Berlin";
            profile.webViewUserAgent = "Mozilla/5.0 (iPhone; CPU iPhone OS 17_4 like Mac OS X)";
            profile.reachability = platform::ReachabilityFacts::fixed(platform::kSCNetworkReachabilityFlagsReachable);
        });
    }
    ~DeliveryEnvironment() {
        // Let every upload finish while the servers are up, until nothing but this object
        // holds the instances: the last references then go here, not on a worker thread
        // racing the end of the process.
        collection_->releaseAnswers();
        testing::pumpMainUntil(
            [this] {
                if (Session::sharedInstance()->delegate()->taskCount() != 0) return false;
                for (const auto& analytics : started_) {
                    if (analytics.use_count() != 1) return false;
                }
                return true;
            },
            std::chrono::seconds(10));
        started_.clear();
        testing::pumpMainFor(std::chrono::milliseconds(10));
    }

    testing::CollectionServer& collection() { return *collection_; }
    testing::IPEchoServer& ipEcho() { return *ipEcho_; }
    const testing::TestAppHome& home() const { return home_; }

    // Analytics as start-up makes it, delivery plugins included. `change` adjusts the
    // configuration first.
    std::shared_ptr<Analytics> start(const std::function<void(Configuration::Values&)>& change = nullptr,
                                     const std::string& writeKey = "delivery-key") {
        auto configuration = Configuration::make(writeKey);
        configuration->modifyValues([&](Configuration::Values& values) {
            values.flushInterval = 3600;
            if (change) change(values);
        });
        auto analytics = Analytics::make(configuration);
        // The destination takes its flush policy from the System state on the main queue.
        enginetest::drainMainQueue();
        started_.push_back(analytics);
        return analytics;
    }

    std::vector<std::filesystem::path> finishedFiles(const std::string& writeKey = "delivery-key") const {
        std::vector<std::filesystem::path> files;
        std::error_code error;
        for (const auto& entry :
             std::filesystem::directory_iterator(enginetest::eventsFolder(home_, writeKey), error)) {
            if (entry.path().extension() == ".temp") files.push_back(entry.path());
        }
        std::sort(files.begin(), files.end());
        return files;
    }

private:
    testing::TestAppHome home_;
    std::unique_ptr<testing::CollectionServer> collection_;
    std::unique_ptr<testing::IPEchoServer> ipEcho_;
    testing::ScopedEnvironment collectionVariable_;
    testing::ScopedEnvironment ipEchoVariable_;
    std::vector<std::shared_ptr<Analytics>> started_;
};

// The "event" names of a batch body, in order.
inline std::vector<std::string> eventNames(const std::string& body) {
    std::vector<std::string> names;
    const auto parsed = platform::JSONSerialization::jsonObject(body);
    for (const auto& event : parsed.asDictionary().at("batch").asArray()) {
        const auto* name = event.asDictionary().find("event");
        names.push_back(name && name->tryString() ? name->asString() : std::string());
    }
    return names;
}

}  // namespace qor::deliverytest
