#pragma once

#include <QORUniversalSDK/Platform/Support/Export.h>
#include <memory>
#include <string>
#include <string_view>

namespace qor {

// The kinds of log messages, most severe first.
enum class LogFilterKind { error = 0, warning = 1, debug = 2 };

// What code without an analytics instance at hand logs through. The analytics engine
// implements it and registers its instance once its logging plugin is configured.
class QOR_EXPORT LogDispatcher {
public:
    virtual ~LogDispatcher() = default;
    virtual void dispatchLog(const std::string& message, LogFilterKind kind, const std::string& function, int line) = 0;
};

// The process-wide weak reference to the instance that registered last. Empty until
// then; while it is empty (or its instance is gone) nothing is logged.
QOR_EXPORT void setSharedLogDispatcher(std::weak_ptr<LogDispatcher> dispatcher);
QOR_EXPORT std::shared_ptr<LogDispatcher> sharedLogDispatcher();

// Logs through the shared instance when there is one; does nothing otherwise.
QOR_EXPORT void logThroughSharedAnalytics(const std::string& message, LogFilterKind kind, std::string_view function,
                                          int line);

}  // namespace qor
