#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "Core/EncodeToDictionary.h"
#include "Networking/Client/Request/Request.h"

namespace qor {

// A POST to the collection endpoint, answered as text. The analytics destination posts a whole
// batch file with it (the body comes from the file, no parameters); the auction-event recorder
// posts its envelope's JSON text as it is (jsonBody); an envelope record handed whole is carried
// in `request`, sent as the request's parameters.
class PostBatchRequest final : public Request<std::string> {
public:
    // The envelope as parameters, computed on each read; empty when the request carries none.
    // An envelope that cannot be converted throws, so the post fails instead of going out empty.
    using Envelope = std::function<std::optional<Parameters>()>;

    PostBatchRequest(HTTPMethod method, std::string path, AuthenticationMethod authentication,
                     std::shared_ptr<ResponsePipelineTerminator> dataParser, Envelope request = nullptr)
        : methodValue(method),
          pathValue(std::move(path)),
          authenticationValue(std::move(authentication)),
          dataParserValue(std::move(dataParser)),
          request(std::move(request)) {}

    // What the analytics destination sends: POST to the endpoint itself, no authentication,
    // the body as text, no envelope.
    static PostBatchRequest forBatchFile() {
        return PostBatchRequest(HTTPMethod::post, "", AuthenticationMethod::none(),
                                std::make_shared<StringParsePipeline>());
    }

    // A request carrying an auction-event batch envelope, converted when the request is built.
    // The envelope is shared, not copied, when the request is.
    template <class Batch>
    static PostBatchRequest carrying(Batch batch) {
        return PostBatchRequest(HTTPMethod::post, "", AuthenticationMethod::none(),
                                std::make_shared<StringParsePipeline>(),
                                [batch = std::make_shared<const Batch>(std::move(batch))] {
                                    return encodeBatchRequestToDictionary(*batch);
                                });
    }

    // A request posting JSON text made already (the recorder's envelope of event texts), as it
    // is: no parameters are made or read back.
    static PostBatchRequest withJSONBody(std::shared_ptr<const platform::Data> body) {
        PostBatchRequest request(HTTPMethod::post, "", AuthenticationMethod::none(),
                                 std::make_shared<StringParsePipeline>());
        request.jsonBody = std::move(body);
        return request;
    }

    HTTPMethod methodValue;
    std::string pathValue;
    AuthenticationMethod authenticationValue;
    std::shared_ptr<ResponsePipelineTerminator> dataParserValue;
    Envelope request;
    std::shared_ptr<const platform::Data> jsonBody;

    HTTPMethod method() const override { return methodValue; }
    // The deployment's collection endpoint, read anew each time.
    std::optional<platform::URL> baseURL() const override;
    std::string path() const override { return pathValue; }
    std::optional<Parameters> parameters() const override;
    std::shared_ptr<const platform::Data> encodedJSONBody() const override { return jsonBody; }
    AuthenticationMethod authentication() const override { return authenticationValue; }
    std::shared_ptr<ResponsePipelineTerminator> dataParser() const override { return dataParserValue; }
};

}  // namespace qor
