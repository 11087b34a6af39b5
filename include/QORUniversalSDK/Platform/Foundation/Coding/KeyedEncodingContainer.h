#pragma once

#include <cmath>
#include <optional>
#include <string>
#include <string_view>

#include <QORUniversalSDK/Platform/Foundation/Any.h>
#include <QORUniversalSDK/Platform/Foundation/Coding/CodingErrors.h>
#include <QORUniversalSDK/Platform/Foundation/Coding/CodingTraits.h>
#include <QORUniversalSDK/Platform/Foundation/Coding/JSONText.h>
#include <QORUniversalSDK/Platform/Foundation/Coding/KeyStrategy.h>
#include <QORUniversalSDK/Platform/Support/Export.h>

namespace qor::platform {

struct QOR_EXPORT EncodingContext {
    KeyEncodingStrategy keyEncodingStrategy = KeyEncodingStrategy::useDefaultKeys;
};

class KeyedEncodingContainer;

// A record: a type with `void encode(KeyedEncodingContainer&) const`.
template <class T>
concept EncodableRecord = requires(const T& value, KeyedEncodingContainer& container) {
    value.encode(container);
};

namespace coding {
template <class T>
Any encodeValue(const T& value, const CodingPath& path, const EncodingContext& context);
template <class T>
void writeValue(const T& value, const CodingPath& path, const EncodingContext& context, TextWriter& writer);
}  // namespace coding

// What a record's encode writes into: one JSON object whose keys come out in the order the
// record writes them. It either fills an untyped dictionary or writes the object's text
// straight out.
class QOR_EXPORT KeyedEncodingContainer {
public:
    KeyedEncodingContainer(Any::Dictionary& target, const CodingPath& path, const EncodingContext& context)
        : target_(&target), path_(path), context_(context) {}
    KeyedEncodingContainer(coding::TextWriter& writer, const CodingPath& path, const EncodingContext& context)
        : writer_(&writer), path_(path), context_(context) {}

    // Always written (an empty optional given here is written as null).
    template <class T>
    void encode(std::string_view key, const T& value) {
        const CodingPath child(path_, key);
        if (writer_ != nullptr) {
            writeKey(key);
            coding::writeValue(value, child, context_, *writer_);
            return;
        }
        target_->set(wireKey(key), coding::encodeValue(value, child, context_));
    }

    // Written only when the optional holds a value; an absent value leaves the key out.
    template <class T>
    void encodeIfPresent(std::string_view key, const std::optional<T>& value) {
        if (value) encode(key, *value);
    }

    // Writes null under the key.
    void encodeNil(std::string_view key) {
        if (writer_ == nullptr) {
            target_->set(wireKey(key), Any());
            return;
        }
        writeKey(key);
        writer_->literal("null");
    }

    // Members already written as JSON text, by an encoder with this container's key strategy:
    // the text of an object without its braces ("\"a\":1,\"b\":[]"), written as it is. None of
    // its keys may be written again.
    void encodeMembersText(std::string_view members);

    const CodingPath& codingPath() const { return path_; }

private:
    std::string wireKey(std::string_view key) const {
        return context_.keyEncodingStrategy == KeyEncodingStrategy::convertToSnakeCase ? convertToSnakeCase(key)
                                                                                       : std::string(key);
    }

    void writeKey(std::string_view key) {
        if (context_.keyEncodingStrategy == KeyEncodingStrategy::convertToSnakeCase) {
            writer_->recordKey(convertToSnakeCase(key));
        } else {
            writer_->recordKey(key);
        }
    }

    Any::Dictionary* target_ = nullptr;
    coding::TextWriter* writer_ = nullptr;
    const CodingPath& path_;
    const EncodingContext& context_;
};

namespace coding {

// Checks an untyped value handed over by a ValueCoding or an Any member.
QOR_EXPORT void requireWritable(const Any& value, const CodingPath& path);
// A NaN or an infinity of a double or float member.
[[noreturn]] QOR_EXPORT void throwNonFinite(const CodingPath& path, std::string_view type, bool isNaN);

// A ValueCoding whose encoded values are writable by construction declares
// `static constexpr bool alwaysWritable = true`.
template <class T>
concept ValueCodingAlwaysWritable = requires {
    requires ValueCoding<T>::alwaysWritable;
};

// A ValueCoding that can write its text straight out, without the untyped value in between,
// declares `static void write(const T&, TextWriter&)`; the text must be the one its encode's
// value would give.
template <class T>
concept ValueCodingWritesText = requires(const T& value, TextWriter& writer) {
    ValueCoding<T>::write(value, writer);
};

template <class E>
Any encodeEnum(const E& value, const CodingPath& path) {
    for (const auto& [candidate, raw] : EnumRawValues<E>::cases) {
        if (candidate == value) return Any(raw);
    }
    throw EncodingError(path, "Enum value " + std::to_string(static_cast<long long>(value)) + " has no raw value.");
}

template <class T>
Any encodeValue(const T& value, const CodingPath& path, const EncodingContext& context) {
    if constexpr (HasValueCoding<T>) {
        Any encoded = ValueCoding<T>::encode(value);
        // A type that can only ever hold writable values says so; checking its whole tree
        // again would find nothing.
        if constexpr (!ValueCodingAlwaysWritable<T>) requireWritable(encoded, path);
        return encoded;
    } else if constexpr (std::same_as<T, Any>) {
        requireWritable(value, path);
        return value;
    } else if constexpr (std::same_as<T, bool> || std::integral<T>) {
        return Any(value);
    } else if constexpr (std::same_as<T, double> || std::same_as<T, float>) {
        if (!std::isfinite(value)) throwNonFinite(path, typeName<T>(), std::isnan(value));
        return Any(value);
    } else if constexpr (std::same_as<T, std::string> || std::same_as<T, std::string_view> ||
                         std::same_as<std::decay_t<T>, const char*> || std::same_as<std::decay_t<T>, char*>) {
        return Any(std::string_view(value));
    } else if constexpr (std::same_as<T, Decimal>) {
        if (value.isNaN()) throw EncodingError(path, "Unable to encode Decimal.nan directly in JSON.");
        return Any(value);
    } else if constexpr (HasEnumRawValues<T>) {
        return encodeEnum(value, path);
    } else if constexpr (IsOptional<T>::value) {
        if (!value) return Any();
        return encodeValue(*value, path, context);
    } else if constexpr (IsVector<T>::value) {
        Any::Array array;
        array.reserve(value.size());
        std::size_t index = 0;
        for (auto&& element : value) {
            const CodingPath child(path, index++);
            array.push_back(encodeValue<typename T::value_type>(element, child, context));
        }
        return Any(std::move(array));
    } else if constexpr (IsStringMap<T>::value) {
        Any::Dictionary dictionary;
        dictionary.reserve(value.size());
        for (const auto& [key, element] : value) {
            const CodingPath child(path, key);
            dictionary.set(key, encodeValue(element, child, context));
        }
        return Any(std::move(dictionary));
    } else if constexpr (EncodableRecord<T>) {
        Any::Dictionary dictionary;
        KeyedEncodingContainer container(dictionary, path, context);
        value.encode(container);
        return Any(std::move(dictionary));
    } else {
        static_assert(alwaysFalse<T>,
                      "This type cannot be encoded: give it an encode member, EnumRawValues or ValueCoding");
    }
}

template <class E>
void writeEnum(const E& value, const CodingPath& path, TextWriter& writer) {
    for (const auto& [candidate, raw] : EnumRawValues<E>::cases) {
        if (candidate != value) continue;
        if constexpr (std::same_as<std::remove_cvref_t<decltype(raw)>, std::string_view>) {
            writer.string(raw);
        } else {
            writer.integer(raw);
        }
        return;
    }
    throw EncodingError(path, "Enum value " + std::to_string(static_cast<long long>(value)) + " has no raw value.");
}

template <class Floating>
void writeFloating(Floating value, const CodingPath& path, TextWriter& writer) {
    if (!std::isfinite(value)) throwNonFinite(path, typeName<Floating>(), std::isnan(value));
    if constexpr (std::same_as<Floating, float>) {
        writer.literal(*floatText(value));
    } else {
        writer.literal(*doubleText(value));
    }
}

// The text of what encodeValue would make of value, written as it goes; the same checks
// throw the same errors in the same order.
template <class T>
void writeValue(const T& value, const CodingPath& path, const EncodingContext& context, TextWriter& writer) {
    if constexpr (ValueCodingWritesText<T>) {
        ValueCoding<T>::write(value, writer);
    } else if constexpr (HasValueCoding<T>) {
        const Any encoded = ValueCoding<T>::encode(value);
        if constexpr (!ValueCodingAlwaysWritable<T>) requireWritable(encoded, path);
        writer.value(encoded);
    } else if constexpr (std::same_as<T, Any>) {
        requireWritable(value, path);
        writer.value(value);
    } else if constexpr (std::same_as<T, bool>) {
        writer.literal(value ? "true" : "false");
    } else if constexpr (std::integral<T>) {
        writer.integer(value);
    } else if constexpr (std::same_as<T, double> || std::same_as<T, float>) {
        writeFloating(value, path, writer);
    } else if constexpr (std::same_as<T, std::string> || std::same_as<T, std::string_view> ||
                         std::same_as<std::decay_t<T>, const char*> || std::same_as<std::decay_t<T>, char*>) {
        writer.string(std::string_view(value));
    } else if constexpr (std::same_as<T, Decimal>) {
        if (value.isNaN()) throw EncodingError(path, "Unable to encode Decimal.nan directly in JSON.");
        writer.literal(value.description());
    } else if constexpr (HasEnumRawValues<T>) {
        writeEnum(value, path, writer);
    } else if constexpr (IsOptional<T>::value) {
        if (!value) {
            writer.literal("null");
        } else {
            writeValue(*value, path, context, writer);
        }
    } else if constexpr (IsVector<T>::value) {
        writer.beginArray();
        std::size_t index = 0;
        for (auto&& element : value) {
            const CodingPath child(path, index++);
            writer.separate();
            writeValue<typename T::value_type>(element, child, context, writer);
        }
        writer.endArray();
    } else if constexpr (IsStringMap<T>::value) {
        writer.beginObject();
        for (const auto& [key, element] : value) {
            const CodingPath child(path, key);
            writer.mapKey(key);
            writeValue(element, child, context, writer);
        }
        writer.endObject();
    } else if constexpr (EncodableRecord<T>) {
        writer.beginObject();
        KeyedEncodingContainer container(writer, path, context);
        value.encode(container);
        writer.endObject();
    } else {
        static_assert(alwaysFalse<T>,
                      "This type cannot be encoded: give it an encode member, EnumRawValues or ValueCoding");
    }
}

}  // namespace coding
}  // namespace qor::platform
