#include "Networking/Client/Request/ParsePipelines.h"

#include "Core/UTF8.h"
#include "Networking/Client/Request/Request.h"

namespace qor {

std::shared_ptr<const platform::JSONDecoder> sharedJSONDecoder() {
    static const auto* decoder =
        new std::shared_ptr<const platform::JSONDecoder>(std::make_shared<const platform::JSONDecoder>());
    return *decoder;
}

std::any JSONParsePipeline::parse(const AnyRequest& request, const platform::Data& data) const {
    return request.decodeResponse(*parser, data);
}

std::any StringParsePipeline::parse(const AnyRequest&, const platform::Data& data) const {
    auto text = utf8String(data);
    if (!text) throw InvalidUTF8BodyError();
    return std::move(*text);
}

}  // namespace qor
