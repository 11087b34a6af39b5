#include "Platform/Foundation/URLComponents.h"

#include <cctype>
#include <stdexcept>

#include "Platform/Foundation/CharacterSet.h"

namespace qor::platform {

namespace {

std::string escape(std::string_view text, const CharacterSet& allowed) {
    if (auto escaped = addingPercentEncoding(text, allowed)) return *escaped;
    throw std::invalid_argument("URL component is not valid UTF-8");
}

std::string decodedOrRaw(std::string_view text) {
    if (auto decoded = removingPercentEncoding(text)) return *decoded;
    return std::string(text);
}

void requireEscaped(std::string_view text, std::string_view extraForbidden, const char* what) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '%') {
            if (i + 2 >= text.size() || !std::isxdigit(static_cast<unsigned char>(text[i + 1])) ||
                !std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
                throw std::invalid_argument(std::string("malformed %-escape in URL ") + what);
            }
            i += 2;
            continue;
        }
        if (!CharacterSet::urlQueryAllowed().contains(c) || extraForbidden.find(c) != std::string_view::npos) {
            throw std::invalid_argument(std::string("character not allowed in URL ") + what);
        }
    }
}

const CharacterSet& pathAllowed() {
    static const CharacterSet set = CharacterSet::urlPathAllowed().inserting(";");
    return set;
}

const CharacterSet& queryItemNameAllowed() {
    static const CharacterSet set = CharacterSet::urlQueryAllowed().removing("&=");
    return set;
}

const CharacterSet& queryItemValueAllowed() {
    static const CharacterSet set = CharacterSet::urlQueryAllowed().removing("&");
    return set;
}

}  // namespace

std::optional<URLComponents> URLComponents::make(const URL& url) {
    URLComponents components;
    components.parts_ = url.parts();
    return components;
}

std::optional<URLComponents> URLComponents::make(std::string_view string) {
    auto parts = net::parseURLReference(string);
    if (!parts) return std::nullopt;
    URLComponents components;
    components.parts_ = std::move(*parts);
    return components;
}

void URLComponents::setScheme(std::optional<std::string> scheme) {
    if (scheme) {
        bool valid = !scheme->empty() && std::isalpha(static_cast<unsigned char>(scheme->front()));
        for (char c : *scheme) {
            valid = valid && (std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.');
        }
        if (!valid) throw std::invalid_argument("invalid URL scheme");
    }
    parts_.scheme = std::move(scheme);
}

std::optional<std::string> URLComponents::host() const {
    if (!parts_.host) return std::nullopt;
    std::string_view host = *parts_.host;
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    return decodedOrRaw(host);
}

void URLComponents::setHost(std::optional<std::string> host) {
    if (!host) {
        parts_.host.reset();
        parts_.hasAuthority = parts_.user || parts_.port;
        return;
    }
    bool ipv6 = host->find(':') != std::string::npos;
    if (ipv6) {
        std::string bracketed(1, '[');
        bracketed.append(escape(*host, CharacterSet::urlHostAllowed().removing("[]"))).push_back(']');
        parts_.host = std::move(bracketed);
    } else {
        parts_.host = escape(*host, CharacterSet::urlHostAllowed().removing(":[]"));
    }
    parts_.hasAuthority = true;
}

void URLComponents::setPort(std::optional<int> port) {
    if (port && (*port < 0 || *port > 65535)) throw std::invalid_argument("URL port out of range");
    parts_.port = port;
    if (port) parts_.hasAuthority = true;
}

std::string URLComponents::path() const { return decodedOrRaw(parts_.path); }

void URLComponents::setPath(std::string_view path) { parts_.path = escape(path, pathAllowed()); }

void URLComponents::setPercentEncodedPath(std::string path) {
    requireEscaped(path, "?#", "path");
    parts_.path = std::move(path);
}

std::optional<std::string> URLComponents::query() const {
    if (!parts_.query) return std::nullopt;
    return decodedOrRaw(*parts_.query);
}

void URLComponents::setQuery(std::optional<std::string> query) {
    if (!query) {
        parts_.query.reset();
        return;
    }
    parts_.query = escape(*query, CharacterSet::urlQueryAllowed());
}

void URLComponents::setPercentEncodedQuery(std::optional<std::string> query) {
    if (query) requireEscaped(*query, "#", "query");
    parts_.query = std::move(query);
}

std::optional<std::vector<URLQueryItem>> URLComponents::queryItems() const {
    if (!parts_.query) return std::nullopt;
    std::vector<URLQueryItem> items;
    std::string_view query = *parts_.query;
    if (query.empty()) return items;
    while (true) {
        auto ampersand = query.find('&');
        std::string_view pair = query.substr(0, ampersand);
        auto equals = pair.find('=');
        URLQueryItem item;
        item.name = decodedOrRaw(pair.substr(0, equals));
        if (equals != std::string_view::npos) item.value = decodedOrRaw(pair.substr(equals + 1));
        items.push_back(std::move(item));
        if (ampersand == std::string_view::npos) break;
        query.remove_prefix(ampersand + 1);
    }
    return items;
}

void URLComponents::setQueryItems(std::optional<std::vector<URLQueryItem>> items) {
    if (!items) {
        parts_.query.reset();
        return;
    }
    std::string query;
    for (std::size_t i = 0; i < items->size(); ++i) {
        const auto& item = (*items)[i];
        if (i > 0) query += '&';
        query += escape(item.name, queryItemNameAllowed());
        if (item.value) query.append(1, '=').append(escape(*item.value, queryItemValueAllowed()));
    }
    parts_.query = std::move(query);
}

std::optional<std::string> URLComponents::fragment() const {
    if (!parts_.fragment) return std::nullopt;
    return decodedOrRaw(*parts_.fragment);
}

void URLComponents::setFragment(std::optional<std::string> fragment) {
    if (!fragment) {
        parts_.fragment.reset();
        return;
    }
    parts_.fragment = escape(*fragment, CharacterSet::urlFragmentAllowed());
}

std::optional<std::string> URLComponents::string() const {
    const auto& path = parts_.path;
    if (parts_.hasAuthority && !path.empty() && path.front() != '/') return std::nullopt;
    if (!parts_.hasAuthority && path.starts_with("//")) return std::nullopt;
    return net::formatURLReference(parts_);
}

std::optional<URL> URLComponents::url() const {
    auto text = string();
    if (!text) return std::nullopt;
    return URL::make(*text);
}

}  // namespace qor::platform
