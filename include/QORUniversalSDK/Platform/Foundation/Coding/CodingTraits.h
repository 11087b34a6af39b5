#pragma once

#include <concepts>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include <QORUniversalSDK/Platform/Foundation/Any.h>
#include <QORUniversalSDK/Platform/Foundation/Coding/CodingPath.h>
#include <QORUniversalSDK/Platform/Foundation/Decimal.h>
#include <QORUniversalSDK/Platform/Foundation/OptionalTraits.h>
#include <QORUniversalSDK/Platform/Support/Export.h>

namespace qor::platform {

// An enum with raw values specialises this with a constexpr array `cases` of
// (case, raw value) pairs; the raw type is an integer type or std::string_view:
//   template <> struct EnumRawValues<Gender> {
//     static constexpr std::array cases{std::pair{Gender::male, std::string_view("m")}, ...};
//   };
// The enum is written as its raw value; reading a raw value that is not listed fails.
template <class E>
struct EnumRawValues;

// A type that codes as one single value specialises this:
//   template <> struct ValueCoding<MyType> {
//     static Any encode(const MyType&);
//     static MyType decode(const Any& value, const CodingPath& path);  // throws DecodingError
//   };
// A JSON null in a required place fails with valueNotFound before decode is called, unless the
// specialisation declares `static constexpr bool acceptsNull = true;` (then decode sees the null).
template <class T>
struct ValueCoding;

namespace coding {

template <class T>
concept HasEnumRawValues = std::is_enum_v<T> && requires {
    EnumRawValues<T>::cases;
};

template <class T>
concept HasValueCoding = requires(const T& value, const Any& any, const CodingPath& path) {
    { ValueCoding<T>::encode(value) } -> std::convertible_to<Any>;
    { ValueCoding<T>::decode(any, path) } -> std::convertible_to<T>;
};

template <class T>
struct IsVector : std::false_type {};
template <class T, class A>
struct IsVector<std::vector<T, A>> : std::true_type {};

template <class T>
struct IsStringMap : std::false_type {};
template <class T, class C, class A>
struct IsStringMap<std::map<std::string, T, C, A>> : std::true_type {};

template <class T>
concept ValueCodingAcceptsNull = HasValueCoding<T> && requires {
    requires ValueCoding<T>::acceptsNull;
};

// Types whose decoding sees a JSON null instead of failing on it.
template <class T>
constexpr bool acceptsNull = std::same_as<T, Any> || IsOptional<T>::value || ValueCodingAcceptsNull<T>;

template <class>
constexpr bool alwaysFalse = false;

// The type's name in error texts.
template <class T>
constexpr std::string_view typeName() {
    if constexpr (std::same_as<T, bool>) {
        return "Bool";
    } else if constexpr (std::integral<T>) {
        if constexpr (std::is_signed_v<T>) {
            if constexpr (sizeof(T) == 1) return "Int8";
            if constexpr (sizeof(T) == 2) return "Int16";
            if constexpr (sizeof(T) == 4) return "Int32";
            if constexpr (sizeof(T) == 8) return "Int64";
        } else {
            if constexpr (sizeof(T) == 1) return "UInt8";
            if constexpr (sizeof(T) == 2) return "UInt16";
            if constexpr (sizeof(T) == 4) return "UInt32";
            if constexpr (sizeof(T) == 8) return "UInt64";
        }
        return "Int";
    } else if constexpr (std::same_as<T, float>) {
        return "Float";
    } else if constexpr (std::same_as<T, double>) {
        return "Double";
    } else if constexpr (std::same_as<T, std::string>) {
        return "String";
    } else if constexpr (std::same_as<T, Decimal>) {
        return "Decimal";
    } else if constexpr (IsVector<T>::value) {
        return "Array";
    } else if constexpr (IsOptional<T>::value) {
        return typeName<typename T::value_type>();
    } else if constexpr (HasEnumRawValues<T>) {
        return typeName<std::remove_cvref_t<decltype(EnumRawValues<T>::cases[0].second)>>();
    } else if constexpr (std::same_as<T, std::string_view>) {
        return "String";
    } else {
        return "Dictionary";
    }
}

// "a string", "null", "a number", ... for "but found ... instead".
QOR_EXPORT std::string_view kindDescription(const Any& value);

// The value of a number as text, for error messages.
QOR_EXPORT std::string numberDescription(const Any& value);

}  // namespace coding
}  // namespace qor::platform
