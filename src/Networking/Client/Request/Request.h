#pragma once

#include "Networking/Client/Request/AuthenticationMethod.h"
#include "Networking/Client/Request/HTTPMethod.h"
#include "Networking/Client/Request/ParameterEncoders.h"
#include "Networking/Client/Request/ParsePipelines.h"
#include "Networking/Client/Request/RequestAdapter.h"
#include "Networking/Client/Request/ResponsePipeline.h"
#include "Platform/Foundation/JSONDecoder.h"
#include "Platform/Foundation/URL.h"
#include "Platform/Foundation/URLQueryItem.h"
#include "Platform/Foundation/URLRequest.h"

#include <any>
#include <concepts>
#include <memory>
#include <optional>
#include <string>
#include <typeindex>
#include <vector>

namespace qor {

// The description of one server call, whatever its Response type. Every property is read
// afresh each time: the defaults (adapters, pipelines, parser) are new objects built from the
// request's current values, so a type that overrides only its own fields still yields
// complete lists. method, path and authentication have no default.
class AnyRequest {
public:
    virtual ~AnyRequest() = default;

    virtual HTTPMethod method() const = 0;
    // Nothing when the request has no usable URL; building then fails with missingURL.
    virtual std::optional<platform::URL> baseURL() const;
    virtual std::string path() const = 0;
    virtual std::optional<std::vector<platform::URLQueryItem>> pathQueries() const { return std::nullopt; }
    // Nothing when the request has none. A request that cannot make its parameters throws:
    // building then fails (a foreign exception as jsonEncodingFailed) and nothing is sent.
    virtual std::optional<Parameters> parameters() const { return std::nullopt; }
    // The JSON body already made from parameters(), byte for byte what the JSON encoder would
    // write, for a request that shares one body among several posts; nothing makes the default
    // adapters encode the parameters themselves.
    virtual std::shared_ptr<const platform::Data> encodedJSONBody() const { return nullptr; }
    virtual AuthenticationMethod authentication() const = 0;
    virtual ContentType contentType() const { return ContentType::json; }
    virtual RequestAdapterList adapters() const;
    virtual std::optional<RequestAdapterList> suffixAdapters() const { return std::nullopt; }
    virtual ResponsePipelineList pipelines() const;
    virtual std::optional<ResponsePipelineList> prefixPipelines() const { return std::nullopt; }
    virtual std::shared_ptr<ResponsePipelineTerminator> dataParser() const;
    virtual double timeout() const { return 30.0; }
    virtual platform::URLRequestCachePolicy cachePolicy() const {
        return platform::URLRequestCachePolicy::reloadIgnoringLocalCacheData;
    }

    // The Response type, and its decoding from JSON with the given decoder (type-erased).
    virtual std::type_index responseType() const = 0;
    virtual std::any decodeResponse(const platform::JSONDecoder& decoder, const platform::Data& data) const = 0;

protected:
    AnyRequest() = default;
    AnyRequest(const AnyRequest&) = default;
    AnyRequest& operator=(const AnyRequest&) = default;
};

// The default adapter chain: fixed headers, method, the parameter encoder the method and
// content type call for, the Content-Type header, the bearer token. A type that overrides
// adapters() can start from it.
RequestAdapterList defaultAdapters(const AnyRequest& request);

// The default pipelines: the token-refresh check (token requests only), the status check, the
// request's dataParser.
ResponsePipelineList defaultPipelines(const AnyRequest& request);

// Thrown by a default JSON parser whose Response type has no JSON form.
struct ResponseNotDecodableError : std::runtime_error {
    ResponseNotDecodableError() : std::runtime_error("The response type cannot be decoded from JSON.") {}
};

template <class T>
concept JSONDecodableResponse = requires(const platform::JSONDecoder& decoder, const platform::Data& data) {
    { decoder.template decode<T>(data) } -> std::convertible_to<T>;
};

// Base of every request type: names the Response. Derived types are copyable values:
//   struct PingRequest final : Request<std::string> {
//     HTTPMethod method() const override { return HTTPMethod::get; }
//     std::string path() const override { return "ping"; }
//     AuthenticationMethod authentication() const override { return AuthenticationMethod::none(); }
//   };
template <class T>
class Request : public AnyRequest {
public:
    using Response = T;

    std::type_index responseType() const final { return typeid(T); }

    std::any decodeResponse(const platform::JSONDecoder& decoder, const platform::Data& data) const final {
        if constexpr (JSONDecodableResponse<T>) {
            return std::any(decoder.template decode<T>(data));
        } else {
            throw ResponseNotDecodableError();
        }
    }
};

template <class R>
concept RequestType = std::derived_from<R, Request<typename R::Response>> && std::copy_constructible<R>;

}  // namespace qor
