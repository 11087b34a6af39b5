#include "Analytics/DeviceToken.h"

#include "Analytics/Analytics.h"
#include "Core/KeyPath.h"

namespace qor {

std::optional<std::string> DeviceToken::token() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return token_;
}

void DeviceToken::setToken(std::optional<std::string> token) {
    std::lock_guard<std::mutex> guard(mutex_);
    token_ = std::move(token);
}

std::optional<AnyRawEvent> DeviceToken::execute(AnyRawEvent event) {
    RawEvent& raw = common(event);
    const auto current = token();
    if (!raw.context || !current) return event;
    const auto* members = raw.context->object();
    if (members == nullptr) return event;

    platform::AnyDictionary context = JSON::anyDictionary(*members);
    setValue(context, std::optional<platform::Any>(platform::Any(*current)), KeyPath("device.token"));
    try {
        raw.context = JSON::fromAny(context);
    } catch (...) {
        if (auto owner = analytics()) owner->reportInternalError(std::current_exception(), false);
    }
    return event;
}

}  // namespace qor
