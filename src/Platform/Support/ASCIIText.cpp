#include "Platform/Support/ASCIIText.h"

#include <algorithm>
#include <cstdio>

namespace qor::platform {
namespace {

char lowered(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

std::string_view trimmed(std::string_view text, std::string_view characters) {
    const auto first = text.find_first_not_of(characters);
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(characters);
    return text.substr(first, last - first + 1);
}

std::string lowercasedASCII(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(), lowered);
    return result;
}

bool equalsIgnoringASCIICase(std::string_view lhs, std::string_view rhs) {
    return lhs.size() == rhs.size() &&
           std::equal(lhs.begin(), lhs.end(), rhs.begin(), [](char a, char b) { return lowered(a) == lowered(b); });
}

std::string replacingOccurrences(std::string text, std::string_view target, std::string_view replacement) {
    if (target.empty()) return text;
    for (auto at = text.find(target); at != std::string::npos; at = text.find(target, at + replacement.size())) {
        text.replace(at, target.size(), replacement);
    }
    return text;
}

void appendEscapingControlCharacters(std::string& out, std::string_view text, ControlEscaping how) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += how.keepTab ? "\t" : "\\t";
        } else if (byte < 0x20 || (byte == 0x7f && how.escapeDelete)) {
            char escape[16];
            std::snprintf(escape, sizeof escape, "\\u{%x}", static_cast<unsigned>(byte));
            out += escape;
        } else {
            out += c;
        }
    }
}

}  // namespace qor::platform
