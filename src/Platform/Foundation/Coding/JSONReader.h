#pragma once

#include <optional>
#include <string_view>

#include "Platform/Foundation/Any.h"

namespace qor::platform::coding {

// Reads well-formed JSON text into the untyped model quickly: the same values as the full
// parser under JSONSerialization gives (integers in 64 signed bits as integers, up to 2^64-1
// unsigned, other numbers floating with the exact decimal of their text; duplicate keys: the
// last value at the first key's place). Anything else comes back as nullopt, so that the full
// parser can decide and describe it: malformed text, a byte-order mark, nesting of maxDepth
// containers or more, a number beyond the double range, a lone surrogate escape.
std::optional<Any> readWellFormedJSON(std::string_view text, int maxDepth);

}  // namespace qor::platform::coding
