#include "Analytics/Settings/Settings.h"

#include "Core/DeploymentValues.h"

namespace qor {

Settings::Settings(const std::string& writeKey, const std::string& apiHost)
    : integrations(JSON(JSON::Object{{"qor.io", JSON(JSON::Object{{"apiKey", writeKey}, {"apiHost", apiHost}})}})) {}

Settings::Settings(const std::string& writeKey) : Settings(writeKey, deployment::collectionEndpointURL()) {}

std::optional<platform::AnyDictionary> Settings::integrationSettings(const std::string& key) const {
    const auto* members = integrations ? integrations->object() : nullptr;
    const JSON* member = members ? members->find(key) : nullptr;
    if (member == nullptr || member->kind() != JSON::Kind::object) return std::nullopt;
    return member->dictionaryValue();
}

bool Settings::hasIntegrationSettings(const std::string& key) const {
    const auto* members = integrations ? integrations->object() : nullptr;
    return members != nullptr && members->contains(key);
}

void Settings::encode(platform::KeyedEncodingContainer& container) const {
    container.encodeIfPresent("integrations", integrations);
    container.encodeIfPresent("plan", plan);
    container.encodeIfPresent("edgeFunction", edgeFunction);
    container.encodeIfPresent("middlewareSettings", middlewareSettings);
}

namespace {

std::optional<JSON> decodeField(const platform::KeyedDecodingContainer& container, std::string_view key) {
    try {
        if (!container.contains(key)) return std::nullopt;
        return container.decode<JSON>(key);
    } catch (const platform::DecodingError&) {
        return std::nullopt;
    }
}

}  // namespace

Settings Settings::decode(const platform::KeyedDecodingContainer& container) {
    Settings settings;
    settings.integrations = decodeField(container, "integrations");
    settings.plan = decodeField(container, "plan");
    settings.edgeFunction = decodeField(container, "edgeFunction");
    settings.middlewareSettings = decodeField(container, "middlewareSettings");
    return settings;
}

bool operator==(const Settings& a, const Settings& b) { return prettyPrint(a) == prettyPrint(b); }

}  // namespace qor
