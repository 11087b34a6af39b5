#include "Core/EncodeToDictionary.h"

#include <cmath>
#include <cstdlib>
#include <string>

namespace qor {
namespace {

// Whether the number that starts at `begin` reads back as a finite number; its end is returned
// through `end`. An integer of up to 18 digits always does; anything longer or with a fraction or
// an exponent is read as the reader reads it.
bool readsAsFiniteNumber(const char* begin, const char* limit, const char*& end) {
    const char* p = begin;
    bool plainInteger = true;
    while (p < limit) {
        const char c = *p;
        if (c >= '0' && c <= '9') {
        } else if (c == '-' || c == '+') {
        } else if (c == '.' || c == 'e' || c == 'E') {
            plainInteger = false;
        } else {
            break;
        }
        ++p;
    }
    end = p;
    if (plainInteger && p - begin <= 18) return true;
    const std::string number(begin, p);
    
    const double value = std::strtod(number.c_str(), nullptr);
    return std::isfinite(value);
}

}  // namespace

void checkReadsBackAtDepth(std::string_view text, std::size_t nesting) {
    const auto tooDeep = [] {
        throw platform::JSONSerializationError(platform::JSONSerializationError::Kind::invalidText,
                                               "too many nested arrays or dictionaries");
    };
    const auto maxDepth = static_cast<std::size_t>(platform::JSONSerialization::maxDepth);
    if (nesting > maxDepth) tooDeep();
    std::size_t depth = nesting;
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p < end) {
        const char c = *p;
        if (c == '"') {
            // To the closing quote; an escaped quote is preceded by a backslash that is not itself
            // escaped.
            for (++p; p < end && *p != '"'; ++p) {
                if (*p == '\\') ++p;
            }
            ++p;
        } else if (c == '[' || c == '{') {
            if (++depth > maxDepth) tooDeep();
            ++p;
        } else if (c == ']' || c == '}') {
            --depth;
            ++p;
        } else if (c == '-' || (c >= '0' && c <= '9')) {
            const char* after = nullptr;
            if (!readsAsFiniteNumber(p, end, after)) {
                throw platform::JSONSerializationError(platform::JSONSerializationError::Kind::invalidText,
                                                       "a number beyond the range of a double");
            }
            p = after;
        } else {
            ++p;
        }
    }
}

std::optional<platform::AnyDictionary> encodeJSONToDictionary(const JSON& value) { return encodeToDictionary(value); }

}  // namespace qor
