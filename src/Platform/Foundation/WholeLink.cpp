#include "Platform/Foundation/WholeLink.h"

namespace qor::platform {

namespace {

bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isHexDigit(char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
bool isBlankOrControl(char c) { return static_cast<unsigned char>(c) <= 0x20 || c == 0x7F; }
bool endsAuthority(char c) { return c == '/' || c == '?' || c == '#'; }

bool isScheme(std::string_view text) {
    if (text.empty() || !isLetter(text.front())) return false;
    for (const char c : text) {
        if (!isLetter(c) && !isDigit(c) && c != '+' && c != '-' && c != '.') return false;
    }
    return true;
}

bool isHostName(std::string_view text) {
    bool sawLetterOrDigit = false;
    for (const char c : text) {
        if (isLetter(c) || isDigit(c)) {
            sawLetterOrDigit = true;
        } else if (c != '-' && c != '_' && c != '.') {
            return false;
        }
    }
    return sawLetterOrDigit;
}

bool isIPv6Literal(std::string_view text) {
    if (text.size() < 3 || text.front() != '[' || text.back() != ']') return false;
    for (const char c : text.substr(1, text.size() - 2)) {
        if (!isHexDigit(c) && c != ':' && c != '.') return false;
    }
    return true;
}

bool isPort(std::string_view text) {
    if (text.empty()) return false;
    for (const char c : text) {
        if (!isDigit(c)) return false;
    }
    return true;
}

// host[:port], the user part already taken off.
bool isHostAndPort(std::string_view text) {
    const auto bracketEnd = text.starts_with('[') ? text.find(']') : std::string_view::npos;
    const auto colon = text.find(':', bracketEnd == std::string_view::npos ? 0 : bracketEnd);
    const auto host = text.substr(0, colon);
    if (colon != std::string_view::npos && !isPort(text.substr(colon + 1))) return false;
    return host.starts_with('[') ? isIPv6Literal(host) : isHostName(host);
}

bool isAuthority(std::string_view text) {
    const auto at = text.rfind('@');
    if (at == std::string_view::npos) return isHostAndPort(text);
    for (const char c : text.substr(0, at)) {
        if (c == '@' || isBlankOrControl(c)) return false;
    }
    return isHostAndPort(text.substr(at + 1));
}

}  // namespace

bool isWholeLink(std::string_view text) {
    const auto separator = text.find("://");
    if (separator == std::string_view::npos || !isScheme(text.substr(0, separator))) return false;
    const auto afterScheme = text.substr(separator + 3);
    std::size_t authorityEnd = 0;
    while (authorityEnd < afterScheme.size() && !endsAuthority(afterScheme[authorityEnd])) ++authorityEnd;
    if (!isAuthority(afterScheme.substr(0, authorityEnd))) return false;
    for (const char c : afterScheme.substr(authorityEnd)) {
        if (isBlankOrControl(c)) return false;
    }
    return true;
}

}  // namespace qor::platform
