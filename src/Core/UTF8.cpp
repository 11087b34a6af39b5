#include "Core/UTF8.h"

namespace qor {

std::optional<std::string> utf8String(const platform::Data& data) {
    std::string text(data.begin(), data.end());
    if (!isValidUTF8(text)) return std::nullopt;
    return text;
}

}  // namespace qor
