#include "Platform/Foundation/URL.h"

#include <filesystem>
#include <system_error>

#include "Platform/Foundation/CharacterSet.h"

namespace qor::platform {

namespace {

std::string decodedOrRaw(std::string_view text) {
    if (auto decoded = removingPercentEncoding(text)) return *decoded;
    return std::string(text);
}

// Text of the path segment after the last "/", ignoring one trailing "/".
std::string_view lastSegment(std::string_view path) {
    if (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    auto slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// Position of the dot that starts the extension of `segment`, if any. A leading
// dot (".profile") names a hidden file rather than an extension.
std::optional<std::size_t> extensionDot(std::string_view segment) {
    auto dot = segment.rfind('.');
    if (dot == std::string_view::npos || dot == 0 || dot + 1 == segment.size()) return std::nullopt;
    return dot;
}

}  // namespace

std::optional<URL> URL::make(std::string_view string) {
    auto parts = net::parseURLReference(string);
    if (!parts) return std::nullopt;
    return URL(std::string(string), std::move(*parts));
}

std::optional<URL> URL::fromParts(const net::URLReferenceParts& parts) { return make(net::formatURLReference(parts)); }

URL URL::fileURL(std::string path, bool isDirectory) {
    if (path.empty() || path.front() != '/') {
        std::error_code error;
        auto current = std::filesystem::current_path(error).string();
        if (current.empty() || current.back() != '/') current += '/';
        path = current + path;
    }
    if (isDirectory && path.back() != '/') path += '/';
    net::URLReferenceParts parts;
    parts.scheme = "file";
    parts.hasAuthority = true;
    parts.host = "";
    parts.path = percentEscapingBytes(path, CharacterSet::urlPathAllowed());
    auto string = net::formatURLReference(parts);
    return URL(std::move(string), std::move(parts));
}

std::optional<std::string> URL::host() const {
    if (!parts_.host) return std::nullopt;
    std::string_view host = *parts_.host;
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    return decodedOrRaw(host);
}

std::string URL::path() const {
    std::string_view path = parts_.path;
    // An opaque URL such as "mailto:someone" has no hierarchical path.
    if (parts_.scheme && !parts_.hasAuthority && !path.starts_with("/")) return {};
    if (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    return decodedOrRaw(path);
}

std::string URL::lastPathComponent() const {
    auto path = this->path();
    if (path == "/") return path;
    return std::string(lastSegment(path));
}

std::string URL::pathExtension() const {
    auto last = lastPathComponent();
    auto dot = extensionDot(last);
    return dot ? last.substr(*dot + 1) : std::string();
}

bool URL::isFileURL() const {
    if (!parts_.scheme || parts_.scheme->size() != 4) return false;
    std::string lower;
    for (char c : *parts_.scheme) lower.push_back(static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c));
    return lower == "file";
}

URL URL::withPath(std::string percentEncodedPath) const {
    auto parts = parts_;
    parts.path = std::move(percentEncodedPath);
    auto string = net::formatURLReference(parts);
    return URL(std::move(string), std::move(parts));
}

URL URL::appendingPathComponent(std::string_view component) const {
    std::string path = parts_.path;
    std::string escaped = percentEscapingBytes(component, CharacterSet::urlPathAllowed());
    if (path.empty() && parts_.hasAuthority) path.push_back('/');
    if (!path.empty() && path.back() != '/') path += '/';
    // Joining "a/" and "/b" gives "a/b", not "a//b".
    std::string_view addition = escaped;
    if (!path.empty()) {
        while (addition.starts_with("/")) addition.remove_prefix(1);
    }
    path += addition;
    return withPath(std::move(path));
}

URL URL::appendingPathExtension(std::string_view pathExtension) const {
    std::string path = parts_.path;
    if (pathExtension.empty() || path.empty() || path == "/") return *this;
    bool trailingSlash = path.size() > 1 && path.back() == '/';
    if (trailingSlash) path.pop_back();
    path.push_back('.');
    path.append(percentEscapingBytes(pathExtension, CharacterSet::urlPathAllowed().removing("/")));
    if (trailingSlash) path += '/';
    return withPath(std::move(path));
}

URL URL::deletingLastPathComponent() const {
    std::string_view path = parts_.path;
    if (path.empty() || path == "/") return *this;
    if (path.back() == '/') path.remove_suffix(1);
    auto slash = path.rfind('/');
    if (slash == std::string_view::npos) return withPath("./");
    return withPath(std::string(path.substr(0, slash + 1)));
}

URL URL::deletingPathExtension() const {
    std::string path = parts_.path;
    bool trailingSlash = path.size() > 1 && path.back() == '/';
    if (trailingSlash) path.pop_back();
    auto segment = lastSegment(path);
    auto dot = extensionDot(segment);
    if (!dot) return *this;
    path.resize(path.size() - segment.size() + *dot);
    if (trailingSlash) path += '/';
    return withPath(std::move(path));
}

}  // namespace qor::platform
