#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>

#include <QORUniversalSDK/AdNetwork/Container.h>
#include <QORUniversalSDK/Analytics/Analytics.h>
#include <QORUniversalSDK/Platform/Support/Export.h>

namespace qor {

// The app's entry point: start-up, the ad network's environment, the analytics calls and the
// downloaded container configuration. Every member is static; call start before anything else.
// Everything here runs on the caller's thread and calls back nothing.
class QOR_EXPORT QOR {
public:
    // Which of the ad network's deployments the container is downloaded from.
    enum class Environment : int { test = 0, staging = 1, production = 2 };

    // The keys start-up uses. The ad network uses writeKeyForAdNetwork when it is present (an
    // empty text counts as present), else writeKey.
    class QOR_EXPORT Config {
    public:
        struct Values {
            std::string writeKey;
            std::optional<std::string> writeKeyForAdNetwork;
        };

        Config(std::string writeKey, std::optional<std::string> writeKeyForAdNetwork)
            : values(Values{std::move(writeKey), std::move(writeKeyForAdNetwork)}) {}

        Values values;
    };

    QOR() = delete;

    // Fills every shared slot: a new Session, Analytics for the write key, and the ad-network
    // objects, then starts the container download (asynchronous; nothing waits for it). Without
    // a config the keys come from the Info.plist dictionary "QORSDKConfig"; when it lacks a
    // "writeKey" text the process stops. A second start replaces everything the first made.
    static void start(const std::shared_ptr<Config>& config);

    // Production until set. Takes effect at the next start. A value outside the three cases is
    // ignored.
    static Environment environment();
    static void setEnvironment(Environment environment);
    // The ad-network base URL of the current environment (its deployment value).
    static std::string adNetworkBaseURL();

    // A copy of the downloaded container; nothing until the download succeeded. Stops the
    // process before start.
    static std::optional<Container> adNetworkContainer();

    // Analytics calls, forwarded with their arguments unchanged to the shared Analytics (every
    // form it offers: a dictionary of plain values, an optional one, or any encodable value).
    // Each stops the process before start.
    template <class... Args>
    static void track(const std::string& name, Args&&... properties) {
        Analytics::sharedInstance()->track(name, std::forward<Args>(properties)...);
    }
    template <class... Args>
    static void identify(Args&&... arguments) {
        Analytics::sharedInstance()->identify(std::forward<Args>(arguments)...);
    }
    template <class... Args>
    requires requires(Analytics& analytics, const std::string& title, Args&&... arguments) {
        analytics.screen(title, std::forward<Args>(arguments)...);
    }
    static void screen(const std::string& title, Args&&... arguments) {
        Analytics::sharedInstance()->screen(title, std::forward<Args>(arguments)...);
    }
    // A screen with properties and no category.
    static void screen(const std::string& title, const std::optional<platform::AnyDictionary>& properties) {
        Analytics::sharedInstance()->screen(title, std::nullopt, properties);
    }
    template <class... Args>
    static void group(const std::string& groupId, Args&&... traits) {
        Analytics::sharedInstance()->group(groupId, std::forward<Args>(traits)...);
    }
    static void alias(const std::string& newId) { Analytics::sharedInstance()->alias(newId); }

    // The keys of the Info.plist form: nothing when the main bundle has no info dictionary, no
    // "QORSDKConfig" dictionary, or no "writeKey" text there. "writeKeyForAdNetwork" counts only
    // as a text; other keys are ignored whatever they hold.
    static std::optional<Config::Values> readInfoPlistConfig();

    static constexpr const char* invalidInfoPlistMessage =
        "[QORSDK] The QOR SDK was initialized incorrectly. Clients should follow the instructions to add a valid "
        "Write Key inside the Info.plist. ";

private:
    static void setUpAdNetwork(const std::string& writeKey);
};

}  // namespace qor
