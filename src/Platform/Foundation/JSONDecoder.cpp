#include "Platform/Foundation/JSONDecoder.h"

#include <algorithm>

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
    DeferringDocument document;
    for (auto& [key, member] : object->deferred) {
        const auto begin = object->members.begin();
        const auto place =
            std::find_if(begin, object->members.end(), [&](const auto& entry) { return entry.first == key; });
        document.deferred.push_back({static_cast<std::size_t>(place - begin), member});
    }
    document.members = std::move(object->members);
    return document;
}

}  // namespace qor::platform
