#pragma once

#include <optional>
#include <string>

#include <QORUniversalSDK/Core/JSON.h>
#include <QORUniversalSDK/Platform/Foundation/Coding/Codable.h>
#include <QORUniversalSDK/Platform/Support/Export.h>

namespace qor {

// The analytics settings: per destination, the settings that switch it on and give it
// its parameters (`integrations`), and three values kept, stored and compared as they
// are.
struct QOR_EXPORT Settings {
    std::optional<JSON> integrations;
    std::optional<JSON> plan;
    std::optional<JSON> edgeFunction;
    std::optional<JSON> middlewareSettings;

    Settings() = default;
    // integrations = {"qor.io": {"apiKey": writeKey, "apiHost": apiHost}}.
    Settings(const std::string& writeKey, const std::string& apiHost);
    // The same, with the collection endpoint's URL as the host.
    explicit Settings(const std::string& writeKey);

    // The member of `integrations` named by the whole key (dots included), when it is an
    // object.
    std::optional<platform::AnyDictionary> integrationSettings(const std::string& key) const;
    // The same member decoded as T; nullopt when anything fails.
    template <class T>
    std::optional<T> integrationSettings(const std::string& key) const;
    // True when `integrations` is an object with a member under the key, whatever its
    // value (null included).
    bool hasIntegrationSettings(const std::string& key) const;

    void encode(platform::KeyedEncodingContainer& container) const;
    // A field that is missing or does not decode is left absent.
    static Settings decode(const platform::KeyedDecodingContainer& container);

    // Equal when their pretty-printed JSON texts are identical (member order counts).
    friend QOR_EXPORT bool operator==(const Settings& a, const Settings& b);
};

template <class T>
std::optional<T> Settings::integrationSettings(const std::string& key) const {
    const auto* members = integrations ? integrations->object() : nullptr;
    const JSON* member = members ? members->find(key) : nullptr;
    if (member == nullptr) return std::nullopt;
    // Only an object or a list is serialised on its own, as the platform serialiser does.
    if (member->kind() != JSON::Kind::object && member->kind() != JSON::Kind::array) return std::nullopt;
    try {
        return platform::JSONDecoder().decode<T>(platform::JSONSerialization::data(member->toAny()));
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

}  // namespace qor
