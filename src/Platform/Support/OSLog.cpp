#include "Platform/Support/OSLog.h"

#include <syslog.h>

#include <mutex>

namespace qor::platform {
namespace {

struct SinkSlot {
    std::mutex mutex;
    OSLogSink sink;  // empty means syslog
};

SinkSlot& sinkSlot() {
    static auto* slot = new SinkSlot;
    return *slot;
}

int syslogPriority(OSLogType type) {
    switch (type) {
        case OSLogType::info:
            return LOG_INFO;
        case OSLogType::debug:
            return LOG_DEBUG;
        case OSLogType::error:
            return LOG_ERR;
        case OSLogType::fault:
            return LOG_CRIT;
        case OSLogType::defaultType:
            break;
    }
    return LOG_NOTICE;
}

}  // namespace

void writeToSyslog(const OSLogEntry& entry) {
    static std::once_flag opened;
    // LOG_NDELAY is left out: the connection to the log daemon opens at the first entry.
    std::call_once(opened, [] { ::openlog("QORUniversalSDK", LOG_PID, LOG_USER); });
    ::syslog(syslogPriority(entry.type), "[%s:%s] %s", entry.subsystem.c_str(), entry.category.c_str(),
             entry.message.c_str());
}

void osLog(const OSLog& log, OSLogType type, std::string_view message) {
    OSLogSink sink;
    {
        auto& slot = sinkSlot();
        std::lock_guard lock(slot.mutex);
        sink = slot.sink;
    }
    const OSLogEntry entry{log.subsystem, log.category, type, std::string(message)};
    // The sink runs outside the lock so that it may log or swap sinks itself.
    if (sink) {
        sink(entry);
    } else {
        writeToSyslog(entry);
    }
}

std::string osLogFormat(std::string_view format, std::initializer_list<std::string_view> arguments) {
    std::string text;
    auto next = arguments.begin();
    const auto takeArgument = [&]() -> std::string_view {
        if (next == arguments.end()) return "(null)";
        return *next++;
    };
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') {
            text += format[i];
            continue;
        }
        const std::string_view rest = format.substr(i);
        if (rest.starts_with("%%")) {
            text += '%';
            i += 1;
        } else if (rest.starts_with("%{public}@")) {
            text += takeArgument();
            i += std::string_view("%{public}@").size() - 1;
        } else if (rest.starts_with("%{private}@")) {
            takeArgument();
            text += "<private>";
            i += std::string_view("%{private}@").size() - 1;
        } else if (rest.starts_with("%@")) {
            takeArgument();
            text += "<private>";
            i += 1;
        } else {
            text += '%';
        }
    }
    return text;
}

void osLog(const OSLog& log, OSLogType type, std::string_view format,
           std::initializer_list<std::string_view> arguments) {
    osLog(log, type, osLogFormat(format, arguments));
}

OSLogSink setOSLogSink(OSLogSink sink) {
    auto& slot = sinkSlot();
    std::lock_guard lock(slot.mutex);
    std::swap(slot.sink, sink);
    return sink;
}

}  // namespace qor::platform
