#include "Networking/Client/Request/Request.h"

#include "Core/DeploymentValues.h"
#include "Networking/Client/QORSDKError.h"
#include "Networking/Client/Request/Redirectors.h"
#include "Networking/Client/Request/UserAgent.h"
#include "Platform/Support/FatalError.h"

namespace qor {
namespace {

// The request's parameters; a request that cannot make them fails as a JSON encoding failure,
// so that it is never sent without them.
std::optional<Parameters> madeParameters(const AnyRequest& request) {
    try {
        return request.parameters();
    } catch (const QORSDKError&) {
        throw;
    } catch (...) {
        throw QORSDKError(QORSDKError::requestFailed{
            QORSDKError::RequestErrorReason::jsonEncodingFailed{AnyError(std::current_exception())}});
    }
}

}  // namespace

std::optional<platform::URL> AnyRequest::baseURL() const {
    return platform::URL::make(deployment::kDefaultRequestBaseURL);
}

RequestAdapterList AnyRequest::adapters() const { return defaultAdapters(*this); }

ResponsePipelineList AnyRequest::pipelines() const { return defaultPipelines(*this); }

std::shared_ptr<ResponsePipelineTerminator> AnyRequest::dataParser() const {
    return std::make_shared<JSONParsePipeline>(sharedJSONDecoder());
}

RequestAdapterList defaultAdapters(const AnyRequest& request) {
    RequestAdapterList list;
    list.push_back(std::make_shared<HeaderAdapter>(defaultUserAgent()));

    const HTTPMethod method = request.method();
    list.push_back(std::make_shared<AnyRequestAdapter>([method](platform::URLRequest urlRequest) {
        urlRequest.setHTTPMethod(std::string(rawValue(method)));
        return urlRequest;
    }));

    const ContentType contentType = request.contentType();
    const auto encodedBody =
        method != HTTPMethod::get && contentType == ContentType::json ? request.encodedJSONBody() : nullptr;
    if (encodedBody) {
        list.push_back(std::make_shared<AnyRequestAdapter>([encodedBody](platform::URLRequest urlRequest) {
            urlRequest.setHTTPBody(*encodedBody);
            return urlRequest;
        }));
    } else if (auto parameters = madeParameters(request)) {
        if (method == HTTPMethod::get) {
            list.push_back(std::make_shared<URLQueryEncoder>(std::move(*parameters)));
        } else if (contentType == ContentType::formUrlEncoded) {
            list.push_back(std::make_shared<FormUrlEncodedParameterEncoder>(std::move(*parameters)));
        } else if (contentType == ContentType::json) {
            list.push_back(std::make_shared<JSONParameterEncoder>(std::move(*parameters)));
        } else {
            platform::fatalError("[QORSDK] You must specify a contentType to use POST request.");
        }
    }

    if (contentType != ContentType::none) {
        // JSON bodies are labelled text/plain on purpose: the servers expect it.
        std::string value = contentType == ContentType::formUrlEncoded
                                ? "application/x-www-form-urlencoded; charset=utf-8"
                                : "text/plain";
        list.push_back(std::make_shared<AnyRequestAdapter>([value](platform::URLRequest urlRequest) {
            urlRequest.setValue(value, "Content-Type");
            return urlRequest;
        }));
    }

    if (const auto authentication = request.authentication(); !authentication.isNone()) {
        list.push_back(std::make_shared<TokenAdapter>(authentication.tokenValue()));
    }
    return list;
}

ResponsePipelineList defaultPipelines(const AnyRequest& request) {
    ResponsePipelineList list;
    if (!request.authentication().isNone()) {
        list.push_back(ResponsePipeline::redirector(std::make_shared<RefreshTokenRedirector>()));
    }
    list.push_back(ResponsePipeline::redirector(std::make_shared<BadHTTPStatusRedirector>()));
    list.push_back(ResponsePipeline::terminator(request.dataParser()));
    return list;
}

}  // namespace qor
