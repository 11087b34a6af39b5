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

bool JSONDecoder::decodeLongObject(std::string_view text, KeyedDecodingContainer::RecordCall decodeRecord) const {
    auto object = coding::readWellFormedObjectDeferring(text, JSONSerialization::maxDepth, kDeferredLength);
    if (!object) return false;
    const std::vector<coding::DeferredMember> places = object->places();
    const KeyedDecodingContainer::Deferred deferred{places};
    const DecodingContext context{keyDecodingStrategy};
    const CodingPath root;
    const KeyedDecodingContainer container(object->members, root, context, &deferred);
    decodeRecord(container);
    return true;
}

}  // namespace qor::platform
