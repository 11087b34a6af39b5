#pragma once

#include <array>
#include <optional>
#include <string_view>
#include <utility>

#include <QORUniversalSDK/AdNetwork/AdNetworkCoding.h>

namespace qor {

// Which auction step an auction event records; written as its raw text under "name".
enum class BatchType {
    bidRequest,
    bidResponse,
    bidError,
    bidWinner,
};

// What kind of event an auction event is on the wire; the recorder always writes "track".
enum class BatchEventType {
    track,
    event,
};

}  // namespace qor

template <>
struct qor::platform::EnumRawValues<qor::BatchType> {
    using E = qor::BatchType;
    static constexpr std::array cases{
        std::pair{E::bidRequest, std::string_view("bidRequest")},
        std::pair{E::bidResponse, std::string_view("bidResponse")},
        std::pair{E::bidError, std::string_view("bidError")},
        std::pair{E::bidWinner, std::string_view("bidWinner")},
    };
};

template <>
struct qor::platform::EnumRawValues<qor::BatchEventType> {
    using E = qor::BatchEventType;
    static constexpr std::array cases{
        std::pair{E::track, std::string_view("track")},
        std::pair{E::event, std::string_view("event")},
    };
};

namespace qor {

namespace detail {

template <class E>
constexpr std::string_view textRawValue(E value) {
    for (const auto& [candidate, raw] : platform::EnumRawValues<E>::cases) {
        if (candidate == value) return raw;
    }
    return {};
}

template <class E>
constexpr std::optional<E> fromTextRawValue(std::string_view raw) {
    for (const auto& [candidate, text] : platform::EnumRawValues<E>::cases) {
        if (text == raw) return candidate;
    }
    return std::nullopt;
}

}  // namespace detail

constexpr std::string_view rawValue(BatchType type) { return detail::textRawValue(type); }
constexpr std::string_view rawValue(BatchEventType type) { return detail::textRawValue(type); }

// Exact, case-sensitive: any other text gives nothing.
constexpr std::optional<BatchType> batchTypeFromRawValue(std::string_view raw) {
    return detail::fromTextRawValue<BatchType>(raw);
}
constexpr std::optional<BatchEventType> batchEventTypeFromRawValue(std::string_view raw) {
    return detail::fromTextRawValue<BatchEventType>(raw);
}

}  // namespace qor
