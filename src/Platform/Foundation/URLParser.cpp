#include "Platform/Foundation/URLParser.h"

#include <curl/curl.h>

#include <charconv>
#include <memory>

namespace qor::platform::net {

namespace {

bool isAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isHex(char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

bool isURLCharacter(char c) {
    if (isAlpha(c) || isDigit(c)) return true;
    switch (c) {
        case '-':
        case '.':
        case '_':
        case '~':  // unreserved
        case ':':
        case '/':
        case '?':
        case '#':
        case '[':
        case ']':
        case '@':  // general delimiters
        case '!':
        case '$':
        case '&':
        case '\'':
        case '(':
        case ')':
        case '*':
        case '+':
        case ',':
        case ';':
        case '=':  // sub-delimiters
        case '%':
            return true;
        default:
            return false;
    }
}

bool hasOnlyURLCharacters(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (!isURLCharacter(c)) return false;
        if (c == '%') {
            if (i + 2 >= text.size() || !isHex(text[i + 1]) || !isHex(text[i + 2])) return false;
            i += 2;
        }
    }
    return true;
}

bool isScheme(std::string_view text) {
    if (text.empty() || !isAlpha(text.front())) return false;
    for (char c : text) {
        if (!isAlpha(c) && !isDigit(c) && c != '+' && c != '-' && c != '.') return false;
    }
    return true;
}

bool parseAuthority(std::string_view authority, URLReferenceParts& parts) {
    parts.hasAuthority = true;
    if (auto at = authority.rfind('@'); at != std::string_view::npos) {
        auto userInfo = authority.substr(0, at);
        authority.remove_prefix(at + 1);
        if (auto colon = userInfo.find(':'); colon != std::string_view::npos) {
            parts.user = std::string(userInfo.substr(0, colon));
            parts.password = std::string(userInfo.substr(colon + 1));
        } else {
            parts.user = std::string(userInfo);
        }
    }
    std::string_view host = authority;
    std::string_view port;
    if (!authority.empty() && authority.front() == '[') {
        auto close = authority.find(']');
        if (close == std::string_view::npos) return false;
        host = authority.substr(0, close + 1);
        auto rest = authority.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':') return false;
            port = rest.substr(1);
        }
    } else if (auto colon = authority.rfind(':'); colon != std::string_view::npos) {
        host = authority.substr(0, colon);
        port = authority.substr(colon + 1);
    }
    if (host.find_first_of("[]") != std::string_view::npos && host.front() != '[') return false;
    parts.host = std::string(host);
    if (!port.empty()) {
        int value = 0;
        auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), value);
        if (error != std::errc() || end != port.data() + port.size() || value < 0 || value > 65535) return false;
        parts.port = value;
    }
    return true;
}

// libcurl's URL parser is the judge of host syntax for anything we may connect to.
bool curlAcceptsAuthority(const URLReferenceParts& parts) {
    if (!parts.scheme || !parts.host || parts.host->empty()) return true;
    std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> handle(curl_url(), curl_url_cleanup);
    if (!handle) return false;
    std::string probe = *parts.scheme;
    probe.append("://").append(*parts.host);
    if (parts.port) probe.append(1, ':').append(std::to_string(*parts.port));
    probe += "/";
    return curl_url_set(handle.get(), CURLUPART_URL, probe.c_str(), CURLU_NON_SUPPORT_SCHEME) == CURLUE_OK;
}

}  // namespace

std::optional<URLReferenceParts> parseURLReference(std::string_view text) {
    if (text.empty() || !hasOnlyURLCharacters(text)) return std::nullopt;
    URLReferenceParts parts;

    auto hash = text.find('#');
    if (hash != std::string_view::npos) {
        auto fragment = text.substr(hash + 1);
        if (fragment.find('#') != std::string_view::npos) return std::nullopt;
        parts.fragment = std::string(fragment);
        text = text.substr(0, hash);
    }
    auto question = text.find('?');
    if (question != std::string_view::npos) {
        parts.query = std::string(text.substr(question + 1));
        text = text.substr(0, question);
    }
    auto colon = text.find(':');
    if (colon != std::string_view::npos && text.substr(0, colon).find('/') == std::string_view::npos) {
        auto scheme = text.substr(0, colon);
        if (!isScheme(scheme)) return std::nullopt;
        parts.scheme = std::string(scheme);
        text = text.substr(colon + 1);
    }
    if (text.starts_with("//")) {
        text.remove_prefix(2);
        auto slash = text.find('/');
        if (!parseAuthority(text.substr(0, slash), parts)) return std::nullopt;
        text = slash == std::string_view::npos ? std::string_view() : text.substr(slash);
    }
    if (text.find_first_of("[]") != std::string_view::npos) return std::nullopt;
    parts.path = std::string(text);
    if (!curlAcceptsAuthority(parts)) return std::nullopt;
    return parts;
}

std::string formatURLReference(const URLReferenceParts& parts) {
    std::string text;
    if (parts.scheme) text.append(*parts.scheme).append(1, ':');
    if (parts.hasAuthority) {
        text += "//";
        if (parts.user) {
            text += *parts.user;
            if (parts.password) text.append(1, ':').append(*parts.password);
            text += "@";
        }
        if (parts.host) text += *parts.host;
        if (parts.port) text.append(1, ':').append(std::to_string(*parts.port));
    }
    text += parts.path;
    if (parts.query) text.append(1, '?').append(*parts.query);
    if (parts.fragment) text.append(1, '#').append(*parts.fragment);
    return text;
}

}  // namespace qor::platform::net
