#pragma once

#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <QORUniversalSDK/Analytics/Events.h>
#include <QORUniversalSDK/Analytics/Plugin.h>
#include <QORUniversalSDK/Core/SharedAnalyticsLog.h>
#include <QORUniversalSDK/Platform/Foundation/Date.h>
#include <QORUniversalSDK/Platform/Support/Export.h>

namespace qor {

// LogFilterKind (error, warning, debug) comes from SharedAnalyticsLog.h.
QOR_EXPORT std::optional<LogFilterKind> logFilterKindFromRawValue(int rawValue);

enum class MetricType { counter = 0, gauge = 1 };
QOR_EXPORT std::optional<MetricType> metricTypeFromRawValue(int rawValue);

// Which message destinations a target is registered for.
struct QOR_EXPORT LoggingType {
    enum class LogDestination { log, metric, history };

    explicit LoggingType(std::vector<LogDestination> types) : allTypes(std::move(types)) {}
    std::vector<LogDestination> allTypes;

    bool contains(LogDestination destination) const;
    bool operator==(const LoggingType&) const = default;
};

// One message. The three kinds of message are small records made on the spot.
class QOR_EXPORT LogMessage {
public:
    virtual ~LogMessage() = default;
    virtual LogFilterKind kind() const = 0;
    virtual std::optional<std::string> title() const = 0;
    virtual std::string message() const = 0;
    virtual std::optional<AnyRawEvent> event() const = 0;
    virtual std::optional<std::string> function() const = 0;
    virtual std::optional<int> line() const = 0;
    virtual LoggingType::LogDestination logType() const = 0;
    virtual platform::Date dateTime() const = 0;
};

namespace LogFactory {

struct QOR_EXPORT GenericLog final : LogMessage {
    LogFilterKind kindValue = LogFilterKind::debug;
    std::optional<std::string> titleValue;
    std::string messageValue;
    std::optional<AnyRawEvent> eventValue;
    std::optional<std::string> functionValue;
    std::optional<int> lineValue;
    platform::Date dateTimeValue = platform::Date::now();

    LogFilterKind kind() const override { return kindValue; }
    std::optional<std::string> title() const override { return titleValue; }
    std::string message() const override { return messageValue; }
    std::optional<AnyRawEvent> event() const override { return eventValue; }
    std::optional<std::string> function() const override { return functionValue; }
    std::optional<int> line() const override { return lineValue; }
    LoggingType::LogDestination logType() const override { return LoggingType::LogDestination::log; }
    platform::Date dateTime() const override { return dateTimeValue; }
};

struct QOR_EXPORT MetricLog final : LogMessage {
    std::optional<std::string> titleValue;  // "Counter" or "Gauge"
    LogFilterKind kindValue = LogFilterKind::debug;
    std::string messageValue;  // the metric's name
    double value = 0;
    platform::Date dateTimeValue = platform::Date::now();

    LogFilterKind kind() const override { return kindValue; }
    std::optional<std::string> title() const override { return titleValue; }
    std::string message() const override { return messageValue; }
    std::optional<AnyRawEvent> event() const override { return std::nullopt; }
    std::optional<std::string> function() const override { return std::nullopt; }
    std::optional<int> line() const override { return std::nullopt; }
    LoggingType::LogDestination logType() const override { return LoggingType::LogDestination::metric; }
    platform::Date dateTime() const override { return dateTimeValue; }
};

struct QOR_EXPORT HistoryLog final : LogMessage {
    LogFilterKind kindValue = LogFilterKind::debug;
    std::optional<std::string> titleValue;
    std::string messageValue;
    std::optional<AnyRawEvent> eventValue;
    std::optional<std::string> functionValue;
    std::optional<int> lineValue;
    std::shared_ptr<const void> sender;
    platform::Date dateTimeValue = platform::Date::now();

    LogFilterKind kind() const override { return kindValue; }
    std::optional<std::string> title() const override { return titleValue; }
    std::string message() const override { return messageValue; }
    std::optional<AnyRawEvent> event() const override { return eventValue; }
    std::optional<std::string> function() const override { return functionValue; }
    std::optional<int> line() const override { return lineValue; }
    LoggingType::LogDestination logType() const override { return LoggingType::LogDestination::history; }
    platform::Date dateTime() const override { return dateTimeValue; }
};

}  // namespace LogFactory

// Where messages are written.
class QOR_EXPORT LogTarget {
public:
    virtual ~LogTarget() = default;
    virtual void parseLog(const LogMessage& log) = 0;
    virtual void flush() {}
};

// "[ERROR  - f:3]"-style pieces shared by the targets.
QOR_EXPORT std::string logLevelWord(LogFilterKind kind);
// " - function:line" when both are known, else the empty text.
QOR_EXPORT std::string logLocationText(const LogMessage& log);

// The system log: subsystem "Lumatix", one category per message destination.
class QOR_EXPORT SystemTarget : public LogTarget {
public:
    void parseLog(const LogMessage& log) override;
};

// The console, through sdkLog.
class QOR_EXPORT ConsoleTarget : public LogTarget {
public:
    void parseLog(const LogMessage& log) override;
};

// The refusal of a second target of a type already registered: domain "Target already
// exists", code 2002.
struct QOR_EXPORT LogTargetError : std::exception {
    LogTargetError();
    std::string domain = "Target already exists";
    int code = 2002;
    std::string localizedDescription() const;
    const char* what() const noexcept override { return text_.c_str(); }

private:
    std::string text_;
};

// The logging plugin: a table of targets, each registered for some message destinations.
// Registration and delivery may happen on different threads; targets are called on a
// copy of the table, outside its lock.
class QOR_EXPORT QORLog : public UtilityPlugin {
public:
    explicit QORLog(LogFilterKind filterKind = LogFilterKind::debug) : filterKind_(filterKind) {}

    PluginType type() const override { return PluginType::utility; }
    LogFilterKind filterKind() const;
    void setFilterKind(LogFilterKind kind);

    // Stores the reference, makes that Analytics the shared one, and registers a system-log
    // target for log messages (a refusal is ignored).
    void configure(const std::shared_ptr<Analytics>& analytics) override;

    // Throws LogTargetError when a target of the same concrete type is registered under any
    // logging type; otherwise stores it under `type`, replacing one stored under an equal type.
    void add(std::shared_ptr<LogTarget> target, const LoggingType& type);
    void flush() override;

    // Hands the message to every target registered for its destination.
    void deliver(const LogMessage& log) const;

    std::vector<std::pair<LoggingType, std::shared_ptr<LogTarget>>> targets() const;

private:
    mutable std::mutex mutex_;
    LogFilterKind filterKind_;
    std::vector<std::pair<LoggingType, std::shared_ptr<LogTarget>>> loggingMediator_;
};

// The switch of the public log, metric and history calls; off when the process starts.
// Internal diagnostics (dispatchLog) are delivered whatever it holds.
QOR_EXPORT bool logDeliveryEnabled();
QOR_EXPORT void setLogDeliveryEnabled(bool enabled);

}  // namespace qor
