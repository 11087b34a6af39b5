#include "Analytics/Analytics.h"

#include "Analytics/StartupPlugins.h"

#include "Analytics/AnalyticsError.h"
#include "Analytics/DeviceToken.h"
#include "Analytics/Storage.h"
#include "Analytics/System.h"
#include "Analytics/UserInfo.h"
#include "Core/Helpers/SharedSlot.h"
#include "Core/ISO8601Formatter.h"
#include "Platform/Foundation/Date.h"
#include "Platform/Foundation/UUID.h"
#include "Platform/Support/FatalError.h"

namespace qor {

namespace {

// True while this thread runs the host's error handler. A failure that the handler's own work
// meets (it records an event and the storage cannot be written) is logged but not handed back
// to it: otherwise each failure would call the handler one level deeper until the stack ran out.
thread_local bool insideErrorHandler = false;

// Runs the host's error handler with the flag above set; cleared again even when it throws.
void runErrorHandler(const std::function<void(std::exception_ptr)>& handler, const std::exception_ptr& error) {
    struct Inside {
        Inside() { insideErrorHandler = true; }
        ~Inside() { insideErrorHandler = false; }
        Inside(const Inside&) = delete;
        Inside& operator=(const Inside&) = delete;
    } inside;
    handler(error);
}

SharedSlot<Analytics>& sharedSlot() {
    static auto* slot = new SharedSlot<Analytics>("Analytics");
    return *slot;
}

}  // namespace

// MARK: Instance

Analytics::Analytics(platform::ConstructionKey<Analytics>, std::shared_ptr<Configuration> configuration)
    : initialConfiguration_(std::move(configuration)) {}

Analytics::~Analytics() = default;

std::shared_ptr<Analytics> Analytics::make(std::shared_ptr<Configuration> configuration) {
    auto analytics = std::make_shared<Analytics>(platform::ConstructionKey<Analytics>{}, std::move(configuration));
    analytics->initialise();
    return analytics;
}

void Analytics::initialise() {
    const auto configuration = initialConfiguration_;
    store_ = Store::make();
    storage_ = Storage::make(configuration->values().writeKey, store_);
    timeline_ = std::make_shared<Timeline>();
    store_->provide(System::defaultState(configuration, *storage_));
    store_->provide(UserInfo::defaultState(*storage_));
    storage_->setAnalytics(weak_from_this());
    installStartupPlugins();
}

void Analytics::installStartupPlugins() {
    // The logging plugin comes first, so every plugin after it can already log.
    auto logger = std::make_shared<QORLog>(LogFilterKind::debug);
    logger->configure(shared_from_this());
    timeline()->add(logger);
    installDeliveryPlugins(*this);
}

std::shared_ptr<Analytics> Analytics::sharedInstance() { return sharedSlot().get(); }

void Analytics::setSharedInstance(std::shared_ptr<Analytics> analytics) { sharedSlot().set(std::move(analytics)); }

std::shared_ptr<Analytics> Analytics::sharedAnalytics() {
    return std::dynamic_pointer_cast<Analytics>(sharedLogDispatcher());
}

void Analytics::setSharedAnalytics(const std::shared_ptr<Analytics>& analytics) {
    setSharedLogDispatcher(std::weak_ptr<LogDispatcher>(std::static_pointer_cast<LogDispatcher>(analytics)));
}

std::shared_ptr<Configuration> Analytics::configuration() const {
    auto system = store_->currentState<System>();
    if (!system) platform::fatalError("Analytics has no System state: its configuration is unknown.");
    return system->configuration;
}

std::shared_ptr<Timeline> Analytics::timeline() const {
    std::lock_guard<std::mutex> guard(timelineMutex_);
    return timeline_;
}

void Analytics::setTimeline(std::shared_ptr<Timeline> timeline) {
    if (!timeline) return;
    std::lock_guard<std::mutex> guard(timelineMutex_);
    timeline_ = std::move(timeline);
}

bool Analytics::enabled() const {
    auto system = store_->currentState<System>();
    return system ? system->enabled : false;
}

void Analytics::setEnabled(bool enabled) { store_->dispatch(System::ToggleEnabledAction{enabled}); }

std::optional<Settings> Analytics::settings() const {
    auto system = store_->currentState<System>();
    if (!system) return std::nullopt;
    return std::move(system->settings);
}

void Analytics::manuallyEnableDestination(const DestinationPlugin& plugin) {
    store_->dispatch(System::AddDestinationToSettingsAction{plugin.key()});
}

// MARK: Processing

template <class E>
void Analytics::runStages(E event) {
    const auto stages = timeline();
    auto before = stages->runStage<E>(PluginType::before, std::optional<E>(std::move(event)));
    auto enriched = stages->runStage<E>(PluginType::enrichment, std::move(before));
    // With no plugin after the destinations, nobody sees the event again: the destinations
    // may have it instead of a copy.
    if (stages->mediator(PluginType::after).empty()) {
        if (enriched) stages->mediator(PluginType::destination).runToEnd(AnyRawEvent(std::move(*enriched)));
        return;
    }
    // The destination stage works on a copy: the after stage sees the enrichment output.
    stages->runStage<E>(PluginType::destination, enriched);
    stages->runStage<E>(PluginType::after, std::move(enriched));
}

template <class E>
void Analytics::processNew(E event) {
    applyRawEventData(event);
    runStages<E>(std::move(event));
}

void Analytics::process(AnyRawEvent event) {
    if (!enabled()) return;
    std::visit([this](auto&& typed) { runStages(std::move(typed)); }, std::move(event));
}

void Analytics::applyRawEventData(RawEvent& event) const {
    // The two ids only: the traits stay in the store.
    const bool found = store_
                           ->withState<UserInfo>([&event](const UserInfo& info) {
                               event.anonymousId = info.anonymousId;
                               event.userId = info.userId;
                               return true;
                           })
                           .has_value();
    if (!found) return;
    event.messageId = platform::UUID::make().uuidString();
    event.timestamp = sharedISO8601Formatter().string(platform::Date::now());
    event.integrations = JSON(JSON::Object());
    event._metadata = DestinationMetadata{};
}

// MARK: Errors

void Analytics::reportInternalError(std::exception_ptr error, bool /*fatal*/) {
    const auto translated = translate(error);
    if (!insideErrorHandler) {
        if (const auto handler = configuration()->values().errorHandler) runErrorHandler(handler, translated);
    }
    const std::string message = "An internal error occurred: " + describeError(translated);
    if (auto shared = sharedAnalytics()) {
        shared->dispatchLog(message, LogFilterKind::error, "reportInternalError(_:fatal:)", 67);
    }
}

void Analytics::reportInternalErrorWithoutInstance(std::exception_ptr error, bool /*fatal*/) {
    const auto translated = translate(error);
    const std::string message = "An internal error occurred: " + describeError(translated);
    if (auto shared = sharedAnalytics()) {
        shared->dispatchLog(message, LogFilterKind::error, "reportInternalError(_:fatal:)", 77);
    }
}

// MARK: Event API

std::optional<JSON> Analytics::convertDictionary(const std::optional<platform::AnyDictionary>& dictionary) {
    if (!dictionary) return std::nullopt;
    try {
        return JSON(JSON::jsonDictionary(*dictionary));
    } catch (...) {
        reportInternalError(std::current_exception(), true);
        return std::nullopt;
    }
}

void Analytics::trackEvent(const std::string& name, std::optional<JSON> properties) {
    processNew(TrackEvent(name, std::move(properties)));
}

void Analytics::track(const std::string& name) { trackEvent(name, std::nullopt); }

void Analytics::track(const std::string& name, const platform::AnyDictionary& properties) {
    trackEvent(name, convertDictionary(properties));
}

void Analytics::track(const std::string& name, const std::optional<platform::AnyDictionary>& properties) {
    trackEvent(name, convertDictionary(properties));
}

void Analytics::identifyEvent(const std::string& userId, std::optional<JSON> traits) {
    store_->dispatch(UserInfo::SetUserIdAndTraitsAction{userId, traits});
    processNew(IdentifyEvent(userId, std::move(traits)));
}

void Analytics::identifyTraitsEvent(std::optional<JSON> traits) {
    store_->dispatch(UserInfo::SetTraitsAction{traits});
    processNew(IdentifyEvent(std::nullopt, std::move(traits)));
}

void Analytics::identify(const std::string& userId) {
    store_->dispatch(UserInfo::SetUserIdAction{userId});
    processNew(IdentifyEvent(userId, std::nullopt));
}

void Analytics::identify(const std::string& userId, const platform::AnyDictionary& traits) {
    identify(userId, std::optional<platform::AnyDictionary>(traits));
}

void Analytics::identify(const std::string& userId, const std::optional<platform::AnyDictionary>& traits) {
    // Unlike the other dictionary forms, traits that do not convert stop the whole call.
    std::optional<JSON> json;
    if (traits) {
        try {
            json = JSON::fromAny(*traits);
        } catch (...) {
            reportInternalError(std::current_exception(), true);
            return;
        }
    }
    identifyEvent(userId, std::move(json));
}

void Analytics::screenEvent(const std::string& title, const std::optional<std::string>& category,
                            std::optional<JSON> properties) {
    processNew(ScreenEvent(title, category, std::move(properties)));
}

void Analytics::screen(const std::string& title, const std::optional<std::string>& category) {
    screenEvent(title, category, std::nullopt);
}

void Analytics::screen(const std::string& title, const std::optional<std::string>& category,
                       const platform::AnyDictionary& properties) {
    screenEvent(title, category, convertDictionary(properties));
}

void Analytics::screen(const std::string& title, const std::optional<std::string>& category,
                       const std::optional<platform::AnyDictionary>& properties) {
    screenEvent(title, category, convertDictionary(properties));
}

void Analytics::groupEvent(const std::string& groupId, std::optional<JSON> traits) {
    processNew(GroupEvent(groupId, std::move(traits)));
}

void Analytics::group(const std::string& groupId) { groupEvent(groupId, std::nullopt); }

void Analytics::group(const std::string& groupId, const platform::AnyDictionary& traits) {
    groupEvent(groupId, convertDictionary(traits));
}

void Analytics::group(const std::string& groupId, const std::optional<platform::AnyDictionary>& traits) {
    groupEvent(groupId, convertDictionary(traits));
}

void Analytics::alias(const std::string& newId) {
    store_->dispatch(UserInfo::SetUserIdAction{newId});
    processNew(AliasEvent(newId));
}

void Analytics::setDeviceToken(const std::string& token) {
    if (auto existing = find<DeviceToken>()) {
        existing->setToken(token);
        return;
    }
    auto plugin = std::make_shared<DeviceToken>();
    plugin->setToken(token);
    plugin->setAnalytics(weak_from_this());
    add(plugin);
}

// MARK: Plugins

std::shared_ptr<Plugin> Analytics::add(const std::shared_ptr<Plugin>& plugin) {
    if (!plugin) return plugin;
    plugin->configure(shared_from_this());
    timeline()->add(plugin);
    return plugin;
}

void Analytics::remove(const std::shared_ptr<Plugin>& plugin) { timeline()->remove(plugin); }

std::shared_ptr<DestinationPlugin> Analytics::find(const std::string& key) const { return timeline()->find(key); }

void Analytics::apply(const std::function<void(const std::shared_ptr<Plugin>&)>& closure) const {
    timeline()->apply(closure);
}

// MARK: Logging

void Analytics::deliverToLogPlugins(const LogMessage& message, bool useFilterKind) const {
    apply([&](const std::shared_ptr<Plugin>& plugin) {
        auto logger = std::dynamic_pointer_cast<QORLog>(plugin);
        if (!logger) return;
        if (useFilterKind) {
            // The message takes this plugin's own kind.
            LogFactory::GenericLog generic = dynamic_cast<const LogFactory::GenericLog&>(message);
            generic.kindValue = logger->filterKind();
            logger->deliver(generic);
        } else {
            logger->deliver(message);
        }
    });
}

void Analytics::dispatchLog(const std::string& message, std::optional<LogFilterKind> kind, const std::string& function,
                            int line) {
    LogFactory::GenericLog log;
    log.kindValue = kind.value_or(LogFilterKind::debug);
    log.messageValue = message;
    log.functionValue = function;
    log.lineValue = line;
    deliverToLogPlugins(log, !kind.has_value());
}

void Analytics::dispatchLog(const std::string& message, LogFilterKind kind, const std::string& function, int line) {
    dispatchLog(message, std::optional<LogFilterKind>(kind), function, line);
}

void Analytics::log(const std::string& message, std::optional<LogFilterKind> kind, const std::string& function,
                    int line) {
    if (!logDeliveryEnabled()) return;
    dispatchLog(message, kind, function, line);
}

void Analytics::metric(MetricType type, const std::string& name, double value,
                       const std::optional<std::vector<std::string>>& /*tags*/) {
    if (!logDeliveryEnabled()) return;
    LogFactory::MetricLog log;
    log.titleValue = type == MetricType::counter ? "Counter" : "Gauge";
    log.messageValue = name;
    log.value = value;
    deliverToLogPlugins(log, false);
}

void Analytics::history(const AnyRawEvent& event, std::shared_ptr<const void> sender, const std::string& function,
                        int line) {
    if (!logDeliveryEnabled()) return;
    LogFactory::HistoryLog log;
    log.eventValue = event;
    log.functionValue = function;
    log.lineValue = line;
    log.sender = std::move(sender);
    deliverToLogPlugins(log, false);
}

void Analytics::add(std::shared_ptr<LogTarget> target, const LoggingType& type) {
    apply([&](const std::shared_ptr<Plugin>& plugin) {
        auto logger = std::dynamic_pointer_cast<QORLog>(plugin);
        if (!logger) return;
        try {
            logger->add(target, type);
        } catch (const LogTargetError& error) {
            if (auto shared = sharedAnalytics()) {
                shared->dispatchLog("Could not add target: " + error.localizedDescription(), LogFilterKind::error,
                                    "add(target:type:)", 195);
            }
        }
    });
}

void Analytics::logFlush() {
    apply([](const std::shared_ptr<Plugin>& plugin) {
        if (auto logger = std::dynamic_pointer_cast<QORLog>(plugin)) logger->flush();
    });
}

template void Analytics::runStages<TrackEvent>(TrackEvent);
template void Analytics::runStages<IdentifyEvent>(IdentifyEvent);
template void Analytics::runStages<ScreenEvent>(ScreenEvent);
template void Analytics::runStages<GroupEvent>(GroupEvent);
template void Analytics::runStages<AliasEvent>(AliasEvent);

}  // namespace qor
