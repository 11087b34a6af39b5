#pragma once

#include "Platform/Foundation/CharacterSet.h"
#include "Platform/Foundation/Data.h"

#include <optional>
#include <string>
#include <string_view>

namespace qor {

// True when the bytes are well-formed UTF-8 (no overlong forms, surrogates or values past
// U+10FFFF); the platform layer's check, so that text is judged the same way everywhere.
using platform::isValidUTF8;

// The bytes as text when they are well-formed UTF-8; nothing otherwise.
std::optional<std::string> utf8String(const platform::Data& data);

}  // namespace qor
