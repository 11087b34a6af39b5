#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include <QORUniversalSDK/Platform/Foundation/URLParser.h>
#include <QORUniversalSDK/Platform/Support/Export.h>

namespace qor::platform {

// An immutable URL reference. A URL made from text gives that exact text back
// from absoluteString(); the helpers that derive new URLs escape what they add.
class QOR_EXPORT URL {
public:
    // Nothing for empty text or text that is not a valid URL reference.
    static std::optional<URL> make(std::string_view string);
    // A "file://" URL for a file-system path; a relative path is taken from the
    // current directory. A trailing "/" (or isDirectory) marks a directory.
    static URL fileURL(std::string path, bool isDirectory = false);

    const std::string& absoluteString() const { return string_; }
    std::optional<std::string> scheme() const { return parts_.scheme; }
    // Percent-decoded, IPv6 literals without their brackets.
    std::optional<std::string> host() const;
    std::optional<int> port() const { return parts_.port; }
    std::optional<std::string> user() const { return parts_.user; }
    std::optional<std::string> password() const { return parts_.password; }
    // Percent-decoded path without a trailing "/" (the root stays "/").
    std::string path() const;
    // As written in the URL, still percent-encoded.
    const std::string& percentEncodedPath() const { return parts_.path; }
    std::optional<std::string> query() const { return parts_.query; }
    std::optional<std::string> fragment() const { return parts_.fragment; }
    bool hasDirectoryPath() const { return !parts_.path.empty() && parts_.path.back() == '/'; }

    std::string lastPathComponent() const;
    std::string pathExtension() const;
    bool isFileURL() const;

    // Adds a component to the path, escaping what a path may not contain;
    // a "/" inside the component separates further components.
    URL appendingPathComponent(std::string_view component) const;
    URL appendingPathExtension(std::string_view pathExtension) const;
    URL deletingLastPathComponent() const;
    URL deletingPathExtension() const;

    const net::URLReferenceParts& parts() const { return parts_; }
    static std::optional<URL> fromParts(const net::URLReferenceParts& parts);

    friend bool operator==(const URL& lhs, const URL& rhs) { return lhs.string_ == rhs.string_; }
    friend bool operator<(const URL& lhs, const URL& rhs) { return lhs.string_ < rhs.string_; }

private:
    URL(std::string string, net::URLReferenceParts parts) : string_(std::move(string)), parts_(std::move(parts)) {}
    URL withPath(std::string percentEncodedPath) const;

    std::string string_;
    net::URLReferenceParts parts_;
};

}  // namespace qor::platform

template <>
struct std::hash<qor::platform::URL> {
    std::size_t operator()(const qor::platform::URL& url) const noexcept {
        return std::hash<std::string>()(url.absoluteString());
    }
};
