#include "Analytics/QORLog.h"

#include <algorithm>
#include <atomic>
#include <typeinfo>

#include "Analytics/Analytics.h"
#include "Core/SDKLog.h"
#include "Platform/Support/OSLog.h"

namespace qor {

namespace {

std::atomic<bool> deliveryEnabled{false};

const platform::OSLog& systemLogObject(LoggingType::LogDestination destination) {
    // Made once, on first use, and never destroyed: any thread may log until the process ends.
    static const auto* logObject = new platform::OSLog{"Lumatix", "Log"};
    static const auto* metricsObject = new platform::OSLog{"Lumatix", "Metrics"};
    static const auto* historyObject = new platform::OSLog{"Lumatix", "History"};
    switch (destination) {
        case LoggingType::LogDestination::log:
            return *logObject;
        case LoggingType::LogDestination::metric:
            return *metricsObject;
        case LoggingType::LogDestination::history:
            return *historyObject;
    }
    return *logObject;
}

platform::OSLogType systemLogLevel(LogFilterKind kind) {
    // A warning is filed below debug messages: the system log's debug level is the lower one.
    switch (kind) {
        case LogFilterKind::error:
            return platform::OSLogType::error;
        case LogFilterKind::warning:
            return platform::OSLogType::debug;
        case LogFilterKind::debug:
            return platform::OSLogType::info;
    }
    return platform::OSLogType::info;
}

}  // namespace

std::optional<LogFilterKind> logFilterKindFromRawValue(int rawValue) {
    if (rawValue < 0 || rawValue > 2) return std::nullopt;
    return static_cast<LogFilterKind>(rawValue);
}

std::optional<MetricType> metricTypeFromRawValue(int rawValue) {
    if (rawValue < 0 || rawValue > 1) return std::nullopt;
    return static_cast<MetricType>(rawValue);
}

bool LoggingType::contains(LogDestination destination) const {
    return std::find(allTypes.begin(), allTypes.end(), destination) != allTypes.end();
}

std::string logLevelWord(LogFilterKind kind) {
    switch (kind) {
        case LogFilterKind::error:
            return "ERROR";
        case LogFilterKind::warning:
            return "WARNING";
        case LogFilterKind::debug:
            return "DEBUG";
    }
    return "DEBUG";
}

std::string logLocationText(const LogMessage& log) {
    const auto function = log.function();
    const auto line = log.line();
    if (!function || !line) return {};
    return " - " + *function + ":" + std::to_string(*line);
}

void SystemTarget::parseLog(const LogMessage& log) {
    const std::string level = logLevelWord(log.kind());
    const std::string location = logLocationText(log);
    const std::string message = log.message();
    platform::osLog(systemLogObject(log.logType()), systemLogLevel(log.kind()),
                    "[Lumatix %{public}@ %{public}@]\n%{public}@\n", {level, location, message});
}

void ConsoleTarget::parseLog(const LogMessage& log) {
    sdkLog("[" + logLevelWord(log.kind()) + logLocationText(log) + "]\n" + log.message() + "\n");
}

std::string LogTargetError::localizedDescription() const {
    return "The operation couldn\xE2\x80\x99t be completed. (" + domain + " error " + std::to_string(code) + ".)";
}

LogTargetError::LogTargetError() : text_(localizedDescription()) {}

LogFilterKind QORLog::filterKind() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return filterKind_;
}

void QORLog::setFilterKind(LogFilterKind kind) {
    std::lock_guard<std::mutex> guard(mutex_);
    filterKind_ = kind;
}

void QORLog::configure(const std::shared_ptr<Analytics>& analytics) {
    setAnalytics(analytics);
    Analytics::setSharedAnalytics(analytics);
    try {
        add(std::make_shared<SystemTarget>(), LoggingType({LoggingType::LogDestination::log}));
    } catch (const LogTargetError&) {
        // Configured before: the system target is already in place.
    }
}

void QORLog::add(std::shared_ptr<LogTarget> target, const LoggingType& type) {
    if (!target) return;
    std::lock_guard<std::mutex> guard(mutex_);
    const LogTarget& added = *target;
    const auto& newType = typeid(added);
    for (const auto& [registeredType, registered] : loggingMediator_) {
        const LogTarget& existing = *registered;
        if (typeid(existing) == newType) throw LogTargetError();
    }
    for (auto& entry : loggingMediator_) {
        if (entry.first == type) {
            entry.second = std::move(target);
            return;
        }
    }
    loggingMediator_.emplace_back(type, std::move(target));
}

std::vector<std::pair<LoggingType, std::shared_ptr<LogTarget>>> QORLog::targets() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return loggingMediator_;
}

void QORLog::flush() {
    for (const auto& entry : targets()) entry.second->flush();
}

void QORLog::deliver(const LogMessage& log) const {
    const auto destination = log.logType();
    for (const auto& [type, target] : targets()) {
        if (type.contains(destination)) target->parseLog(log);
    }
}

bool logDeliveryEnabled() { return deliveryEnabled.load(); }
void setLogDeliveryEnabled(bool enabled) { deliveryEnabled.store(enabled); }

}  // namespace qor
