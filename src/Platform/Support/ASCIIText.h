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

// Every occurrence of `target` replaced, left to right; text put in by a replacement is never
// searched again, so a replacement that contains the target cannot loop.
std::string replacingOccurrences(std::string text, std::string_view target, std::string_view replacement);

// Appends `text` with its control characters escaped: line feed, carriage return and tab as "\n",
// "\r" and "\t", every other byte below 0x20 and DEL as "\u{hex}". Every other byte (UTF-8
// sequences included) is appended as it is, and so are tab when `keepTab` and DEL unless
// `escapeDelete`.
struct ControlEscaping {
    bool keepTab = false;
    bool escapeDelete = true;
};
void appendEscapingControlCharacters(std::string& out, std::string_view text, ControlEscaping how = {});

}  // namespace qor::platform
