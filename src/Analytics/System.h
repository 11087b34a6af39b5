#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Analytics/Configuration.h"
#include "Analytics/Settings/Settings.h"
#include "Analytics/Store.h"
#include "Analytics/StoredValueReader.h"

namespace qor {

// How the analytics instance is configured and whether it works.
struct System : State {
    std::shared_ptr<Configuration> configuration;
    std::optional<Settings> settings;
    bool running = false;
    bool enabled = true;

    System(std::shared_ptr<Configuration> configuration, std::optional<Settings> settings, bool running, bool enabled)
        : configuration(std::move(configuration)), settings(std::move(settings)), running(running), enabled(enabled) {}

    // The stored settings, else the configuration's default settings, else settings made
    // from the write key and the collection endpoint's URL; not running; enabled.
    static System defaultState(const std::shared_ptr<Configuration>& configuration, const StoredValueReader& storage);

    // Marks the destination `key` in the settings' integrations object (its member
    // becomes true); settings without an integrations object stay as they are.
    struct AddDestinationToSettingsAction {
        using StateType = System;
        std::string key;
        System reduce(const System& state) const;
    };

    struct ToggleEnabledAction {
        using StateType = System;
        bool enabled = true;
        System reduce(const System& state) const;
    };
};

}  // namespace qor
