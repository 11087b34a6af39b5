#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Platform/Foundation/URL.h"
#include "Platform/Foundation/URLParser.h"
#include "Platform/Foundation/URLQueryItem.h"

namespace qor::platform {

// A URL taken apart for editing. The plain accessors read and write decoded
// text and escape on the way in; the percentEncoded ones take text that is
// already escaped and refuse (std::invalid_argument) what a URL may not contain.
class URLComponents {
public:
    URLComponents() = default;
    // The components of `url` as written (never resolved against a base URL).
    static std::optional<URLComponents> make(const URL& url);
    static std::optional<URLComponents> make(std::string_view string);

    std::optional<std::string> scheme() const { return parts_.scheme; }
    void setScheme(std::optional<std::string> scheme);

    std::optional<std::string> host() const;
    void setHost(std::optional<std::string> host);
    std::optional<std::string> percentEncodedHost() const { return parts_.host; }

    std::optional<int> port() const { return parts_.port; }
    void setPort(std::optional<int> port);

    std::string path() const;
    void setPath(std::string_view path);
    const std::string& percentEncodedPath() const { return parts_.path; }
    void setPercentEncodedPath(std::string path);

    std::optional<std::string> query() const;
    void setQuery(std::optional<std::string> query);
    std::optional<std::string> percentEncodedQuery() const { return parts_.query; }
    void setPercentEncodedQuery(std::optional<std::string> query);

    // Nothing when there is no query; an empty query gives no items. Names and
    // values come back decoded; "+" is not read as a blank.
    std::optional<std::vector<URLQueryItem>> queryItems() const;
    // Replaces the whole query; nothing removes it, an empty list leaves "?" alone.
    void setQueryItems(std::optional<std::vector<URLQueryItem>> items);

    std::optional<std::string> fragment() const;
    void setFragment(std::optional<std::string> fragment);

    // Nothing when the pieces do not make a URL (a relative path after a host,
    // or a path starting with "//" without one).
    std::optional<std::string> string() const;
    std::optional<URL> url() const;

private:
    net::URLReferenceParts parts_;
};

}  // namespace qor::platform
