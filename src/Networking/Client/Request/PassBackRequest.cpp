#include "Networking/Client/Request/PassBackRequest.h"

#include "Core/DeploymentValues.h"

namespace qor {

std::optional<platform::URL> PassBackRequest::baseURL() const {
    auto url = platform::URL::make(url_);
    if (!url || !url->scheme() || !url->host() || url->host()->empty()) return std::nullopt;
    return url;
}

std::optional<platform::URL> FetchIPRequest::baseURL() const {
    return platform::URL::make(deployment::ipEchoBaseURL());
}

}  // namespace qor
