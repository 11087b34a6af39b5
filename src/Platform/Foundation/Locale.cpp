#include "Platform/Foundation/Locale.h"

#include "Platform/Foundation/ProcessInfo.h"
#include "Platform/UIKit/DeviceProfile.h"

namespace qor::platform {
namespace {

// Strips the codeset (".UTF-8") and the modifier ("@euro").
std::string_view baseOfPosixLocale(std::string_view posixLocale) {
    const auto end = posixLocale.find_first_of(".@");
    return posixLocale.substr(0, end);
}

std::optional<std::string> firstUsableLocale(std::initializer_list<std::string_view> names) {
    for (const auto name : names) {
        const auto value = environmentValue(name);
        if (value && languageTagFromPosixLocale(*value)) return value;
    }
    return std::nullopt;
}

}  // namespace

Locale Locale::current() { return Locale{currentDeviceProfile().localeIdentifier}; }

std::vector<std::string> Locale::preferredLanguages() { return currentDeviceProfile().preferredLanguages; }

std::optional<std::string> languageTagFromPosixLocale(std::string_view posixLocale) {
    const std::string_view base = baseOfPosixLocale(posixLocale);
    if (base.empty() || base == "C" || base == "POSIX") return std::nullopt;
    std::string tag(base);
    for (char& c : tag) {
        if (c == '_') c = '-';
    }
    return tag;
}

std::vector<std::string> preferredLanguagesFromEnvironment() {
    std::vector<std::string> languages;
    const auto append = [&languages](std::string_view posixLocale) {
        const auto tag = languageTagFromPosixLocale(posixLocale);
        if (!tag) return;
        for (const auto& known : languages) {
            if (known == *tag) return;
        }
        languages.push_back(*tag);
    };
    if (const auto list = environmentValue("LANGUAGE")) {
        std::string_view rest = *list;
        while (!rest.empty()) {
            const auto colon = rest.find(':');
            append(rest.substr(0, colon));
            if (colon == std::string_view::npos) break;
            rest.remove_prefix(colon + 1);
        }
    }
    if (languages.empty()) {
        if (const auto locale = firstUsableLocale({"LC_ALL", "LC_MESSAGES", "LANG"})) append(*locale);
    }
    if (languages.empty()) languages.push_back("en-US");
    return languages;
}

std::string localeIdentifierFromEnvironment() {
    if (const auto locale = firstUsableLocale({"LC_ALL", "LANG"})) return std::string(baseOfPosixLocale(*locale));
    return "en_US";
}

}  // namespace qor::platform
