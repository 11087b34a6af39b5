#include "Core/SharedAnalyticsLog.h"

#include <mutex>

namespace qor {

namespace {

struct Slot {
    std::mutex mutex;
    std::weak_ptr<LogDispatcher> dispatcher;
};

Slot& slot() {
    static auto* value = new Slot;
    return *value;
}

}  // namespace

void setSharedLogDispatcher(std::weak_ptr<LogDispatcher> dispatcher) {
    auto& s = slot();
    std::lock_guard<std::mutex> guard(s.mutex);
    s.dispatcher = std::move(dispatcher);
}

std::shared_ptr<LogDispatcher> sharedLogDispatcher() {
    auto& s = slot();
    std::lock_guard<std::mutex> guard(s.mutex);
    return s.dispatcher.lock();
}

void logThroughSharedAnalytics(const std::string& message, LogFilterKind kind, std::string_view function, int line) {
    // The call happens outside the slot's lock, so a dispatcher may log again freely.
    if (auto dispatcher = sharedLogDispatcher()) dispatcher->dispatchLog(message, kind, std::string(function), line);
}

}  // namespace qor
