#pragma once

#include <stdexcept>
#include <string>

#include <QORUniversalSDK/Platform/Foundation/Any.h>
#include <QORUniversalSDK/Platform/Foundation/Data.h>
#include <QORUniversalSDK/Platform/Support/Export.h>

namespace qor::platform {

// Raised when text is not JSON, or when a value cannot be written as JSON (a non-finite
// number, a NaN Decimal, a string that is not UTF-8, a top-level scalar without
// fragmentsAllowed). what() is a developer-facing detail.
struct QOR_EXPORT JSONSerializationError : std::runtime_error {
    enum class Kind { invalidText, invalidValue };
    JSONSerializationError(Kind kind, const std::string& detail) : std::runtime_error(detail), kind(kind) {}
    Kind kind;
    // The user-facing text of the failure.
    std::string localizedDescription() const;
};

struct QOR_EXPORT JSONReadingOptions {
    bool fragmentsAllowed = false;  // accept a bare scalar at the top level
};

struct QOR_EXPORT JSONWritingOptions {
    bool fragmentsAllowed = false;  // accept a bare scalar at the top level
    bool sortedKeys = false;
    bool prettyPrinted = false;  // two-space indent, "key" : value
    bool withoutEscapingSlashes = false;
};

// Reads and writes JSON text as the untyped value model.
// Reading: integers that fit in 64 signed bits become integers, larger ones up to 2^64-1
// unsigned integers; every other number a floating value that keeps the exact decimal of its
// text. Strings must be UTF-8. Duplicate keys: the last value wins at the first key's place.
// Nesting deeper than maxDepth is refused.
// Writing: compact text, keys in the dictionary's order (or sorted), "/" written as "\/",
// control characters escaped, other characters raw UTF-8; integral doubles below 2^53 as
// integers ("1", "-0"), other doubles and floats as their shortest round-trip text.
class QOR_EXPORT JSONSerialization {
public:
    static constexpr int maxDepth = 512;

    using ReadingOptions = JSONReadingOptions;
    using WritingOptions = JSONWritingOptions;

    static Data data(const Any& value, WritingOptions options = {});
    static std::string string(const Any& value, WritingOptions options = {});
    static Any jsonObject(const Data& data, ReadingOptions options = {});
    static Any jsonObject(std::string_view text, ReadingOptions options = {});
    // True for an array or dictionary whose every leaf can be written.
    static bool isValidJSONObject(const Any& value);
};

}  // namespace qor::platform
