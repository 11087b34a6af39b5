#pragma once

#include <string>
#include <vector>

namespace qor::platform {

// The user's locale, answered from the device profile.
struct Locale {
    std::string identifier;  // such as "en_US"

    static Locale current();
    // The user's languages, most preferred first, as language tags ("en-US", "de").
    static std::vector<std::string> preferredLanguages();
};

}  // namespace qor::platform
