#pragma once

#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include <QORUniversalSDK/Analytics/Configuration.h>
#include <QORUniversalSDK/Analytics/Events.h>
#include <QORUniversalSDK/Analytics/Plugin.h>
#include <QORUniversalSDK/Analytics/QORLog.h>
#include <QORUniversalSDK/Analytics/Settings/Settings.h>
#include <QORUniversalSDK/Analytics/Store.h>
#include <QORUniversalSDK/Analytics/Timeline.h>
#include <QORUniversalSDK/Core/JSON.h>
#include <QORUniversalSDK/Core/SharedAnalyticsLog.h>
#include <QORUniversalSDK/Platform/Foundation/OptionalTraits.h>
#include <QORUniversalSDK/Platform/Support/ConstructionKey.h>
#include <QORUniversalSDK/Platform/Support/Export.h>

namespace qor {

// The persistence of the instance's write key; only the engine itself needs its members.
class Storage;

namespace detail {

// A payload given as any encodable value (not a dictionary of plain values, not a text).
template <class P>
concept CodablePayload =
    !std::is_same_v<std::remove_cvref_t<P>, platform::AnyDictionary> &&
    !std::is_same_v<std::remove_cvref_t<P>, std::optional<platform::AnyDictionary>> &&
    !std::is_convertible_v<const P&, std::string_view> && !std::is_same_v<std::remove_cvref_t<P>, std::nullopt_t>;

}  // namespace detail

// The analytics engine: the state store, the storage of one write key and the timeline
// of plugins that every event runs through.
//
// An event runs through all its stages on the thread that records it, before the call
// returns. State reads (configuration, enabled, settings) wait for the store's update
// queue and must not be made from a block running on it.
class QOR_EXPORT Analytics : public Subscriber, public LogDispatcher, public std::enable_shared_from_this<Analytics> {
public:
    // Builds the store, the storage and the timeline, provides the initial System and
    // UserInfo states from stored values and the configuration, and installs the start-up
    // plugins.
    static std::shared_ptr<Analytics> make(std::shared_ptr<Configuration> configuration);
    Analytics(platform::ConstructionKey<Analytics>, std::shared_ptr<Configuration> configuration);
    ~Analytics() override;
    Analytics(const Analytics&) = delete;
    Analytics& operator=(const Analytics&) = delete;

    // The instance start-up stored; reading it before start-up stops the process.
    static std::shared_ptr<Analytics> sharedInstance();
    static void setSharedInstance(std::shared_ptr<Analytics> analytics);

    // The instance whose logging plugin was configured last, while it lives.
    static std::shared_ptr<Analytics> sharedAnalytics();
    static void setSharedAnalytics(const std::shared_ptr<Analytics>& analytics);

    const std::shared_ptr<Store>& store() const { return store_; }
    const std::shared_ptr<Storage>& storage() const { return storage_; }
    // The configuration of the System state; stops the process when there is none.
    std::shared_ptr<Configuration> configuration() const;
    std::shared_ptr<Timeline> timeline() const;
    void setTimeline(std::shared_ptr<Timeline> timeline);

    bool enabled() const;
    void setEnabled(bool enabled);
    // Reads the flag, lets `change` modify it and dispatches the result once.
    template <class F>
    void modifyEnabled(F&& change) {
        bool value = enabled();
        std::forward<F>(change)(value);
        setEnabled(value);
    }
    std::optional<Settings> settings() const;
    // Switches on the destination's entry in the settings' integrations.
    void manuallyEnableDestination(const DestinationPlugin& plugin);

    // An event made elsewhere (no stamping); nothing happens while analytics is disabled.
    virtual void process(AnyRawEvent event);

    // Translates the error, hands it to the configuration's error handler and logs it.
    // `fatal` changes nothing: the process goes on. An error met while the handler runs on this
    // thread is only logged.
    void reportInternalError(std::exception_ptr error, bool fatal);
    // The same without an instance: no error handler, only the log line.
    static void reportInternalErrorWithoutInstance(std::exception_ptr error, bool fatal);

    // MARK: Event API

    void track(const std::string& name);
    void track(const std::string& name, const platform::AnyDictionary& properties);
    void track(const std::string& name, const std::optional<platform::AnyDictionary>& properties);
    template <detail::CodablePayload P>
    void track(const std::string& name, const P& properties) {
        std::optional<JSON> json;
        if (!convertPayload(properties, json)) return;
        trackEvent(name, std::move(json));
    }

    void identify(const std::string& userId);
    void identify(const std::string& userId, const platform::AnyDictionary& traits);
    void identify(const std::string& userId, const std::optional<platform::AnyDictionary>& traits);
    template <detail::CodablePayload P>
    void identify(const std::string& userId, const P& traits) {
        std::optional<JSON> json;
        if (!convertPayload(traits, json)) return;
        identifyEvent(userId, std::move(json));
    }
    // Traits only: the stored user id stays.
    template <detail::CodablePayload P>
    void identify(const P& traits) {
        std::optional<JSON> json;
        if (!convertPayload(traits, json)) return;
        identifyTraitsEvent(std::move(json));
    }

    void screen(const std::string& title, const std::optional<std::string>& category = std::nullopt);
    void screen(const std::string& title, const std::optional<std::string>& category,
                const platform::AnyDictionary& properties);
    void screen(const std::string& title, const std::optional<std::string>& category,
                const std::optional<platform::AnyDictionary>& properties);
    template <detail::CodablePayload P>
    void screen(const std::string& title, const std::optional<std::string>& category, const P& properties) {
        std::optional<JSON> json;
        if (!convertPayload(properties, json)) return;
        screenEvent(title, category, std::move(json));
    }

    void group(const std::string& groupId);
    void group(const std::string& groupId, const platform::AnyDictionary& traits);
    void group(const std::string& groupId, const std::optional<platform::AnyDictionary>& traits);
    template <detail::CodablePayload P>
    void group(const std::string& groupId, const P& traits) {
        std::optional<JSON> json;
        if (!convertPayload(traits, json)) return;
        groupEvent(groupId, std::move(json));
    }

    void alias(const std::string& newId);

    // Hands the app's push-notification token to the timeline's DeviceToken plugin, unchanged
    // (an empty text is a token too); when the timeline has none, a new one is added at the end
    // of the before stage. Every event processed afterwards carries it as "device.token".
    void setDeviceToken(const std::string& token);

    // MARK: Plugins

    // Configures the plugin with this instance, then adds it to the timeline.
    std::shared_ptr<Plugin> add(const std::shared_ptr<Plugin>& plugin);
    void remove(const std::shared_ptr<Plugin>& plugin);
    template <class T>
    std::shared_ptr<T> find() const {
        return timeline()->find<T>();
    }
    std::shared_ptr<DestinationPlugin> find(const std::string& key) const;
    void apply(const std::function<void(const std::shared_ptr<Plugin>&)>& closure) const;

    // MARK: Logging

    // The public log calls deliver only while logDeliveryEnabled() is on.
    void log(const std::string& message, std::optional<LogFilterKind> kind = std::nullopt,
             const std::string& function = __builtin_FUNCTION(), int line = __builtin_LINE());
    void metric(MetricType type, const std::string& name, double value,
                const std::optional<std::vector<std::string>>& tags = std::nullopt);
    void history(const AnyRawEvent& event, std::shared_ptr<const void> sender,
                 const std::string& function = __builtin_FUNCTION(), int line = __builtin_LINE());
    // Registers the target with every logging plugin; a refusal is logged.
    void add(std::shared_ptr<LogTarget> target, const LoggingType& type);
    void logFlush();

    // The internal log: always delivered. Without a kind, each logging plugin's own kind.
    void dispatchLog(const std::string& message, std::optional<LogFilterKind> kind, const std::string& function,
                     int line);
    void dispatchLog(const std::string& message, LogFilterKind kind, const std::string& function, int line) override;

protected:
    // Stamps nothing: runs an event through before, enrichment, destination and after.
    template <class E>
    void runStages(E event);

private:
    void initialise();
    void installStartupPlugins();

    // Stamps a new event with ids, a timestamp, empty integrations and metadata, then runs
    // it through the stages.
    template <class E>
    void processNew(E event);
    void applyRawEventData(RawEvent& event) const;

    template <class P>
    bool convertPayload(const P& payload, std::optional<JSON>& json) {
        try {
            if constexpr (platform::IsOptional<P>::value) {
                if (payload) json = JSON::with(*payload);
            } else {
                json = JSON::with(payload);
            }
            return true;
        } catch (...) {
            reportInternalError(std::current_exception(), true);
            return false;
        }
    }
    // The dictionary forms: a value that does not convert is reported and leaves the event
    // without that payload.
    std::optional<JSON> convertDictionary(const std::optional<platform::AnyDictionary>& dictionary);

    void trackEvent(const std::string& name, std::optional<JSON> properties);
    void identifyEvent(const std::string& userId, std::optional<JSON> traits);
    void identifyTraitsEvent(std::optional<JSON> traits);
    void screenEvent(const std::string& title, const std::optional<std::string>& category,
                     std::optional<JSON> properties);
    void groupEvent(const std::string& groupId, std::optional<JSON> traits);

    void deliverToLogPlugins(const LogMessage& message, bool useFilterKind) const;

    std::shared_ptr<Configuration> initialConfiguration_;
    std::shared_ptr<Store> store_;
    std::shared_ptr<Storage> storage_;
    mutable std::mutex timelineMutex_;
    std::shared_ptr<Timeline> timeline_;
};

}  // namespace qor
