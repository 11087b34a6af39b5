#include "Platform/Foundation/CharacterSet.h"

#include <cstring>

namespace qor::platform {

namespace {

constexpr std::string_view kAlphanumerics = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr std::string_view kUnreserved = "-._~";
constexpr std::string_view kSubDelimiters = "!$&'()*+,;=";

CharacterSet makeSet(std::initializer_list<std::string_view> parts, std::string_view without = {}) {
    CharacterSet set;
    for (auto part : parts) set.insert(part);
    set.remove(without);
    return set;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

CharacterSet CharacterSet::fromCharacters(std::string_view characters) {
    CharacterSet set;
    set.insert(characters);
    return set;
}

const CharacterSet& CharacterSet::urlQueryAllowed() {
    static const CharacterSet set = makeSet({kAlphanumerics, kUnreserved, kSubDelimiters, ":@/?"});
    return set;
}

const CharacterSet& CharacterSet::urlFragmentAllowed() { return urlQueryAllowed(); }

const CharacterSet& CharacterSet::urlHostAllowed() {
    static const CharacterSet set = makeSet({kAlphanumerics, kUnreserved, kSubDelimiters, ":[]"});
    return set;
}

const CharacterSet& CharacterSet::urlPathAllowed() {
    // ";" stays escaped in paths: old servers read it as a parameter separator.
    static const CharacterSet set = makeSet({kAlphanumerics, kUnreserved, kSubDelimiters, ":@/"}, ";");
    return set;
}

const CharacterSet& CharacterSet::urlUserAllowed() {
    static const CharacterSet set = makeSet({kAlphanumerics, kUnreserved, kSubDelimiters});
    return set;
}

const CharacterSet& CharacterSet::urlPasswordAllowed() { return urlUserAllowed(); }

const CharacterSet& CharacterSet::alphanumerics() {
    static const CharacterSet set = makeSet({kAlphanumerics});
    return set;
}

bool CharacterSet::contains(char character) const {
    auto code = static_cast<unsigned char>(character);
    return code < 128 && members_.test(code);
}

void CharacterSet::insert(std::string_view characters) {
    for (char c : characters) {
        auto code = static_cast<unsigned char>(c);
        if (code < 128) members_.set(code);
    }
}

void CharacterSet::remove(std::string_view characters) {
    for (char c : characters) {
        auto code = static_cast<unsigned char>(c);
        if (code < 128) members_.reset(code);
    }
}

CharacterSet CharacterSet::inserting(std::string_view characters) const {
    CharacterSet copy = *this;
    copy.insert(characters);
    return copy;
}

CharacterSet CharacterSet::removing(std::string_view characters) const {
    CharacterSet copy = *this;
    copy.remove(characters);
    return copy;
}

CharacterSet CharacterSet::unioned(const CharacterSet& other) const {
    CharacterSet copy = *this;
    copy.members_ |= other.members_;
    return copy;
}

CharacterSet CharacterSet::subtracting(const CharacterSet& other) const {
    CharacterSet copy = *this;
    copy.members_ &= ~other.members_;
    return copy;
}

bool isValidUTF8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        // Most text is ASCII: skip it a machine word at a time.
        while (i + sizeof(std::uint64_t) <= text.size()) {
            std::uint64_t word;
            std::memcpy(&word, text.data() + i, sizeof word);
            if ((word & 0x8080808080808080ULL) != 0) break;
            i += sizeof word;
        }
        if (i >= text.size()) break;
        auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        std::uint32_t code = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            code = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            code = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            code = lead & 0x07;
        } else {
            return false;
        }
        if (i + length > text.size()) return false;
        for (std::size_t k = 1; k < length; ++k) {
            auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            code = (code << 6) | (next & 0x3F);
        }
        static constexpr std::uint32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < kMinimum[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        i += length;
    }
    return true;
}

std::string percentEscapingBytes(std::string_view text, const CharacterSet& allowed) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string result;
    result.reserve(text.size());
    for (char c : text) {
        if (allowed.contains(c)) {
            result.push_back(c);
        } else {
            auto byte = static_cast<unsigned char>(c);
            result.push_back('%');
            result.push_back(kHex[byte >> 4]);
            result.push_back(kHex[byte & 0x0F]);
        }
    }
    return result;
}

std::optional<std::string> addingPercentEncoding(std::string_view text, const CharacterSet& allowed) {
    if (!isValidUTF8(text)) return std::nullopt;
    return percentEscapingBytes(text, allowed);
}

std::optional<std::string> removingPercentEncoding(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            result.push_back(text[i]);
            continue;
        }
        if (i + 2 >= text.size()) return std::nullopt;
        int high = hexValue(text[i + 1]);
        int low = hexValue(text[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        result.push_back(static_cast<char>(high * 16 + low));
        i += 2;
    }
    if (!isValidUTF8(result)) return std::nullopt;
    return result;
}

}  // namespace qor::platform
