#pragma once

#include <cmath>
#include <cstddef>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <QORUniversalSDK/Platform/Foundation/Any.h>
#include <QORUniversalSDK/Platform/Foundation/Coding/CodingErrors.h>
#include <QORUniversalSDK/Platform/Foundation/Coding/CodingTraits.h>
#include <QORUniversalSDK/Platform/Foundation/Coding/KeyStrategy.h>
#include <QORUniversalSDK/Platform/Support/Export.h>

namespace qor::platform {

struct QOR_EXPORT DecodingContext {
    KeyDecodingStrategy keyDecodingStrategy = KeyDecodingStrategy::useDefaultKeys;
};

class KeyedDecodingContainer;

// A record: a type with `static T decode(const KeyedDecodingContainer&)`.
template <class T>
concept DecodableRecord = requires(const KeyedDecodingContainer& container) {
    { T::decode(container) } -> std::convertible_to<T>;
};

namespace coding {
template <class T>
T decodeValue(const Any& value, const CodingPath& path, const DecodingContext& context);
}  // namespace coding

// What a record's decode reads from: one JSON object. Keys the record does not ask for are
// ignored. The first failure throws a DecodingError and ends the whole decoding.
class QOR_EXPORT KeyedDecodingContainer {
public:
    KeyedDecodingContainer(const Any::Dictionary& source, const CodingPath& path, const DecodingContext& context)
        : KeyedDecodingContainer(source, path, context, nullptr) {}

    // Required: a missing key fails with keyNotFound, a null with valueNotFound (unless T takes
    // null, as Any and std::optional do), a value of another JSON type with typeMismatch.
    template <class T>
    T decode(std::string_view key) const {
        const Any* value = lookup(key);
        const CodingPath child(path_, key);
        if (value == nullptr) throwKeyNotFound(child, key);
        return decodeFound<T>(*value, child);
    }

    // Optional: a missing key or a null gives nullopt; a value of another JSON type fails.
    template <class T>
    std::optional<T> decodeIfPresent(std::string_view key) const {
        const Any* value = lookup(key);
        if (value == nullptr || value->isNull()) return std::nullopt;
        const CodingPath child(path_, key);
        return decodeFound<T>(*value, child);
    }

    // For a list of records: as decoding it as a std::vector of a record, with the same checks and
    // failures, but each element's container goes to `each` (a callable taking a const
    // KeyedDecodingContainer&) as soon as the element is read, for the record to decode there, and
    // nothing is kept. The list of a long document is read one element at a time, a long element's
    // own lists in turn only as they are decoded: neither the list's untyped elements nor (when
    // `each` lets go of them) its records are ever all held at once.
    template <class Each>
    void decodeEachRecord(std::string_view key, Each&& each) const {
        const Any* value = lookup(key);
        const CodingPath child(path_, key);
        if (value == nullptr) throwKeyNotFound(child, key);
        forEachRecord(*value, child, RecordCall::to(each));
    }
    // The same for an optional list: false, with no call, when the key is missing or null.
    template <class Each>
    bool decodeEachRecordIfPresent(std::string_view key, Each&& each) const {
        const Any* value = lookup(key);
        if (value == nullptr || value->isNull()) return false;
        const CodingPath child(path_, key);
        forEachRecord(*value, child, RecordCall::to(each));
        return true;
    }

    bool contains(std::string_view key) const { return lookup(key) != nullptr; }
    // True when the key holds null; a missing key fails with keyNotFound.
    bool decodeNil(std::string_view key) const;
    // The keys of the object (after key conversion), in document order.
    std::vector<std::string> allKeys() const;
    const CodingPath& codingPath() const { return path_; }

private:
    friend class JSONDecoder;
    // The members of `source` that a long document's reading left as their text (internal to
    // the decoder); each is read when it is decoded.
    struct Deferred;

    KeyedDecodingContainer(const Any::Dictionary& source, const CodingPath& path, const DecodingContext& context,
                           const Deferred* deferred);

    // A callable that takes a record's container, handed to the library's code by reference: no
    // copy of it, and no type information of its own.
    struct RecordCall {
        void* callable;
        void (*call)(void* callable, const KeyedDecodingContainer& container);

        template <class F>
        static RecordCall to(F& f) {
            return {const_cast<void*>(static_cast<const void*>(std::addressof(f))), &callOn<F>};
        }
        template <class F>
        static void callOn(void* callable, const KeyedDecodingContainer& container) {
            (*static_cast<F*>(callable))(container);
        }
        void operator()(const KeyedDecodingContainer& container) const { call(callable, container); }
    };

    // Each element of the list `value` as a record's container; null or another JSON type fails.
    void forEachRecord(const Any& value, const CodingPath& path, RecordCall each) const;

    template <class T>
    T decodeFound(const Any& value, const CodingPath& path) const {
        if (deferred_ != nullptr) {
            if (auto read = readIfDeferred(value)) return coding::decodeValue<T>(*read, path, context_);
        }
        return coding::decodeValue<T>(value, path, context_);
    }

    // The value a member left as its text reads as; nothing for any other value.
    std::optional<Any> readIfDeferred(const Any& value) const;
    const Any* lookup(std::string_view key) const;
    const Any* lookupInSource(std::string_view key) const;
    [[noreturn]] static void throwKeyNotFound(const CodingPath& path, std::string_view key);

    const Any::Dictionary& source_;
    const CodingPath& path_;
    const DecodingContext& context_;
    const Deferred* deferred_;
    // With snake-case conversion: the object's keys converted, each with its value.
    std::vector<std::pair<std::string, const Any*>> converted_;
    // Where the next key is looked for first; objects larger than kScannedKeys use their index.
    mutable std::size_t next_ = 0;
    static constexpr std::size_t kScannedKeys = 24;
};

namespace coding {

[[noreturn]] QOR_EXPORT void throwTypeMismatch(const CodingPath& path, std::string_view expected, const Any& found);
[[noreturn]] QOR_EXPORT void throwValueNotFound(const CodingPath& path, std::string_view expected);
[[noreturn]] QOR_EXPORT void throwNumberDoesNotFit(const CodingPath& path, const Any& number, std::string_view type);

template <class I>
I decodeInteger(const Any& value, const CodingPath& path) {
    if (!value.isNumber()) throwTypeMismatch(path, typeName<I>(), value);
    if constexpr (std::is_signed_v<I>) {
        const auto exact = value.tryInt64();
        if (exact && *exact >= std::numeric_limits<I>::min() && *exact <= std::numeric_limits<I>::max()) {
            return static_cast<I>(*exact);
        }
    } else {
        const auto exact = value.tryUInt64();
        if (exact && *exact <= std::numeric_limits<I>::max()) return static_cast<I>(*exact);
    }
    throwNumberDoesNotFit(path, value, typeName<I>());
}

QOR_EXPORT double decodeDouble(const Any& value, const CodingPath& path);
QOR_EXPORT float decodeFloat(const Any& value, const CodingPath& path);
QOR_EXPORT Decimal decodeDecimal(const Any& value, const CodingPath& path);
QOR_EXPORT bool decodeBool(const Any& value, const CodingPath& path);
QOR_EXPORT std::string decodeString(const Any& value, const CodingPath& path);
[[noreturn]] QOR_EXPORT void throwInvalidRawValue(const CodingPath& path, const std::string& raw);

template <class E>
E decodeEnum(const Any& value, const CodingPath& path) {
    using Raw = std::remove_cvref_t<decltype(EnumRawValues<E>::cases[0].second)>;
    if constexpr (std::same_as<Raw, std::string_view>) {
        const std::string raw = decodeString(value, path);
        for (const auto& [candidate, rawValue] : EnumRawValues<E>::cases) {
            if (rawValue == raw) return candidate;
        }
        throwInvalidRawValue(path, "\"" + raw + "\"");
    } else {
        static_assert(std::integral<Raw>, "enum raw values are integers or std::string_view");
        const Raw raw = decodeInteger<Raw>(value, path);
        for (const auto& [candidate, rawValue] : EnumRawValues<E>::cases) {
            if (rawValue == raw) return candidate;
        }
        throwInvalidRawValue(path, std::to_string(raw));
    }
}

template <class T>
T decodeValue(const Any& value, const CodingPath& path, const DecodingContext& context) {
    if constexpr (!acceptsNull<T>) {
        if (value.isNull()) throwValueNotFound(path, typeName<T>());
    }
    if constexpr (HasValueCoding<T>) {
        return ValueCoding<T>::decode(value, path);
    } else if constexpr (std::same_as<T, Any>) {
        return value;
    } else if constexpr (std::same_as<T, bool>) {
        return decodeBool(value, path);
    } else if constexpr (std::integral<T>) {
        return decodeInteger<T>(value, path);
    } else if constexpr (std::same_as<T, double>) {
        return decodeDouble(value, path);
    } else if constexpr (std::same_as<T, float>) {
        return decodeFloat(value, path);
    } else if constexpr (std::same_as<T, std::string>) {
        return decodeString(value, path);
    } else if constexpr (std::same_as<T, Decimal>) {
        return decodeDecimal(value, path);
    } else if constexpr (HasEnumRawValues<T>) {
        return decodeEnum<T>(value, path);
    } else if constexpr (IsOptional<T>::value) {
        if (value.isNull()) return T();
        return T(decodeValue<typename T::value_type>(value, path, context));
    } else if constexpr (IsVector<T>::value) {
        const auto* array = value.tryArray();
        if (array == nullptr) throwTypeMismatch(path, "Array", value);
        T result;
        result.reserve(array->size());
        for (std::size_t index = 0; index < array->size(); ++index) {
            const CodingPath child(path, index);
            result.push_back(decodeValue<typename T::value_type>((*array)[index], child, context));
        }
        return result;
    } else if constexpr (IsStringMap<T>::value) {
        const auto* dictionary = value.tryDictionary();
        if (dictionary == nullptr) throwTypeMismatch(path, "Dictionary", value);
        T result;
        for (const auto& [key, element] : *dictionary) {
            const CodingPath child(path, key);
            result.insert_or_assign(key, decodeValue<typename T::mapped_type>(element, child, context));
        }
        return result;
    } else if constexpr (DecodableRecord<T>) {
        const auto* dictionary = value.tryDictionary();
        if (dictionary == nullptr) throwTypeMismatch(path, "Dictionary", value);
        const KeyedDecodingContainer container(*dictionary, path, context);
        return T::decode(container);
    } else {
        static_assert(alwaysFalse<T>,
                      "This type cannot be decoded: give it a static decode, EnumRawValues or ValueCoding");
    }
}

}  // namespace coding
}  // namespace qor::platform
