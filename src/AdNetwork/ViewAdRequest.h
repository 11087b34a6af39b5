#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Networking/Client/Request/Request.h"
#include "Platform/Foundation/URLComponents.h"

namespace qor {

// A GET of a tracker URL given as text, answered with the body as text. Whatever the given
// URL's scheme, port or user information, the request goes to "https://" and its host on the
// default port, with its path and query; the fragment is not sent. A text that does not parse,
// or that names no host, gives no base URL, and the Session fails the request with missingURL
// without sending anything.
// A tracker URL as text a ViewAdRequest can be made from: every character a URL cannot carry
// percent-encoded, the percent sign included (an escape arrives encoded twice, as servers have
// always received it), while the brackets of an IPv6 host stay. The fragment is left out: it is
// never sent. Nothing when the text is not UTF-8.
std::optional<std::string> trackerRequestText(std::string_view url);

class ViewAdRequest final : public Request<std::string> {
public:
    explicit ViewAdRequest(const std::string& url);

    AuthenticationMethod authenticationValue = AuthenticationMethod::none();
    HTTPMethod methodValue = HTTPMethod::get;
    ContentType contentTypeValue = ContentType::none;
    std::shared_ptr<ResponsePipelineTerminator> dataParserValue;

    const std::optional<platform::URLComponents>& components() const { return components_; }

    HTTPMethod method() const override { return methodValue; }
    std::optional<platform::URL> baseURL() const override;
    std::string path() const override;
    std::optional<std::vector<platform::URLQueryItem>> pathQueries() const override;
    AuthenticationMethod authentication() const override { return authenticationValue; }
    ContentType contentType() const override { return contentTypeValue; }
    std::shared_ptr<ResponsePipelineTerminator> dataParser() const override { return dataParserValue; }

private:
    std::optional<platform::URLComponents> components_;
};

}  // namespace qor
