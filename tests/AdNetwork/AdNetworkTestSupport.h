#pragma once

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>

#include "AdNetwork/Container.h"
#include "Platform/Foundation/JSONDecoder.h"
#include "Platform/Foundation/JSONEncoder.h"
#include "testing/AdNetworkDocuments.h"

namespace qor::testing {

using Json = nlohmann::ordered_json;

inline Container decodeContainer(const std::string& text) { return platform::JSONDecoder{}.decode<Container>(text); }

inline Container realisticContainer() { return decodeContainer(realisticContainerJSON()); }

inline Json realisticContainerDocument() { return Json::parse(realisticContainerJSON()); }

// The compact text a record encodes to: where a record's key order is fixed, tests compare this.
template <class T>
std::string encodeToText(const T& value) {
    return platform::JSONEncoder{}.encodeToString(value);
}

template <class T>
Json encodeToJson(const T& value) {
    return Json::parse(encodeToText(value));
}

inline std::set<std::string> keysOfObject(const Json& object) {
    std::set<std::string> keys;
    for (const auto& [key, value] : object.items()) keys.insert(key);
    return keys;
}

}  // namespace qor::testing
