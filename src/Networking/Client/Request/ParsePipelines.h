#pragma once

#include "Networking/Client/Request/ResponsePipeline.h"
#include "Platform/Foundation/JSONDecoder.h"

#include <memory>

namespace qor {

// The one plain decoder behind every request's default parser, made on first use.
std::shared_ptr<const platform::JSONDecoder> sharedJSONDecoder();

// Decodes the request's Response from the body; the decoder's error is thrown unchanged.
class JSONParsePipeline final : public ResponsePipelineTerminator {
public:
    explicit JSONParsePipeline(std::shared_ptr<const platform::JSONDecoder> parser) : parser(std::move(parser)) {}
    std::any parse(const AnyRequest& request, const platform::Data& data) const override;

    const std::shared_ptr<const platform::JSONDecoder> parser;
};

// Hands back the whole body as text, unchanged. A body that is not UTF-8 cannot be text, and
// fails the parse.
class StringParsePipeline final : public ResponsePipelineTerminator {
public:
    StringParsePipeline() = default;
    std::any parse(const AnyRequest& request, const platform::Data& data) const override;
};

// Thrown by StringParsePipeline for a body that is not valid UTF-8.
struct InvalidUTF8BodyError : std::runtime_error {
    InvalidUTF8BodyError() : std::runtime_error("The response body is not valid UTF-8 text.") {}
};

}  // namespace qor
