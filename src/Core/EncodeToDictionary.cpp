#include "Core/EncodeToDictionary.h"

#include <string>

namespace qor {
namespace {

// A number written by the encoder that reads back as the same integer and is written again as
// the same text: no sign other than "-", no leading zero, no fraction or exponent, and few
// enough digits to fit any integer type ("-0" reads back as 0, so it is not one of them).
bool isPlainInteger(std::string_view number) {
    const std::string_view digits = number.starts_with('-') ? number.substr(1) : number;
    if (digits.empty() || digits.size() > 18) return false;
    if (digits.front() == '0') return digits.size() == 1 && number.size() == 1;
    for (const char c : digits) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

std::size_t numberLength(std::string_view text, std::size_t start) {
    std::size_t end = start;
    while (end < text.size()) {
        const char c = text[end];
        if ((c < '0' || c > '9') && c != '-' && c != '+' && c != '.' && c != 'e' && c != 'E') break;
        ++end;
    }
    return end - start;
}

// One number as reading it back and writing it again gives it. Throws what reading raises.
std::string readBackNumber(std::string_view number) {
    platform::JSONReadingOptions reading;
    reading.fragmentsAllowed = true;
    platform::JSONWritingOptions writing;
    writing.fragmentsAllowed = true;
    return platform::JSONSerialization::string(platform::JSONSerialization::jsonObject(number, reading), writing);
}

}  // namespace

std::string readBackText(std::string text, std::size_t nesting) {
    const auto tooDeep = [] {
        throw platform::JSONSerializationError(platform::JSONSerializationError::Kind::invalidText,
                                               "too many nested arrays or dictionaries");
    };
    const auto maxDepth = static_cast<std::size_t>(platform::JSONSerialization::maxDepth);
    if (nesting > maxDepth) tooDeep();
    std::size_t depth = nesting;
    // Built only once a number comes back otherwise; until then the text stands as it is.
    std::string rewritten;
    std::size_t copiedUpTo = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '"') {
            // To the closing quote; an escaped character is skipped with its backslash.
            for (++i; i < text.size() && text[i] != '"'; ++i) {
                if (text[i] == '\\') ++i;
            }
            ++i;
        } else if (c == '[' || c == '{') {
            if (++depth > maxDepth) tooDeep();
            ++i;
        } else if (c == ']' || c == '}') {
            --depth;
            ++i;
        } else if (c == '-' || (c >= '0' && c <= '9')) {
            const std::size_t length = numberLength(text, i);
            const std::string_view number(text.data() + i, length);
            if (!isPlainInteger(number)) {
                std::string again = readBackNumber(number);
                if (again != number) {
                    rewritten.append(text, copiedUpTo, i - copiedUpTo).append(again);
                    copiedUpTo = i + length;
                }
            }
            i += length;
        } else {
            ++i;
        }
    }
    if (copiedUpTo == 0) return text;
    rewritten.append(text, copiedUpTo, std::string::npos);
    return rewritten;
}

std::optional<platform::AnyDictionary> encodeJSONToDictionary(const JSON& value) { return encodeToDictionary(value); }

}  // namespace qor
