#pragma once

// The one place where the bid-request records meet the shared coding layer. Every record of this
// folder declares its keys with `encode(KeyedEncodingContainer&)` and `decode(const
// KeyedDecodingContainer&)`; swapping or moving the layer touches only this include.
#include <optional>
#include <type_traits>

#include <QORUniversalSDK/Platform/Foundation/Coding/Codable.h>
#include <QORUniversalSDK/Platform/Foundation/Coding/CodingTraits.h>
#include <QORUniversalSDK/Platform/Foundation/JSONDecoder.h>
#include <QORUniversalSDK/Platform/Foundation/JSONEncoder.h>

namespace qor {

using platform::EnumRawValues;
using platform::KeyedDecodingContainer;
using platform::KeyedEncodingContainer;

// The type of an enum's raw values as its EnumRawValues table lists them: std::int64_t for the
// numbered OpenRTB lists, std::string_view for the user's gender.
template <platform::coding::HasEnumRawValues E>
using RawValueOf = std::remove_cvref_t<decltype(EnumRawValues<E>::cases[0].second)>;

// The case's raw value from its table: the number of a numbered list, the letter of a gender
// ("m", "f", "o"); never the enumerator's position in the C++ enum.
template <platform::coding::HasEnumRawValues E>
constexpr RawValueOf<E> rawValue(E value) {
    for (const auto& [candidate, raw] : EnumRawValues<E>::cases) {
        if (candidate == value) return raw;
    }
    if constexpr (std::is_integral_v<RawValueOf<E>>) {
        return static_cast<RawValueOf<E>>(value);
    } else {
        return RawValueOf<E>{};
    }
}

// The raw-value constructor: the case with this raw value, or nothing when it is not one
// (enumFromRawValue<User::Gender>("f") is female; "F", "female" and "" are nothing).
template <platform::coding::HasEnumRawValues E>
constexpr std::optional<E> enumFromRawValue(RawValueOf<E> raw) {
    for (const auto& [value, candidate] : EnumRawValues<E>::cases) {
        if (candidate == raw) return value;
    }
    return std::nullopt;
}

}  // namespace qor
