#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "Platform/Foundation/Bundle.h"

// Text values of a bundle's Info.plist. Each call reads the bundle afresh; a missing key or a
// value that is not text gives nothing.
namespace qor {

std::optional<std::string> infoString(const platform::Bundle& bundle, std::string_view key);

// "CFBundleName"
std::optional<std::string> appName(const platform::Bundle& bundle);

// "CFBundleShortVersionString"
std::optional<std::string> appVersion(const platform::Bundle& bundle);

// "CFBundleVersion"
std::optional<std::string> appBuild(const platform::Bundle& bundle);

}  // namespace qor
