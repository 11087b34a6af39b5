#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

namespace qor::platform {

enum class OSLogType { defaultType, info, debug, error, fault };

// A log object: the subsystem and category under which entries are filed.
struct OSLog {
    std::string subsystem;
    std::string category;
};

struct OSLogEntry {
    std::string subsystem;
    std::string category;
    OSLogType type = OSLogType::defaultType;
    std::string message;
};

using OSLogSink = std::function<void(const OSLogEntry&)>;

// Writes one entry through the current sink. The default sink is syslog(3): facility
// LOG_USER, ident "QORUniversalSDK", the text "[subsystem:category] message" at a priority
// that follows the type (default notice, info info, debug debug, error err, fault crit).
// May be called from any thread.
void osLog(const OSLog& log, OSLogType type, std::string_view message);

// Formats like the system log and writes the result. In `format`, "%{public}@" takes the next
// argument as it is; "%@" and "%{private}@" take it but print "<private>", as the system log
// does for dynamic texts not marked public; "%%" is a percent sign. Arguments that the format
// does not ask for are ignored, and a placeholder without an argument prints "(null)".
void osLog(const OSLog& log, OSLogType type, std::string_view format,
           std::initializer_list<std::string_view> arguments);
std::string osLogFormat(std::string_view format, std::initializer_list<std::string_view> arguments);

// Replaces the sink (an empty function restores syslog) and returns the one it replaced, so a
// test can capture entries and put the previous sink back.
OSLogSink setOSLogSink(OSLogSink sink);

// The syslog sink itself.
void writeToSyslog(const OSLogEntry& entry);

}  // namespace qor::platform
