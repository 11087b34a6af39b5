#pragma once

#include <optional>
#include <type_traits>

namespace qor::platform {

// Whether a type is some std::optional, for code that treats "maybe a value" apart.
template <class T>
struct IsOptional : std::false_type {};
template <class T>
struct IsOptional<std::optional<T>> : std::true_type {};

}  // namespace qor::platform
