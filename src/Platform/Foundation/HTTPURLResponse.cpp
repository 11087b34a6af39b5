#include "Platform/Foundation/HTTPURLResponse.h"

#include <algorithm>
#include <charconv>

#include "Platform/Support/ASCIIText.h"

namespace qor::platform {

namespace {

// Optional white space around header field parts is spaces and tabs only.
std::string_view trimmedSpace(std::string_view text) { return trimmed(text, " \t"); }

HTTPHeaderFields merged(HTTPHeaderFields fields) {
    HTTPHeaderFields result;
    for (auto& [name, value] : fields) {
        auto existing = std::find_if(result.begin(), result.end(), [&name = name](const auto& field) {
            return net::headerNamesEqual(field.first, name);
        });
        if (existing == result.end()) {
            result.emplace_back(std::move(name), std::move(value));
        } else {
            existing->second.append(", ").append(value);
        }
    }
    return result;
}

struct ContentType {
    std::optional<std::string> mimeType;
    std::optional<std::string> charset;
};

ContentType parseContentType(const std::optional<std::string>& header) {
    ContentType result;
    if (!header) return result;
    std::string_view text = *header;
    auto semicolon = text.find(';');
    auto media = trimmedSpace(text.substr(0, semicolon));
    if (!media.empty()) result.mimeType = lowercasedASCII(media);
    while (semicolon != std::string_view::npos) {
        text.remove_prefix(semicolon + 1);
        semicolon = text.find(';');
        auto parameter = trimmedSpace(text.substr(0, semicolon));
        auto equals = parameter.find('=');
        if (equals == std::string_view::npos) continue;
        if (!equalsIgnoringASCIICase(trimmedSpace(parameter.substr(0, equals)), "charset")) continue;
        auto value = trimmedSpace(parameter.substr(equals + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        if (!value.empty()) result.charset = lowercasedASCII(value);
    }
    return result;
}

std::int64_t contentLength(const std::optional<std::string>& header) {
    if (!header) return -1;
    std::int64_t length = -1;
    auto text = trimmedSpace(*header);
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), length);
    if (error != std::errc() || end != text.data() + text.size() || length < 0) return -1;
    return length;
}

}  // namespace

HTTPURLResponse::HTTPURLResponse(URL url, int statusCode, HTTPHeaderFields headerFields)
    : HTTPURLResponse(std::move(url), statusCode, merged(std::move(headerFields)), 0) {}

HTTPURLResponse::HTTPURLResponse(URL url, int statusCode, HTTPHeaderFields mergedFields, int)
    : URLResponse(std::move(url), parseContentType(net::headerValue(mergedFields, "Content-Type")).mimeType,
                  contentLength(net::headerValue(mergedFields, "Content-Length")),
                  parseContentType(net::headerValue(mergedFields, "Content-Type")).charset),
      statusCode_(statusCode),
      headerFields_(std::move(mergedFields)) {}

std::optional<std::string> HTTPURLResponse::value(std::string_view forHTTPHeaderField) const {
    return net::headerValue(headerFields_, forHTTPHeaderField);
}

}  // namespace qor::platform
