#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qor::platform {

// The user's locale, answered from the device profile.
struct Locale {
    std::string identifier;  // such as "en_US"

    static Locale current();
    // The user's languages, most preferred first, as language tags ("en-US", "de").
    static std::vector<std::string> preferredLanguages();
};

// "en_US.UTF-8@euro" -> "en-US", "de" -> "de"; nullopt for "C", "POSIX" and empty texts.
std::optional<std::string> languageTagFromPosixLocale(std::string_view posixLocale);

// From LANGUAGE (a colon-separated list) when set, else the first usable of LC_ALL,
// LC_MESSAGES and LANG. A process without any usable setting answers ["en-US"], the tag of
// the C locale's messages, so readers always find a first language.
std::vector<std::string> preferredLanguagesFromEnvironment();

// From LC_ALL, else LANG, without codeset and modifier ("de_DE.UTF-8" -> "de_DE"); "en_US" when unset.
std::string localeIdentifierFromEnvironment();

}  // namespace qor::platform
