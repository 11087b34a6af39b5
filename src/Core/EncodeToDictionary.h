#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "Core/JSON.h"
#include "Platform/Foundation/Any.h"
#include "Platform/Foundation/JSONEncoder.h"
#include "Platform/Foundation/JSONSerialization.h"

namespace qor {

// Any encodable value as request parameters, by way of its JSON text: the members of the
// top-level object as plain values. Throws what encoding or reading raises, and a
// JSONSerializationError when the top level is not an object.
// encodedLength receives the length of the JSON text read, when encoding succeeds.
template <class T>
platform::AnyDictionary convertToDictionary(const T& value, std::size_t& encodedLength) {
    const platform::Data data = platform::JSONEncoder().encode(value);
    encodedLength = data.size();
    platform::JSONReadingOptions options;
    options.fragmentsAllowed = true;
    platform::Any parsed = platform::JSONSerialization::jsonObject(data, options);
    if (auto* dictionary = parsed.tryDictionary()) return std::move(*dictionary);
    throw platform::JSONSerializationError(platform::JSONSerializationError::Kind::invalidText,
                                           "the top level is not a dictionary");
}

// As convertToDictionary, but nothing when it fails; it never throws.
template <class T>
std::optional<platform::AnyDictionary> encodeToDictionary(const T& value, std::size_t& encodedLength) {
    try {
        return convertToDictionary(value, encodedLength);
    } catch (...) {
        return std::nullopt;
    }
}

template <class T>
std::optional<platform::AnyDictionary> encodeToDictionary(const T& value) {
    std::size_t length = 0;
    return encodeToDictionary(value, length);
}

// Text the JSON encoder wrote, as reading it back (the conversion above) and writing it again
// makes it, as if it sat `nesting` arrays or dictionaries deep inside a larger value: the
// reader's depth limit counts those as well, so a part of a larger value checked alone is known
// to read back once it is in place. One pass that builds no value: what the encoder writes is
// well-formed UTF-8 JSON whose strings and structure come back unchanged, so only the reader's
// depth limit and the numbers are looked at (a fraction or exponent is written again as the
// reader's value of it, "-0" as 0, a number beyond a double fails). Throws the
// JSONSerializationError that reading would raise.
std::string readBackText(std::string text, std::size_t nesting);

// An auction-event batch envelope as the parameters of a batch post; throws when it cannot be
// converted, so that the post fails instead of going out without its events. A template, so
// that the envelope's type stays with the code that owns it.
template <class Batch>
platform::AnyDictionary encodeBatchRequestToDictionary(const Batch& batch) {
    std::size_t length = 0;
    return convertToDictionary(batch, length);
}

// A JSON value (traits, a native request) as a dictionary; nothing unless it is an object.
std::optional<platform::AnyDictionary> encodeJSONToDictionary(const JSON& value);

}  // namespace qor
