#pragma once

#include "Networking/Client/Request/Request.h"

#include <memory>
#include <optional>
#include <string>

namespace qor::test {

// A request whose every property a test can set; the unset ones keep the defaults.
template <class T = std::string>
class ConfigurableRequest final : public Request<T> {
public:
    HTTPMethod methodValue = HTTPMethod::get;
    std::string base = "https://api.test/v1";
    std::string pathValue;
    std::optional<std::vector<platform::URLQueryItem>> pathQueriesValue;
    std::optional<Parameters> parametersValue;
    AuthenticationMethod authenticationValue = AuthenticationMethod::none();
    ContentType contentTypeValue = ContentType::none;
    std::optional<RequestAdapterList> suffixAdaptersValue;
    std::optional<ResponsePipelineList> pipelinesValue;
    std::optional<ResponsePipelineList> prefixPipelinesValue;
    std::shared_ptr<ResponsePipelineTerminator> dataParserValue;

    HTTPMethod method() const override { return methodValue; }
    std::optional<platform::URL> baseURL() const override { return platform::URL::make(base); }
    std::string path() const override { return pathValue; }
    std::optional<std::vector<platform::URLQueryItem>> pathQueries() const override { return pathQueriesValue; }
    std::optional<Parameters> parameters() const override { return parametersValue; }
    AuthenticationMethod authentication() const override { return authenticationValue; }
    ContentType contentType() const override { return contentTypeValue; }
    std::optional<RequestAdapterList> suffixAdapters() const override { return suffixAdaptersValue; }
    ResponsePipelineList pipelines() const override {
        return pipelinesValue ? *pipelinesValue : Request<T>::pipelines();
    }
    std::optional<ResponsePipelineList> prefixPipelines() const override { return prefixPipelinesValue; }
    std::shared_ptr<ResponsePipelineTerminator> dataParser() const override {
        return dataParserValue ? dataParserValue : Request<T>::dataParser();
    }
};

}  // namespace qor::test
