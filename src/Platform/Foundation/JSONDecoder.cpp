#include "Platform/Foundation/JSONDecoder.h"

#include "Platform/Foundation/Coding/JSONReader.h"
#include "Platform/Foundation/JSONSerialization.h"

namespace qor::platform {

Any JSONDecoder::parse(std::string_view text) {
    try {
        return JSONSerialization::jsonObject(text, {.fragmentsAllowed = true});
    } catch (const JSONSerializationError& error) {
        throw DecodingError(DecodingError::Kind::dataCorrupted, std::vector<std::string>{},
                            std::string("The given data was not valid JSON. ") + error.what());
    }
}

std::optional<JSONDecoder::DeferringDocument> JSONDecoder::readDeferring(std::string_view text) {
    auto object = coding::readWellFormedObjectDeferring(text, JSONSerialization::maxDepth, kDeferredLength);
    if (!object) return std::nullopt;
    DeferringDocument document{{}, object->places()};
    document.members = std::move(object->members);
    return document;
}

}  // namespace qor::platform
