#include <cmath>
#include <stdexcept>

#include "Platform/Foundation/Coding/JSONReader.h"
#include "Platform/Foundation/Coding/JSONText.h"
#include "Platform/Foundation/Coding/KeyedDecodingContainer.h"
#include "Platform/Foundation/Coding/KeyedEncodingContainer.h"
#include "Platform/Foundation/JSONDecoder.h"
#include "Platform/Foundation/JSONSerialization.h"

namespace qor::platform {

namespace coding {

std::string_view kindDescription(const Any& value) {
    switch (value.kind()) {
        case Any::Kind::null:
            return "null";
        case Any::Kind::boolean:
            return "a boolean";
        case Any::Kind::integer:
        case Any::Kind::unsignedInteger:
        case Any::Kind::floating:
        case Any::Kind::decimal:
            return "a number";
        case Any::Kind::string:
            return "a string";
        case Any::Kind::array:
            return "an array";
        case Any::Kind::dictionary:
            return "a dictionary";
    }
    return "a value";
}

std::string numberDescription(const Any& value) {
    std::string text;
    if (coding::writeJSONText(value, {}, text)) return "NaN";
    return text;
}

void requireWritable(const Any& value, const CodingPath& path) {
    if (auto failure = firstInvalidValue(value)) throw EncodingError(path, *failure);
}

void throwNonFinite(const CodingPath& path, std::string_view type, bool isNaN) {
    throw EncodingError(
        path, "Unable to encode " + std::string(type) + "." + (isNaN ? "nan" : "infinity") + " directly in JSON.");
}

void throwTypeMismatch(const CodingPath& path, std::string_view expected, const Any& found) {
    throw DecodingError(DecodingError::Kind::typeMismatch, path,
                        "Expected to decode " + std::string(expected) + " but found " +
                            std::string(kindDescription(found)) + " instead.");
}

void throwValueNotFound(const CodingPath& path, std::string_view expected) {
    throw DecodingError(DecodingError::Kind::valueNotFound, path,
                        "Expected " + std::string(expected) + " value but found null instead.");
}

void throwNumberDoesNotFit(const CodingPath& path, const Any& number, std::string_view type) {
    throw DecodingError(
        DecodingError::Kind::dataCorrupted, path,
        "Parsed JSON number <" + numberDescription(number) + "> does not fit in " + std::string(type) + ".");
}

void throwInvalidRawValue(const CodingPath& path, const std::string& raw) {
    throw DecodingError(DecodingError::Kind::dataCorrupted, path,
                        "Cannot initialize the enumeration from invalid raw value " + raw + ".");
}

bool decodeBool(const Any& value, const CodingPath& path) {
    if (!value.isBool()) throwTypeMismatch(path, "Bool", value);
    return value.asBool();
}

std::string decodeString(const Any& value, const CodingPath& path) {
    const std::string* text = value.tryString();
    if (text == nullptr) throwTypeMismatch(path, "String", value);
    return *text;
}

double decodeDouble(const Any& value, const CodingPath& path) {
    if (!value.isNumber()) throwTypeMismatch(path, "Double", value);
    return value.asDouble();
}

float decodeFloat(const Any& value, const CodingPath& path) {
    if (!value.isNumber()) throwTypeMismatch(path, "Float", value);
    // Reading the exact text straight to float avoids rounding twice through double.
    const auto* exact = value.exactDecimal();
    const float result = (exact != nullptr && exact->has_value()) ? (*exact)->floatValue()
                         : value.isDecimal()                      ? value.asDecimal().floatValue()
                                                                  : static_cast<float>(value.asDouble());
    if (!std::isfinite(result)) throwNumberDoesNotFit(path, value, "Float");
    return result;
}

Decimal decodeDecimal(const Any& value, const CodingPath& path) {
    if (!value.isNumber()) throwTypeMismatch(path, "Decimal", value);
    const Decimal result = value.asDecimal();
    if (result.isNaN()) throwNumberDoesNotFit(path, value, "Decimal");
    return result;
}

}  // namespace coding

void KeyedEncodingContainer::encodeMembersText(std::string_view members) {
    if (members.empty()) return;
    if (writer_ != nullptr) {
        writer_->separate();
        writer_->literal(members);
        return;
    }
    Any object = JSONSerialization::jsonObject("{" + std::string(members) + "}");
    for (auto& [key, value] : object.asDictionary()) target_->set(key, std::move(value));
}

KeyedDecodingContainer::KeyedDecodingContainer(const Any::Dictionary& source, const CodingPath& path,
                                               const DecodingContext& context, const Deferred* deferred)
    : source_(source), path_(path), context_(context), deferred_(deferred) {
    if (context_.keyDecodingStrategy != KeyDecodingStrategy::convertFromSnakeCase) return;
    converted_.reserve(source.size());
    for (const auto& [key, value] : source) {
        std::string converted = convertFromSnakeCase(key);
        // Two keys that convert alike: the later one wins, as duplicate keys do.
        bool replaced = false;
        for (auto& entry : converted_) {
            if (entry.first == converted) {
                entry.second = &value;
                replaced = true;
                break;
            }
        }
        if (!replaced) converted_.emplace_back(std::move(converted), &value);
    }
}

namespace {

// The text a deferred member's stand-in stands for; nullptr for any other value.
const std::string_view* deferredText(const Any::Dictionary& source, std::span<const coding::DeferredMember> deferred,
                                     const Any& value) {
    for (const auto& member : deferred) {
        if (&(source.begin() + static_cast<std::ptrdiff_t>(member.index))->second == &value) return &member.text;
    }
    return nullptr;
}

}  // namespace

// A deferred member was read once already, with the whole document's depth limit: reading it
// again alone cannot fail.
std::optional<Any> KeyedDecodingContainer::readIfDeferred(const Any& value) const {
    if (deferred_ == nullptr) return std::nullopt;
    const std::string_view* text = deferredText(source_, deferred_->members, value);
    if (text == nullptr) return std::nullopt;
    auto read = coding::readWellFormedJSON(*text, JSONSerialization::maxDepth);
    if (!read) throw std::logic_error("a member the reader had read before is no longer well-formed");
    return read;
}

void KeyedDecodingContainer::forEachRecord(const Any& value, const CodingPath& path, RecordCall each) const {
    if (value.isNull()) coding::throwValueNotFound(path, "Array");
    const auto decodeElement = [&](const Any& element, std::span<const coding::DeferredMember> deferred,
                                   std::size_t index) {
        const CodingPath at(path, index);
        if (element.isNull()) coding::throwValueNotFound(at, "Dictionary");
        const auto* dictionary = element.tryDictionary();
        if (dictionary == nullptr) coding::throwTypeMismatch(at, "Dictionary", element);
        const Deferred elementDeferred{deferred};
        const KeyedDecodingContainer container(*dictionary, at, context_,
                                               deferred.empty() ? nullptr : &elementDeferred);
        each(container);
    };
    if (deferred_ != nullptr) {
        if (const std::string_view* text = deferredText(source_, deferred_->members, value)) {
            coding::forEachWellFormedElement(*text, JSONSerialization::maxDepth, JSONDecoder::kDeferredLength,
                                             decodeElement);
            return;
        }
    }
    const auto* array = value.tryArray();
    if (array == nullptr) coding::throwTypeMismatch(path, "Array", value);
    for (std::size_t index = 0; index < array->size(); ++index) decodeElement((*array)[index], {}, index);
}

const Any* KeyedDecodingContainer::lookup(std::string_view key) const {
    if (context_.keyDecodingStrategy != KeyDecodingStrategy::convertFromSnakeCase) return lookupInSource(key);
    for (const auto& [converted, value] : converted_) {
        if (converted == key) return value;
    }
    return nullptr;
}

// Records mostly ask for their keys in the order they wrote them: the entry after the last one
// found is tried first, then the whole object.
const Any* KeyedDecodingContainer::lookupInSource(std::string_view key) const {
    const auto begin = source_.begin();
    if (next_ < source_.size()) {
        const auto& entry = *(begin + static_cast<std::ptrdiff_t>(next_));
        if (entry.first == key) {
            ++next_;
            return &entry.second;
        }
    }
    if (source_.size() > kScannedKeys) return source_.find(key);
    for (auto entry = begin; entry != source_.end(); ++entry) {
        if (entry->first != key) continue;
        next_ = static_cast<std::size_t>(entry - begin) + 1;
        return &entry->second;
    }
    return nullptr;
}

bool KeyedDecodingContainer::decodeNil(std::string_view key) const {
    const Any* value = lookup(key);
    if (value == nullptr) throwKeyNotFound(CodingPath(path_, key), key);
    return value->isNull();
}

std::vector<std::string> KeyedDecodingContainer::allKeys() const {
    std::vector<std::string> keys;
    if (context_.keyDecodingStrategy == KeyDecodingStrategy::convertFromSnakeCase) {
        for (const auto& entry : converted_) keys.push_back(entry.first);
    } else {
        for (const auto& entry : source_) keys.push_back(entry.first);
    }
    return keys;
}

void KeyedDecodingContainer::throwKeyNotFound(const CodingPath& path, std::string_view key) {
    throw DecodingError(DecodingError::Kind::keyNotFound, path,
                        "No value associated with key \"" + std::string(key) + "\".");
}

}  // namespace qor::platform
