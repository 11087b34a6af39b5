#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include <QORUniversalSDK/Core/KeyPath.h>
#include <QORUniversalSDK/Core/SharedAnalyticsLog.h>
#include <QORUniversalSDK/Platform/Foundation/Any.h>
#include <QORUniversalSDK/Platform/Foundation/Coding/Codable.h>
#include <QORUniversalSDK/Platform/Foundation/Decimal.h>
#include <QORUniversalSDK/Platform/Foundation/JSONDecoder.h>
#include <QORUniversalSDK/Platform/Foundation/JSONEncoder.h>
#include <QORUniversalSDK/Platform/Foundation/JSONSerialization.h>
#include <QORUniversalSDK/Platform/Support/Export.h>

namespace qor {

class JSON;

// The members of a JSON object: keys unique, kept in insertion order (which is the
// order they are written in). Setting an existing key replaces its value in place.
class QOR_EXPORT JSONObject {
public:
    using value_type = std::pair<std::string, JSON>;
    using const_iterator = std::vector<value_type>::const_iterator;

    JSONObject() = default;
    // Later entries replace earlier ones with the same key. Throws JSON::JSONError
    // (nonJSONType) for a key that is not UTF-8.
    JSONObject(std::initializer_list<value_type> entries);

    // Defined below JSON: a member's pair needs the complete value type.
    std::size_t size() const;
    bool empty() const;
    const_iterator begin() const;
    const_iterator end() const;

    const JSON* find(std::string_view key) const;
    bool contains(std::string_view key) const { return find(key) != nullptr; }
    // Throws JSON::JSONError (nonJSONType) for a key that is not UTF-8.
    void set(std::string key, JSON value);
    bool erase(std::string_view key);

    // Same key set and equal values under every key; order is ignored.
    friend QOR_EXPORT bool operator==(const JSONObject& a, const JSONObject& b);

private:
    friend class JSON;
    // For keys already known to be unique and valid.
    void appendUnchecked(std::string key, JSON value);

    std::vector<value_type> members_;
};

// The free-form JSON value of the analytics side: event properties and traits, the
// event context, settings. A plain value: copies are independent.
//
// A JSON value always holds something that can be written as JSON text: numbers are
// finite decimals and texts are UTF-8, so encoding one never fails.
class QOR_EXPORT JSON {
public:
    using Array = std::vector<JSON>;
    using Object = JSONObject;

    enum class Kind { boolean, number, string, array, object, null };

    // The conversions' and changes' failures.
    struct JSONError : std::exception {
        enum class Code { nonJSONType, unknown, incorrectType };

        explicit JSONError(Code code, std::string type = {});
        static JSONError nonJSONType(std::string type) { return JSONError(Code::nonJSONType, std::move(type)); }
        static JSONError incorrectType() { return JSONError(Code::incorrectType); }

        Code code;
        std::string type;  // nonJSONType: the printed description of the value that failed
        const char* what() const noexcept override { return message_.c_str(); }

    private:
        std::string message_;
    };

    // The cases. `number` refuses NaN and `string` refuses text that is not UTF-8
    // (both with nonJSONType).
    JSON() = default;                      // null
    JSON(std::nullptr_t) {}                // NOLINT
    JSON(bool value) : storage_(value) {}  // NOLINT
    template <class I>
    requires(std::is_integral_v<I> && !std::is_same_v<I, bool> && !std::is_same_v<I, char>) JSON(I value)
        : storage_(platform::Decimal(value)) {}                 // NOLINT
    JSON(double value);                                         // NOLINT; non-finite values throw nonJSONType
    JSON(const platform::Decimal& value);                       // NOLINT; NaN throws nonJSONType
    JSON(std::string value);                                    // NOLINT
    JSON(std::string_view value) : JSON(std::string(value)) {}  // NOLINT
    JSON(const char* value) : JSON(std::string(value)) {}       // NOLINT
    JSON(Array value) : storage_(std::move(value)) {}           // NOLINT
    JSON(Object value) : storage_(std::move(value)) {}          // NOLINT

    // From an untyped value: null, booleans (a boolean never becomes a number), numbers,
    // texts, arrays and dictionaries, recursively. Throws nonJSONType with the printed
    // description of the innermost failing value (a non-finite number, a number beyond
    // the decimal range, a text that is not UTF-8).
    static JSON fromAny(const platform::Any& value);
    static JSON fromAny(const platform::AnyDictionary& dictionary);
    // The members of a dictionary, each converted by fromAny.
    static Object jsonDictionary(const platform::AnyDictionary& dictionary);

    // Any encodable value: encoded to JSON text, read back with no reading options (so a
    // bare scalar at the top level fails) and converted. The encoder's or the reader's
    // error is passed on unchanged.
    template <class T>
    static JSON with(const T& value);

    Kind kind() const { return static_cast<Kind>(storage_.index()); }
    bool isNull() const { return kind() == Kind::null; }

    // Typed accessors: each answers only for its own case.
    std::optional<bool> boolValue() const;
    std::optional<platform::Decimal> decimalValue() const;
    // Truncated toward zero and clamped to the type's range.
    std::optional<std::int64_t> intValue() const;
    std::optional<std::uint64_t> uintValue() const;
    std::optional<float> floatValue() const;
    std::optional<double> doubleValue() const;
    std::optional<std::string> stringValue() const;
    std::optional<platform::Any::Array> arrayValue() const;
    std::optional<platform::AnyDictionary> dictionaryValue() const;

    // Direct views of the payload (nullptr for another case).
    const Array* array() const { return std::get_if<Array>(&storage_); }
    const Object* object() const { return std::get_if<Object>(&storage_); }
    const std::string* string() const { return std::get_if<std::string>(&storage_); }

    // An object decoded as T; nullopt for any other case or when decoding fails.
    template <class T>
    std::optional<T> codableValue() const;

    // The element at `index` of an array; the member under `key` of an object.
    template <class I>
    requires std::is_integral_v<I> std::optional<JSON>
    operator[](I index) const { return element(static_cast<std::ptrdiff_t>(index)); }
    std::optional<JSON> operator[](std::string_view key) const;
    std::optional<JSON> operator[](const char* key) const { return (*this)[std::string_view(key)]; }

    // The value of type T at `keyPath` of an object. A dictionary found there is decoded
    // as T (a failure is logged); any other value is converted to T when it is one.
    template <class T>
    std::optional<T> value(const KeyPath& keyPath) const;

    // Stores `newValue` at `keyPath` of an object (an absent value stores null); does
    // nothing on other cases or when the value cannot be converted.
    template <class T>
    void setValue(const std::optional<T>& newValue, const KeyPath& keyPath);
    template <class T>
    void setValue(const T& newValue, const KeyPath& keyPath) {
        setValue(std::optional<T>(newValue), keyPath);
    }

    // Changes that return a new value; the receiver is never changed. Throw
    // incorrectType on the wrong case and nonJSONType when the value does not convert.
    JSON add(const platform::Any& value) const;
    JSON add(const platform::Any& value, const std::string& key) const;
    JSON remove(const std::string& key) const;

    // Keys renamed through `keyMap` and leaves transformed, at every depth; see the
    // definition. Cases other than object are returned unchanged. When two keys of one
    // dictionary end up with the same name, the one visited last wins.
    using ValueTransform = std::function<platform::Any(const std::string& key, const platform::Any& value)>;
    JSON mapTransform(const std::map<std::string, std::string>& keyMap,
                      const ValueTransform& valueTransform = nullptr) const;

    // To plain values: numbers become Decimal values, null the null value.
    platform::Any toAny() const;
    // The members of an object as plain values, keys unchanged.
    static platform::AnyDictionary anyDictionary(const Object& members);

    // Same case and equal payloads; numbers by value (1 == 1.0), texts by their bytes,
    // objects whatever their member order.
    friend QOR_EXPORT bool operator==(const JSON& a, const JSON& b);

private:
    std::optional<JSON> element(std::ptrdiff_t index) const;
    static JSON fromAnyChecked(const platform::Any& value);
    static void logDecodingFailure(const KeyPath& keyPath, const std::string& error);
    template <class T>
    static std::optional<T> castLeaf(const platform::Any& value);

    std::variant<bool, platform::Decimal, std::string, Array, Object, std::monostate> storage_{std::monostate{}};
};

inline std::size_t JSONObject::size() const { return members_.size(); }
inline bool JSONObject::empty() const { return members_.empty(); }
inline JSONObject::const_iterator JSONObject::begin() const { return members_.begin(); }
inline JSONObject::const_iterator JSONObject::end() const { return members_.end(); }

}  // namespace qor

namespace qor::platform {

// JSON codes as one single value: null, a boolean, a decimal number, a text, a list or
// an object, whichever the data holds.
template <>
struct QOR_EXPORT ValueCoding<qor::JSON> {
    static constexpr bool acceptsNull = true;
    // Its numbers are finite and its texts and keys UTF-8, checked when it was made.
    static constexpr bool alwaysWritable = true;
    static Any encode(const qor::JSON& value) { return value.toAny(); }
    // The same text as encode's value gives, written from the value itself.
    static void write(const qor::JSON& value, coding::TextWriter& writer);
    static qor::JSON decode(const Any& value, const CodingPath& path);
};

}  // namespace qor::platform

namespace qor {

// JSON text of any encodable value: compact, keys in their order, "/" written as "\/".
// When encoding fails the text is the error's description instead; it never throws.
template <class T>
std::string toString(const T& value, bool pretty = false);
template <class T>
std::string prettyPrint(const T& value) {
    return toString(value, true);
}

namespace detail {

template <class T>
struct IsStdVector : std::false_type {};
template <class T, class A>
struct IsStdVector<std::vector<T, A>> : std::true_type {};

// Whether the coding layer can decode a T (mirrors the types it knows).
template <class T>
constexpr bool isDecodable() {
    namespace coding = platform::coding;
    if constexpr (coding::HasValueCoding<T> || std::is_same_v<T, platform::Any> || std::is_arithmetic_v<T> ||
                  std::is_same_v<T, std::string> || std::is_same_v<T, platform::Decimal> ||
                  coding::HasEnumRawValues<T> || platform::DecodableRecord<T>) {
        return true;
    } else if constexpr (platform::IsOptional<T>::value || coding::IsVector<T>::value) {
        return isDecodable<typename T::value_type>();
    } else if constexpr (coding::IsStringMap<T>::value) {
        return isDecodable<typename T::mapped_type>();
    } else {
        return false;
    }
}

template <class T>
concept DecodableValue = isDecodable<T>();

}  // namespace detail

template <class T>
JSON JSON::with(const T& value) {
    const platform::Data data = platform::JSONEncoder().encode(value);
    return fromAny(platform::JSONSerialization::jsonObject(data));
}

template <class T>
std::optional<T> JSON::codableValue() const {
    if (kind() != Kind::object) return std::nullopt;
    if constexpr (detail::DecodableValue<T>) {
        try {
            return platform::JSONDecoder().decode<T>(platform::JSONSerialization::data(toAny()));
        } catch (const std::exception&) {
            return std::nullopt;
        }
    } else {
        return std::nullopt;
    }
}

template <class T>
std::optional<T> JSON::castLeaf(const platform::Any& value) {
    using platform::Any;
    if constexpr (std::is_same_v<T, Any>) {
        return value;
    } else if constexpr (std::is_same_v<T, bool>) {
        return value.tryBool();
    } else if constexpr (std::is_integral_v<T>) {
        if constexpr (std::is_signed_v<T>) {
            const auto exact = value.tryInt64();
            if (!exact || *exact < std::numeric_limits<T>::min() || *exact > std::numeric_limits<T>::max()) return {};
            return static_cast<T>(*exact);
        } else {
            const auto exact = value.tryUInt64();
            if (!exact || *exact > std::numeric_limits<T>::max()) return {};
            return static_cast<T>(*exact);
        }
    } else if constexpr (std::is_floating_point_v<T>) {
        const auto number = value.tryDouble();
        if (!number) return std::nullopt;
        return static_cast<T>(*number);
    } else if constexpr (std::is_same_v<T, platform::Decimal>) {
        return value.tryDecimal();
    } else if constexpr (std::is_same_v<T, std::string>) {
        const auto* text = value.tryString();
        return text ? std::optional<T>(*text) : std::nullopt;
    } else if constexpr (detail::IsStdVector<T>::value) {
        const auto* elements = value.tryArray();
        if (elements == nullptr) return std::nullopt;
        T result;
        for (const auto& element : *elements) {
            auto converted = castLeaf<typename T::value_type>(element);
            if (!converted) return std::nullopt;
            result.push_back(std::move(*converted));
        }
        return result;
    } else {
        // Leaves are plain values: never a JSON, a dictionary type or a record.
        return std::nullopt;
    }
}

template <class T>
std::optional<T> JSON::value(const KeyPath& keyPath) const {
    const auto* members = object();
    if (members == nullptr) return std::nullopt;
    const platform::Any whole = toAny();
    auto found = qor::value(whole.asDictionary(), keyPath);
    if (!found) return std::nullopt;
    if (const auto* dictionary = found->tryDictionary()) {
        if constexpr (detail::DecodableValue<T>) {
            try {
                return platform::JSONDecoder().decode<T>(platform::JSONSerialization::data(*found));
            } catch (const std::exception& error) {
                logDecodingFailure(keyPath, error.what());
            }
        }
        if constexpr (std::is_same_v<T, platform::AnyDictionary>) return *dictionary;
        return std::nullopt;
    }
    return castLeaf<T>(*found);
}

template <class T>
void JSON::setValue(const std::optional<T>& newValue, const KeyPath& keyPath) {
    if (object() == nullptr) return;
    std::optional<JSON> converted;
    try {
        if (!newValue) {
            converted = JSON();
        } else if constexpr (std::is_same_v<T, JSON>) {
            converted = *newValue;
        } else if constexpr (std::is_constructible_v<platform::Any, const T&>) {
            converted = fromAny(platform::Any(*newValue));
        } else {
            converted = with(*newValue);
        }
    } catch (const std::exception&) {
        return;
    }
    platform::Any whole = toAny();
    qor::setValue(whole.asDictionary(), std::optional<platform::Any>(converted->toAny()), keyPath);
    try {
        *this = fromAny(whole);
    } catch (const JSONError&) {
        // Leave the receiver as it was.
    }
}

template <class T>
std::string toString(const T& value, bool pretty) {
    platform::JSONEncoder encoder;
    encoder.prettyPrinted = pretty;
    try {
        return encoder.encodeToString(value);
    } catch (const platform::EncodingError& error) {
        return error.localizedDescription();
    } catch (const std::exception& error) {
        return error.what();
    }
}

}  // namespace qor
