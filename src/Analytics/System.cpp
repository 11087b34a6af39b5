#include "Analytics/System.h"

#include "Core/DeploymentValues.h"

namespace qor {

System System::defaultState(const std::shared_ptr<Configuration>& configuration, const StoredValueReader& storage) {
    std::optional<Settings> settings = storage.readSettings();
    if (!settings) {
        const auto values = configuration->values();
        if (values.defaultSettings) {
            settings = values.defaultSettings;
        } else {
            settings = Settings(values.writeKey, deployment::collectionEndpointURL());
        }
    }
    return System(configuration, std::move(settings), false, true);
}

System System::AddDestinationToSettingsAction::reduce(const System& state) const {
    if (!state.settings || !state.settings->integrations) return state;
    const auto* members = state.settings->integrations->object();
    if (members == nullptr) return state;
    System result = state;
    try {
        auto dictionary = state.settings->integrations->dictionaryValue().value();
        dictionary.set(key, platform::Any(true));
        result.settings->integrations = JSON::fromAny(dictionary);
    } catch (const JSON::JSONError&) {
        result.settings->integrations = std::nullopt;
    }
    return result;
}

System System::ToggleEnabledAction::reduce(const System& state) const {
    System result = state;
    result.enabled = enabled;
    return result;
}

}  // namespace qor
