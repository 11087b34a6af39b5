#include "Platform/Foundation/Coding/JSONReader.h"

#include <charconv>
#include <cstdint>
#include <string>

#include "Platform/Foundation/CharacterSet.h"

namespace qor::platform::coding {

namespace {

// Thrown inside the reader only: the text is not for the quick road.
struct NotPlain {};

bool isDigit(char c) { return c >= '0' && c <= '9'; }

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void appendUTF8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

class Reader {
public:
    Reader(std::string_view text, int maxDepth)
        : p_(text.data()), end_(text.data() + text.size()), maxDepth_(maxDepth) {}

    Any document() {
        skipSpace();
        Any value = readValue(0);
        skipSpace();
        if (p_ != end_) throw NotPlain{};
        return value;
    }

private:
    char peek() const {
        if (p_ == end_) throw NotPlain{};
        return *p_;
    }

    void skipSpace() {
        while (p_ != end_ && (*p_ == ' ' || *p_ == '\n' || *p_ == '\r' || *p_ == '\t')) ++p_;
    }

    void expectWord(std::string_view word) {
        if (static_cast<std::size_t>(end_ - p_) < word.size() || std::string_view(p_, word.size()) != word) {
            throw NotPlain{};
        }
        p_ += word.size();
    }

    Any readValue(int depth) {
        switch (peek()) {
            case '{':
                return readObject(depth + 1);
            case '[':
                return readArray(depth + 1);
            case '"':
                return Any(readString());
            case 't':
                expectWord("true");
                return Any(true);
            case 'f':
                expectWord("false");
                return Any(false);
            case 'n':
                expectWord("null");
                return Any();
            default:
                return readNumber();
        }
    }

    Any readObject(int depth) {
        if (depth > maxDepth_) throw NotPlain{};
        ++p_;
        Any::Dictionary dictionary;
        skipSpace();
        if (peek() == '}') {
            ++p_;
            return Any(std::move(dictionary));
        }
        while (true) {
            if (peek() != '"') throw NotPlain{};
            std::string key = readString();
            skipSpace();
            if (peek() != ':') throw NotPlain{};
            ++p_;
            skipSpace();
            dictionary.set(std::move(key), readValue(depth));
            skipSpace();
            const char next = peek();
            ++p_;
            if (next == '}') return Any(std::move(dictionary));
            if (next != ',') throw NotPlain{};
            skipSpace();
        }
    }

    Any readArray(int depth) {
        if (depth > maxDepth_) throw NotPlain{};
        ++p_;
        Any::Array array;
        skipSpace();
        if (peek() == ']') {
            ++p_;
            return Any(std::move(array));
        }
        while (true) {
            array.push_back(readValue(depth));
            skipSpace();
            const char next = peek();
            ++p_;
            if (next == ']') return Any(std::move(array));
            if (next != ',') throw NotPlain{};
            skipSpace();
        }
    }

    // Runs of plain bytes are copied in one go; bytes beyond ASCII are checked run by run.
    std::string readString() {
        ++p_;
        std::string out;
        while (true) {
            const char* runStart = p_;
            bool ascii = true;
            while (p_ != end_) {
                const auto byte = static_cast<unsigned char>(*p_);
                if (byte == '"' || byte == '\\' || byte < 0x20) break;
                if (byte >= 0x80) ascii = false;
                ++p_;
            }
            const std::string_view run(runStart, static_cast<std::size_t>(p_ - runStart));
            if (!ascii && !isValidUTF8(run)) throw NotPlain{};
            out.append(run);
            const char c = peek();
            ++p_;
            if (c == '"') return out;
            if (c != '\\') throw NotPlain{};  // a raw control character
            readEscape(out);
        }
    }

    void readEscape(std::string& out) {
        const char c = peek();
        ++p_;
        switch (c) {
            case '"':
            case '\\':
            case '/':
                out += c;
                return;
            case 'b':
                out += '\b';
                return;
            case 'f':
                out += '\f';
                return;
            case 'n':
                out += '\n';
                return;
            case 'r':
                out += '\r';
                return;
            case 't':
                out += '\t';
                return;
            case 'u':
                appendUTF8(out, readCodePoint());
                return;
            default:
                throw NotPlain{};
        }
    }

    std::uint32_t readHex4() {
        if (end_ - p_ < 4) throw NotPlain{};
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            const int digit = hexValue(p_[i]);
            if (digit < 0) throw NotPlain{};
            value = (value << 4) | static_cast<std::uint32_t>(digit);
        }
        p_ += 4;
        return value;
    }

    // After "\u": one code point, a surrogate pair taken together.
    std::uint32_t readCodePoint() {
        const std::uint32_t first = readHex4();
        if (first >= 0xDC00 && first <= 0xDFFF) throw NotPlain{};
        if (first < 0xD800 || first > 0xDBFF) return first;
        if (end_ - p_ < 2 || p_[0] != '\\' || p_[1] != 'u') throw NotPlain{};
        p_ += 2;
        const std::uint32_t second = readHex4();
        if (second < 0xDC00 || second > 0xDFFF) throw NotPlain{};
        return 0x10000 + ((first - 0xD800) << 10) + (second - 0xDC00);
    }

    void readDigits() {
        if (p_ == end_ || !isDigit(*p_)) throw NotPlain{};
        while (p_ != end_ && isDigit(*p_)) ++p_;
    }

    Any readNumber() {
        const char* start = p_;
        if (*p_ == '-') ++p_;
        if (p_ == end_) throw NotPlain{};
        if (*p_ == '0') {
            ++p_;
        } else {
            readDigits();
        }
        bool integral = true;
        if (p_ != end_ && *p_ == '.') {
            ++p_;
            readDigits();
            integral = false;
        }
        if (p_ != end_ && (*p_ == 'e' || *p_ == 'E')) {
            ++p_;
            if (p_ != end_ && (*p_ == '+' || *p_ == '-')) ++p_;
            readDigits();
            integral = false;
        }
        const std::string_view text(start, static_cast<std::size_t>(p_ - start));
        if (integral) return integer(text);
        double value = 0;
        const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
        if (result.ec != std::errc() || result.ptr != text.data() + text.size()) throw NotPlain{};
        return Any::parsedNumber(value, Decimal::parse(text));
    }

    // Integers beyond 64 bits are left to the full parser.
    static Any integer(std::string_view text) {
        if (text.front() == '-') {
            std::int64_t value = 0;
            const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
            if (result.ec != std::errc()) throw NotPlain{};
            return Any(value);
        }
        std::uint64_t value = 0;
        const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
        if (result.ec != std::errc()) throw NotPlain{};
        return Any(value);
    }

    const char* p_;
    const char* end_;
    int maxDepth_;
};

}  // namespace

std::optional<Any> readWellFormedJSON(std::string_view text, int maxDepth) {
    try {
        return Reader(text, maxDepth).document();
    } catch (const NotPlain&) {
        return std::nullopt;
    }
}

}  // namespace qor::platform::coding
