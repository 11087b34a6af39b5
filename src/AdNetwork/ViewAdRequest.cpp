#include "AdNetwork/ViewAdRequest.h"

#include <algorithm>

#include "Networking/Client/Request/ParsePipelines.h"
#include "Platform/Foundation/CharacterSet.h"

namespace qor {
namespace {

// Where the authority ("user@host:port") of a URL ends: it follows a leading "//" or the "//"
// right after the scheme and runs up to the path, the query or the end. Nothing when the text
// has no authority.
std::optional<std::size_t> authorityEnd(std::string_view url) {
    const auto slashes = url.find("//");
    if (slashes == std::string_view::npos) return std::nullopt;
    const auto scheme = url.substr(0, slashes);
    if (!scheme.empty() && (scheme.back() != ':' || scheme.find_first_of("/?") != std::string_view::npos))
        return std::nullopt;
    return std::min(url.find_first_of("/?", slashes + 2), url.size());
}

}  // namespace

std::optional<std::string> trackerRequestText(std::string_view url) {
    const auto& allowed = platform::CharacterSet::urlQueryAllowed();
    static const platform::CharacterSet hostAllowed = allowed.inserting("[]");
    url = url.substr(0, url.find('#'));
    // Up to the end of the host, brackets are kept; a scheme holds none anyway.
    const auto end = authorityEnd(url).value_or(0);
    auto head = platform::addingPercentEncoding(url.substr(0, end), hostAllowed);
    auto rest = platform::addingPercentEncoding(url.substr(end), allowed);
    if (!head || !rest) return std::nullopt;
    return *head + *rest;
}

ViewAdRequest::ViewAdRequest(const std::string& url)
    : dataParserValue(std::make_shared<StringParsePipeline>()), components_(platform::URLComponents::make(url)) {}

std::optional<platform::URL> ViewAdRequest::baseURL() const {
    if (!components_) return std::nullopt;
    const auto host = components_->percentEncodedHost();
    if (!host || host->empty()) return std::nullopt;
    return platform::URL::make("https://" + *host);
}

std::string ViewAdRequest::path() const { return components_ ? components_->path() : std::string(); }

std::optional<std::vector<platform::URLQueryItem>> ViewAdRequest::pathQueries() const {
    return components_ ? components_->queryItems() : std::nullopt;
}

}  // namespace qor
