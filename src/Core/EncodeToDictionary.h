#pragma once

#include <optional>

#include "Core/JSON.h"
#include "Platform/Foundation/Any.h"
#include "Platform/Foundation/JSONEncoder.h"
#include "Platform/Foundation/JSONSerialization.h"

namespace qor {

// Any encodable value as request parameters, by way of its JSON text: the members of the
// top-level object as plain values. Nothing when encoding or reading fails or when the top
// level is not an object; it never throws.
template <class T>
std::optional<platform::AnyDictionary> encodeToDictionary(const T& value) {
    try {
        const platform::Data data = platform::JSONEncoder().encode(value);
        platform::JSONReadingOptions options;
        options.fragmentsAllowed = true;
        platform::Any parsed = platform::JSONSerialization::jsonObject(data, options);
        if (const auto* dictionary = parsed.tryDictionary()) return *dictionary;
        return std::nullopt;
    } catch (...) {
        return std::nullopt;
    }
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
