#include "Core/JSON.h"

#include "Platform/Foundation/CharacterSet.h"

#include <charconv>
#include <cmath>
#include <unordered_map>

namespace qor {

using platform::Any;
using platform::AnyDictionary;
using platform::Decimal;
using platform::isValidUTF8;

namespace {

std::string describeDouble(double value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

// The printed description of an untyped value that could not be converted.
std::string describe(const Any& value) {
    if (value.isDouble()) return describeDouble(value.asDouble());
    if (value.isDecimal()) return value.asDecimal().description();
    if (const auto* text = value.tryString()) return *text;
    return "value";
}

std::string errorMessage(JSON::JSONError::Code code, const std::string& type) {
    switch (code) {
        case JSON::JSONError::Code::nonJSONType:
            return "nonJSONType(type: \"" + type + "\")";
        case JSON::JSONError::Code::unknown:
            return "unknown";
        case JSON::JSONError::Code::incorrectType:
            return "incorrectType";
    }
    return "unknown";
}

AnyDictionary transformDictionary(const AnyDictionary& source, const std::map<std::string, std::string>& keyMap,
                                  const JSON::ValueTransform& valueTransform) {
    AnyDictionary result;
    result.reserve(source.size());
    for (const auto& [oldKey, oldValue] : source) {
        const auto mapped = keyMap.find(oldKey);
        const std::string& newKey = mapped != keyMap.end() ? mapped->second : oldKey;
        Any newValue;
        if (const auto* nested = oldValue.tryDictionary()) {
            newValue = Any(transformDictionary(*nested, keyMap, valueTransform));
        } else if (const auto* elements = oldValue.tryArray()) {
            Any::Array list;
            list.reserve(elements->size());
            for (const auto& element : *elements) {
                if (const auto* dictionary = element.tryDictionary()) {
                    list.emplace_back(transformDictionary(*dictionary, keyMap, valueTransform));
                } else {
                    list.push_back(element);
                }
            }
            newValue = Any(std::move(list));
        } else {
            newValue = oldValue;
        }
        if (!newValue.isDictionary() && valueTransform) newValue = valueTransform(newKey, newValue);
        result.set(newKey, std::move(newValue));
    }
    return result;
}

}  // namespace

// MARK: JSONObject

JSONObject::JSONObject(std::initializer_list<value_type> entries) {
    for (const auto& [key, value] : entries) set(key, value);
}

const JSON* JSONObject::find(std::string_view key) const {
    for (const auto& member : members_) {
        if (member.first == key) return &member.second;
    }
    return nullptr;
}

void JSONObject::set(std::string key, JSON value) {
    for (auto& member : members_) {
        if (member.first == key) {
            member.second = std::move(value);
            return;
        }
    }
    if (!isValidUTF8(key)) throw JSON::JSONError::nonJSONType(key);
    members_.emplace_back(std::move(key), std::move(value));
}

bool JSONObject::erase(std::string_view key) {
    for (auto it = members_.begin(); it != members_.end(); ++it) {
        if (it->first == key) {
            members_.erase(it);
            return true;
        }
    }
    return false;
}

void JSONObject::appendUnchecked(std::string key, JSON value) {
    members_.emplace_back(std::move(key), std::move(value));
}

bool operator==(const JSONObject& a, const JSONObject& b) {
    if (a.size() != b.size()) return false;
    // Small objects compare by linear lookups; larger ones through a hashed view of b.
    constexpr std::size_t linearLimit = 16;
    if (a.size() <= linearLimit) {
        for (const auto& [key, value] : a) {
            const JSON* other = b.find(key);
            if (other == nullptr || !(*other == value)) return false;
        }
        return true;
    }
    std::unordered_map<std::string_view, const JSON*> index;
    index.reserve(b.size());
    for (const auto& [key, value] : b) index.emplace(key, &value);
    for (const auto& [key, value] : a) {
        const auto found = index.find(key);
        if (found == index.end() || !(*found->second == value)) return false;
    }
    return true;
}

// MARK: JSON

JSON::JSONError::JSONError(Code code, std::string type)
    : code(code), type(std::move(type)), message_(errorMessage(code, this->type)) {}

JSON::JSON(double value) {
    if (!std::isfinite(value)) throw JSONError::nonJSONType(describeDouble(value));
    Decimal decimal(value);
    if (decimal.isNaN()) throw JSONError::nonJSONType(describeDouble(value));
    storage_ = decimal;
}

JSON::JSON(const Decimal& value) {
    if (value.isNaN()) throw JSONError::nonJSONType(value.description());
    storage_ = value;
}

JSON::JSON(std::string value) {
    if (!isValidUTF8(value)) throw JSONError::nonJSONType(value);
    storage_ = std::move(value);
}

JSON JSON::fromAny(const Any& value) { return fromAnyChecked(value); }

JSON JSON::fromAny(const AnyDictionary& dictionary) { return JSON(jsonDictionary(dictionary)); }

JSON::Object JSON::jsonDictionary(const AnyDictionary& dictionary) {
    Object members;
    members.members_.reserve(dictionary.size());
    for (const auto& [key, element] : dictionary) {
        if (!isValidUTF8(key)) throw JSONError::nonJSONType(key);
        // Keys of an untyped dictionary are unique already.
        members.appendUnchecked(key, fromAnyChecked(element));
    }
    return members;
}

JSON JSON::fromAnyChecked(const Any& value) {
    switch (value.kind()) {
        case Any::Kind::null:
            return JSON();
        case Any::Kind::boolean:
            return JSON(value.asBool());
        case Any::Kind::integer:
        case Any::Kind::unsignedInteger:
        case Any::Kind::floating:
        case Any::Kind::decimal: {
            const Decimal decimal = value.asDecimal();
            if (decimal.isNaN()) throw JSONError::nonJSONType(describe(value));
            return JSON(decimal);
        }
        case Any::Kind::string:
            return JSON(value.asString());
        case Any::Kind::array: {
            Array elements;
            elements.reserve(value.asArray().size());
            for (const auto& element : value.asArray()) elements.push_back(fromAnyChecked(element));
            return JSON(std::move(elements));
        }
        case Any::Kind::dictionary:
            return JSON(jsonDictionary(value.asDictionary()));
    }
    throw JSONError::nonJSONType(describe(value));
}

std::optional<bool> JSON::boolValue() const {
    if (const auto* value = std::get_if<bool>(&storage_)) return *value;
    return std::nullopt;
}

std::optional<Decimal> JSON::decimalValue() const {
    if (const auto* value = std::get_if<Decimal>(&storage_)) return *value;
    return std::nullopt;
}

std::optional<std::int64_t> JSON::intValue() const {
    if (const auto* value = std::get_if<Decimal>(&storage_)) return value->int64Value();
    return std::nullopt;
}

std::optional<std::uint64_t> JSON::uintValue() const {
    if (const auto* value = std::get_if<Decimal>(&storage_)) return value->uint64Value();
    return std::nullopt;
}

std::optional<float> JSON::floatValue() const {
    if (const auto* value = std::get_if<Decimal>(&storage_)) return value->floatValue();
    return std::nullopt;
}

std::optional<double> JSON::doubleValue() const {
    if (const auto* value = std::get_if<Decimal>(&storage_)) return value->doubleValue();
    return std::nullopt;
}

std::optional<std::string> JSON::stringValue() const {
    if (const auto* value = std::get_if<std::string>(&storage_)) return *value;
    return std::nullopt;
}

std::optional<Any::Array> JSON::arrayValue() const {
    if (kind() != Kind::array) return std::nullopt;
    return toAny().asArray();
}

std::optional<AnyDictionary> JSON::dictionaryValue() const {
    if (kind() != Kind::object) return std::nullopt;
    return toAny().asDictionary();
}

std::optional<JSON> JSON::element(std::ptrdiff_t index) const {
    const auto* elements = array();
    if (elements == nullptr || index < 0 || static_cast<std::size_t>(index) >= elements->size()) return std::nullopt;
    return (*elements)[static_cast<std::size_t>(index)];
}

std::optional<JSON> JSON::operator[](std::string_view key) const {
    const auto* members = object();
    const JSON* member = members ? members->find(key) : nullptr;
    return member ? std::optional<JSON>(*member) : std::nullopt;
}

JSON JSON::add(const Any& value) const {
    const auto* elements = array();
    if (elements == nullptr) throw JSONError::incorrectType();
    Array result = *elements;
    result.push_back(fromAnyChecked(value));
    return JSON(std::move(result));
}

JSON JSON::add(const Any& value, const std::string& key) const {
    const auto* members = object();
    if (members == nullptr) throw JSONError::incorrectType();
    Object result = *members;
    result.set(key, fromAnyChecked(value));
    return JSON(std::move(result));
}

JSON JSON::remove(const std::string& key) const {
    const auto* members = object();
    if (members == nullptr) throw JSONError::incorrectType();
    Object result = *members;
    result.erase(key);
    return JSON(std::move(result));
}

JSON JSON::mapTransform(const std::map<std::string, std::string>& keyMap, const ValueTransform& valueTransform) const {
    if (kind() != Kind::object) return *this;
    return fromAny(transformDictionary(toAny().asDictionary(), keyMap, valueTransform));
}

Any JSON::toAny() const {
    switch (kind()) {
        case Kind::boolean:
            return Any(std::get<bool>(storage_));
        case Kind::number:
            return Any(std::get<Decimal>(storage_));
        case Kind::string:
            return Any(std::get<std::string>(storage_));
        case Kind::array: {
            Any::Array elements;
            elements.reserve(array()->size());
            for (const auto& element : *array()) elements.push_back(element.toAny());
            return Any(std::move(elements));
        }
        case Kind::object:
            return Any(anyDictionary(*object()));
        case Kind::null:
            return Any();
    }
    return Any();
}

AnyDictionary JSON::anyDictionary(const Object& members) {
    AnyDictionary result;
    result.reserve(members.size());
    // An object's keys are unique already.
    for (const auto& [key, member] : members) result.appendAbsent(key, member.toAny());
    return result;
}

bool operator==(const JSON& a, const JSON& b) { return a.storage_ == b.storage_; }

void JSON::logDecodingFailure(const KeyPath& keyPath, const std::string& error) {
    logThroughSharedAnalytics("Unable to decode object (" + keyPath.description() + ") to a Codable: " + error,
                              LogFilterKind::error, "subscript(keyPath:)", 400);
}

}  // namespace qor

namespace qor::platform {

void ValueCoding<qor::JSON>::write(const qor::JSON& value, coding::TextWriter& writer) {
    switch (value.kind()) {
        case qor::JSON::Kind::boolean:
            writer.literal(*value.boolValue() ? "true" : "false");
            return;
        case qor::JSON::Kind::number:
            writer.literal(value.decimalValue()->description());
            return;
        case qor::JSON::Kind::string:
            writer.validString(*value.string());
            return;
        case qor::JSON::Kind::array:
            writer.beginArray();
            for (const auto& element : *value.array()) {
                writer.separate();
                write(element, writer);
            }
            writer.endArray();
            return;
        case qor::JSON::Kind::object:
            writer.beginObject();
            for (const auto& [key, member] : *value.object()) {
                // Keys are checked as UTF-8 when they enter an object.
                writer.separate();
                writer.validString(key);
                writer.literal(":");
                write(member, writer);
            }
            writer.endObject();
            return;
        case qor::JSON::Kind::null:
            writer.literal("null");
            return;
    }
}

qor::JSON ValueCoding<qor::JSON>::decode(const Any& value, const CodingPath& path) {
    try {
        return qor::JSON::fromAny(value);
    } catch (const qor::JSON::JSONError&) {
        throw DecodingError(DecodingError::Kind::dataCorrupted, path, "Invalid JSON value!");
    }
}

}  // namespace qor::platform
