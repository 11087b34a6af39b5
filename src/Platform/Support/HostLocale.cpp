#include "Platform/Support/HostLocale.h"

#include <filesystem>
#include <fstream>

#include "Platform/Support/ASCIIText.h"
#include "Platform/Support/ProcessInfo.h"

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

std::string zoneNameFromPath(std::string_view path) {
    constexpr std::string_view marker = "zoneinfo/";
    const auto position = path.rfind(marker);
    if (position == std::string_view::npos) return {};
    std::string_view name = path.substr(position + marker.size());
    // Debian keeps "posix/" and "right/" variants of every zone; the identifier is the same.
    for (const std::string_view variant : {"posix/", "right/"}) {
        if (name.starts_with(variant)) name.remove_prefix(variant.size());
    }
    return std::string(name);
}

}  // namespace

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

std::string timeZoneIdentifierFromHost() {
    if (auto tz = environmentValue("TZ")) {
        std::string value(trimmed(*tz));
        if (!value.empty() && value.front() == ':') value.erase(0, 1);
        if (value.find('/') != std::string::npos && value.front() == '/') {
            if (auto name = zoneNameFromPath(value); !name.empty()) return name;
        } else if (!value.empty()) {
            return value;
        }
    }
    if (std::ifstream file("/etc/timezone"); file) {
        std::string line;
        std::getline(file, line);
        line = std::string(trimmed(line));
        if (!line.empty()) return line;
    }
    std::error_code error;
    const auto target = std::filesystem::read_symlink("/etc/localtime", error);
    if (!error) {
        if (auto name = zoneNameFromPath(target.string()); !name.empty()) return name;
    }
    return "UTC";
}

}  // namespace qor::platform
