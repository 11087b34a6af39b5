#pragma once

#include "Networking/Client/Request/Request.h"

#include <memory>
#include <string>

namespace qor {

// Fetches whatever a full URL points to and hands the body back as text. A URL string that
// does not parse fails the building with missingURL.
class PassBackRequest final : public Request<std::string> {
public:
    explicit PassBackRequest(std::string url) : url_(std::move(url)) {}

    AuthenticationMethod authenticationValue = AuthenticationMethod::none();
    HTTPMethod methodValue = HTTPMethod::get;
    ContentType contentTypeValue = ContentType::none;
    std::shared_ptr<ResponsePipelineTerminator> dataParserValue = std::make_shared<StringParsePipeline>();

    HTTPMethod method() const override { return methodValue; }
    // The given URL; nothing when the text is not an absolute URL with a host.
    std::optional<platform::URL> baseURL() const override;
    std::string path() const override { return {}; }
    std::optional<Parameters> parameters() const override { return Parameters{}; }
    AuthenticationMethod authentication() const override { return authenticationValue; }
    ContentType contentType() const override { return contentTypeValue; }
    std::shared_ptr<ResponsePipelineTerminator> dataParser() const override { return dataParserValue; }

private:
    std::string url_;
};

// Asks the IP-echo service for its plain-text trace ("key=value" lines, one of them "ip=...").
class FetchIPRequest final : public Request<std::string> {
public:
    FetchIPRequest(AuthenticationMethod authentication, HTTPMethod method, ContentType contentType,
                   std::shared_ptr<ResponsePipelineTerminator> dataParser)
        : authenticationValue(std::move(authentication)),
          methodValue(method),
          contentTypeValue(contentType),
          dataParserValue(std::move(dataParser)) {}

    // What the system's one sender uses: no authentication, GET, no content type, text.
    static FetchIPRequest standard() {
        return FetchIPRequest(AuthenticationMethod::none(), HTTPMethod::get, ContentType::none,
                              std::make_shared<StringParsePipeline>());
    }

    AuthenticationMethod authenticationValue;
    HTTPMethod methodValue;
    ContentType contentTypeValue;
    std::shared_ptr<ResponsePipelineTerminator> dataParserValue;

    HTTPMethod method() const override { return methodValue; }
    // The deployment's IP-echo base URL, read when the request is built.
    std::optional<platform::URL> baseURL() const override;
    std::string path() const override { return "cdn-cgi/trace"; }
    std::optional<Parameters> parameters() const override { return Parameters{}; }
    AuthenticationMethod authentication() const override { return authenticationValue; }
    ContentType contentType() const override { return contentTypeValue; }
    std::shared_ptr<ResponsePipelineTerminator> dataParser() const override { return dataParserValue; }
};

}  // namespace qor
