#include "Models/OpenRTB/BundleReaders.h"

namespace qor {

std::optional<std::string> infoString(const platform::Bundle& bundle, std::string_view key) {
    const auto value = bundle.objectForInfoDictionaryKey(key);
    if (!value || !value->isString()) return std::nullopt;
    return *value->asString();
}

std::optional<std::string> appName(const platform::Bundle& bundle) { return infoString(bundle, "CFBundleName"); }

std::optional<std::string> appVersion(const platform::Bundle& bundle) {
    return infoString(bundle, "CFBundleShortVersionString");
}

std::optional<std::string> appBuild(const platform::Bundle& bundle) { return infoString(bundle, "CFBundleVersion"); }

}  // namespace qor
