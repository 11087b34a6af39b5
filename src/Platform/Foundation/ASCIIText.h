#pragma once

#include <string>
#include <string_view>

namespace qor::platform {

// The text without any of `characters` at either end (a view into `text`).
std::string_view trimmed(std::string_view text, std::string_view characters = " \t\r\n");

// ASCII letters lowered; every other byte (UTF-8 sequences included) left as it is.
std::string lowercasedASCII(std::string_view text);

// Equal when they differ only in the case of ASCII letters (header names, schemes, hosts).
bool equalsIgnoringASCIICase(std::string_view lhs, std::string_view rhs);

}  // namespace qor::platform
