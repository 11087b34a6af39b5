#include "Platform/Foundation/JSONEncoder.h"

#include "Platform/Foundation/Coding/JSONText.h"

namespace qor::platform {

std::string JSONEncoder::write(const Any& value) const {
    coding::JSONTextOptions options;
    options.sortedKeys = sortedKeys;
    options.prettyPrinted = prettyPrinted;
    options.escapeSlashes = !withoutEscapingSlashes;
    std::string text;
    if (auto failure = coding::writeJSONText(value, options, text)) throw EncodingError(CodingPath(), *failure);
    return text;
}

}  // namespace qor::platform
