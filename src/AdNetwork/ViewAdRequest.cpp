#include "AdNetwork/ViewAdRequest.h"

#include "Networking/Client/Request/ParsePipelines.h"

namespace qor {

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
