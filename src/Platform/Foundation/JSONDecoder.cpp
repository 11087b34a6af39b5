#include "Platform/Foundation/JSONDecoder.h"

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

}  // namespace qor::platform
