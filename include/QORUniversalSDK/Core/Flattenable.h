#pragma once

#include <optional>
#include <type_traits>

#include <QORUniversalSDK/Platform/Foundation/OptionalTraits.h>

namespace qor {

// Nested optionals (std::optional<std::optional<T>> and deeper) collapse to one level: the
// innermost value when every level holds one, nothing as soon as any level is empty.

template <class T>
concept Flattenable = platform::IsOptional<std::remove_cvref_t<T>>::value;

template <class T>
struct FlattenedValue {
    using type = T;
};
template <class T>
struct FlattenedValue<std::optional<T>> {
    using type = typename FlattenedValue<T>::type;
};

template <class T>
using FlattenedValueT = typename FlattenedValue<std::remove_cvref_t<T>>::type;

template <Flattenable Optional>
std::optional<FlattenedValueT<Optional>> flattened(const Optional& value) {
    if (!value) return std::nullopt;
    if constexpr (Flattenable<decltype(*value)>) {
        return flattened(*value);
    } else {
        return *value;
    }
}

}  // namespace qor
