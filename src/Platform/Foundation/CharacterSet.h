#pragma once

#include <bitset>
#include <optional>
#include <string>
#include <string_view>

namespace qor::platform {

// A set of characters used to decide what percent-encoding leaves alone.
// The URL sets only ever contain ASCII characters; a character outside ASCII is
// never a member, so its UTF-8 bytes are always escaped.
class CharacterSet {
public:
    CharacterSet() = default;
    static CharacterSet fromCharacters(std::string_view characters);

    static const CharacterSet& urlQueryAllowed();
    static const CharacterSet& urlFragmentAllowed();
    static const CharacterSet& urlHostAllowed();
    static const CharacterSet& urlPathAllowed();
    static const CharacterSet& urlUserAllowed();
    static const CharacterSet& urlPasswordAllowed();
    // ASCII letters and digits.
    static const CharacterSet& alphanumerics();

    bool contains(char character) const;
    void insert(std::string_view characters);
    void remove(std::string_view characters);
    CharacterSet inserting(std::string_view characters) const;
    CharacterSet removing(std::string_view characters) const;
    CharacterSet unioned(const CharacterSet& other) const;
    CharacterSet subtracting(const CharacterSet& other) const;

    bool operator==(const CharacterSet&) const = default;

private:
    std::bitset<128> members_;
};

// Escapes every UTF-8 byte of `text` that is not in `allowed` as "%" plus two
// upper-case hex digits. Yields nothing when `text` is not valid UTF-8.
std::optional<std::string> addingPercentEncoding(std::string_view text, const CharacterSet& allowed);

// The same escaping for bytes in any encoding (a file name on disk need not be UTF-8).
std::string percentEscapingBytes(std::string_view text, const CharacterSet& allowed);

// Decodes %XX escapes. Yields nothing when an escape is malformed or the
// decoded bytes are not UTF-8.
std::optional<std::string> removingPercentEncoding(std::string_view text);

// True when `text` is well-formed UTF-8 (no overlongs, no surrogates, nothing past U+10FFFF).
bool isValidUTF8(std::string_view text);

}  // namespace qor::platform
