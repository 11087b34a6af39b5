#include "Core/EncodeToDictionary.h"

#include <string>

namespace qor {

void readBackAtDepth(std::string_view text, std::size_t nesting) {
    std::string nested;
    nested.reserve(text.size() + 2 * nesting);
    nested.append(nesting, '[').append(text).append(nesting, ']');
    platform::JSONReadingOptions options;
    options.fragmentsAllowed = true;
    (void)platform::JSONSerialization::jsonObject(nested, options);
}

std::optional<platform::AnyDictionary> encodeJSONToDictionary(const JSON& value) { return encodeToDictionary(value); }

}  // namespace qor
