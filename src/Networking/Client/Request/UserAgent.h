#pragma once

#include "Platform/Foundation/PropertyList.h"

#include <optional>
#include <string>

namespace qor {

inline constexpr const char* kFrameworkVersion = "0.1.19";

// The User-Agent every request carries, from the app's bundle identifier and short version and
// the device's model and system version (its numeric dotted prefix, dots made underscores:
// "CPU iPhone OS 17_4"). Without a dictionary, the main bundle's is read.
std::string makeUserAgent(const std::optional<platform::PlistDictionary>& infoDictionary = std::nullopt);

// makeUserAgent() of the main bundle, made once per process on first use.
const std::string& defaultUserAgent();

}  // namespace qor
