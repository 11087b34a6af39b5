#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qor::platform {

// The host's language, locale and time zone, read from the environment and the system's files:
// what the device profile starts from before a host or test sets its own.

// "en_US.UTF-8@euro" -> "en-US", "de" -> "de"; nullopt for "C", "POSIX" and empty texts.
std::optional<std::string> languageTagFromPosixLocale(std::string_view posixLocale);

// From LANGUAGE (a colon-separated list) when set, else the first usable of LC_ALL,
// LC_MESSAGES and LANG. A process without any usable setting answers ["en-US"], the tag of
// the C locale's messages, so readers always find a first language.
std::vector<std::string> preferredLanguagesFromEnvironment();

// From LC_ALL, else LANG, without codeset and modifier ("de_DE.UTF-8" -> "de_DE"); "en_US" when unset.
std::string localeIdentifierFromEnvironment();

// The host's zone: TZ (a leading ":" and a ".../zoneinfo/" prefix removed), else the first line
// of /etc/timezone, else the target of the /etc/localtime link below "zoneinfo/"; "UTC" otherwise.
std::string timeZoneIdentifierFromHost();

}  // namespace qor::platform
