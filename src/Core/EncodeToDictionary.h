#pragma once

#include <cstddef>
#include <optional>

#include "Core/JSON.h"
#include "Platform/Foundation/Any.h"
#include "Platform/Foundation/JSONEncoder.h"
#include "Platform/Foundation/JSONSerialization.h"

namespace qor {

// Any encodable value as request parameters, by way of its JSON text: the members of the
// top-level object as plain values. Nothing when encoding or reading fails or when the top
// level is not an object; it never throws.
// encodedLength receives the length of the JSON text read, when encoding succeeds.
template <class T>
std::optional<platform::AnyDictionary> encodeToDictionary(const T& value, std::size_t& encodedLength) {
    try {
        const platform::Data data = platform::JSONEncoder().encode(value);
        encodedLength = data.size();
        platform::JSONReadingOptions options;
        options.fragmentsAllowed = true;
        platform::Any parsed = platform::JSONSerialization::jsonObject(data, options);
        if (const auto* dictionary = parsed.tryDictionary()) return *dictionary;
        return std::nullopt;
    } catch (...) {
        return std::nullopt;
    }
}

template <class T>
std::optional<platform::AnyDictionary> encodeToDictionary(const T& value) {
    std::size_t length = 0;
    return encodeToDictionary(value, length);
}

// An auction-event batch envelope as the parameters of a batch post. A template, so that the
// envelope's type stays with the code that owns it.
template <class Batch>
std::optional<platform::AnyDictionary> encodeBatchRequestToDictionary(const Batch& batch) {
    return encodeToDictionary(batch);
}

// A JSON value (traits, a native request) as a dictionary; nothing unless it is an object.
std::optional<platform::AnyDictionary> encodeJSONToDictionary(const JSON& value);

}  // namespace qor
