#pragma once

#include "Platform/Foundation/Bundle.h"

#include <memory>
#include <string>
#include <string_view>

namespace qor {

// The framework's resource bundle "QORSDK.bundle", looked up in the given bundle (the one that
// holds the framework's code) on every read. A missing or unreadable resource bundle is a
// broken installation and stops the process.
std::shared_ptr<platform::Bundle> sdkResourceBundle(const platform::Bundle& bundle);

// True when the app's main bundle is an app extension (its path ends in ".appex"); decided
// once per process, on first use.
bool isAppExtension();

// The rule behind isAppExtension, for a given bundle path.
bool bundlePathIsAppExtension(std::string_view bundlePath);

// "@appletv" when the device's system name contains "tvOS", otherwise "@ios"; read each time.
std::string platformSuffix();

}  // namespace qor
