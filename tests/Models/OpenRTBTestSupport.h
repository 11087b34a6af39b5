#pragma once

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "Models/OpenRTB/OpenRTBCoding.h"
#include "Platform/Foundation/Data.h"

namespace qor::testing {

using Json = nlohmann::json;
using ErrorKind = platform::DecodingError::Kind;

// The compact text a record encodes to: where a record's key order is fixed, tests compare this.
template <class T>
std::string encodeToText(const T& value) {
    return platform::stringFromData(platform::JSONEncoder{}.encode(value));
}

// The JSON a record encodes to, parsed so that key order and number spelling do not matter.
template <class T>
Json encodeToJson(const T& value) {
    return Json::parse(encodeToText(value));
}

template <class T>
T decodeFrom(std::string_view text) {
    return platform::JSONDecoder{}.decode<T>(platform::dataFromString(text));
}

template <class T>
T decodeJson(const Json& json) {
    return decodeFrom<T>(json.dump());
}

// The kind of the decoding error, or nothing when decoding succeeds.
template <class T>
std::optional<ErrorKind> decodingErrorKind(std::string_view text) {
    try {
        (void)decodeFrom<T>(text);
        return std::nullopt;
    } catch (const platform::DecodingError& error) {
        return error.kind;
    }
}

template <class T>
std::optional<ErrorKind> jsonErrorKind(const Json& json) {
    return decodingErrorKind<T>(json.dump());
}

inline std::set<std::string> keysOf(const Json& object) {
    std::set<std::string> keys;
    for (const auto& [key, value] : object.items()) keys.insert(key);
    return keys;
}

}  // namespace qor::testing
