#include "Platform/Foundation/Coding/JSONReader.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <type_traits>

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

// What a reader that only checks the text gives for a value: nothing.
struct Skipped {};

// With kBuild the reader makes the values it reads; without, it only checks them, with the same
// acceptance.
template <bool kBuild>
class Reader {
public:
    using Value = std::conditional_t<kBuild, Any, Skipped>;

    Reader(std::string_view text, int maxDepth)
        : p_(text.data()), end_(text.data() + text.size()), maxDepth_(maxDepth) {}

    Value document() {
        skipSpace();
        Value value = readValue(0);
        end();
        return value;
    }

    // The text after the value read last holds nothing but blanks.
    void end() {
        skipSpace();
        if (p_ != end_) throw NotPlain{};
    }

    const char* position() const { return p_; }

    // Checks the value that starts here without making it; its text.
    std::string_view checkValue(int depth) {
        Reader<false> checker(std::string_view(p_, static_cast<std::size_t>(end_ - p_)), maxDepth_);
        const char* start = p_;
        checker.readValue(depth);
        p_ = checker.position();
        return {start, static_cast<std::size_t>(p_ - start)};
    }

    char peek() const {
        if (p_ == end_) throw NotPlain{};
        return *p_;
    }

    void skipSpace() {
        while (p_ != end_ && (*p_ == ' ' || *p_ == '\n' || *p_ == '\r' || *p_ == '\t')) ++p_;
    }

    // Past the character expected next, after blanks.
    void expect(char c) {
        skipSpace();
        if (peek() != c) throw NotPlain{};
        ++p_;
        skipSpace();
    }

    // After an element or a member: true at the closing character, false after a comma.
    bool closes(char closing) {
        skipSpace();
        const char next = peek();
        ++p_;
        if (next == closing) return true;
        if (next != ',') throw NotPlain{};
        skipSpace();
        return false;
    }

    Value readValue(int depth) {
        switch (peek()) {
            case '{':
                return readObject(depth + 1);
            case '[':
                return readArray(depth + 1);
            case '"':
                return readString();
            case 't':
                expectWord("true");
                return make(true);
            case 'f':
                expectWord("false");
                return make(false);
            case 'n':
                expectWord("null");
                return Value();
            default:
                return readNumber();
        }
    }

    // A key (always made) before its ':'.
    std::string readKey() {
        if (peek() != '"') throw NotPlain{};
        std::string key;
        readStringInto(&key);
        expect(':');
        return key;
    }

private:
    template <class T>
    static Value make(T&& value) {
        if constexpr (kBuild) {
            return Any(std::forward<T>(value));
        } else {
            return Skipped{};
        }
    }

    void expectWord(std::string_view word) {
        if (static_cast<std::size_t>(end_ - p_) < word.size() || std::string_view(p_, word.size()) != word) {
            throw NotPlain{};
        }
        p_ += word.size();
    }

    Value readObject(int depth) {
        if (depth > maxDepth_) throw NotPlain{};
        ++p_;
        Any::Dictionary dictionary;
        skipSpace();
        if (peek() == '}') {
            ++p_;
            return make(std::move(dictionary));
        }
        do {
            if constexpr (kBuild) {
                std::string key = readKey();
                dictionary.set(std::move(key), readValue(depth));
            } else {
                if (peek() != '"') throw NotPlain{};
                readStringInto(nullptr);
                expect(':');
                readValue(depth);
            }
        } while (!closes('}'));
        return make(std::move(dictionary));
    }

    Value readArray(int depth) {
        if (depth > maxDepth_) throw NotPlain{};
        ++p_;
        Any::Array array;
        skipSpace();
        if (peek() == ']') {
            ++p_;
            return make(std::move(array));
        }
        do {
            Value element = readValue(depth);
            if constexpr (kBuild) array.push_back(std::move(element));
        } while (!closes(']'));
        return make(std::move(array));
    }

    Value readString() {
        if constexpr (kBuild) {
            std::string text;
            readStringInto(&text);
            return Any(std::move(text));
        } else {
            readStringInto(nullptr);
            return Skipped{};
        }
    }

    // Runs of plain bytes are copied in one go; bytes beyond ASCII are checked run by run. Without
    // `out` the string is only checked.
    void readStringInto(std::string* out) {
        ++p_;
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
            if (out != nullptr) out->append(run);
            const char c = peek();
            ++p_;
            if (c == '"') return;
            if (c != '\\') throw NotPlain{};  // a raw control character
            readEscape(out);
        }
    }

    void readEscape(std::string* out) {
        const char c = peek();
        ++p_;
        char plain = 0;
        switch (c) {
            case '"':
            case '\\':
            case '/':
                plain = c;
                break;
            case 'b':
                plain = '\b';
                break;
            case 'f':
                plain = '\f';
                break;
            case 'n':
                plain = '\n';
                break;
            case 'r':
                plain = '\r';
                break;
            case 't':
                plain = '\t';
                break;
            case 'u': {
                const std::uint32_t code = readCodePoint();
                if (out != nullptr) appendUTF8(*out, code);
                return;
            }
            default:
                throw NotPlain{};
        }
        if (out != nullptr) *out += plain;
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

    Value readNumber() {
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
        if constexpr (kBuild) {
            return Any::parsedNumber(value, Decimal::parse(text));
        } else {
            return Skipped{};
        }
    }

    // Integers beyond 64 bits are left to the full parser.
    static Value integer(std::string_view text) {
        if (text.front() == '-') {
            std::int64_t value = 0;
            const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
            if (result.ec != std::errc()) throw NotPlain{};
            return make(value);
        }
        std::uint64_t value = 0;
        const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
        if (result.ec != std::errc()) throw NotPlain{};
        return make(value);
    }

    const char* p_;
    const char* end_;
    int maxDepth_;
};

}  // namespace

std::optional<Any> readWellFormedJSON(std::string_view text, int maxDepth) {
    try {
        return Reader<true>(text, maxDepth).document();
    } catch (const NotPlain&) {
        return std::nullopt;
    }
}

std::optional<DeferringObject> readWellFormedObjectDeferring(std::string_view text, int maxDepth,
                                                             std::size_t deferredLength) {
    try {
        Reader<true> reader(text, maxDepth);
        reader.skipSpace();
        if (reader.peek() != '{') return std::nullopt;
        DeferringObject object;
        reader.expect('{');
        if (reader.peek() == '}') {
            reader.expect('}');
            reader.end();
            return object;
        }
        do {
            std::string key = reader.readKey();
            if (reader.peek() != '[') {
                object.erase(key);
                object.members.set(std::move(key), reader.readValue(1));
                continue;
            }
            const std::string_view array = reader.checkValue(1);
            if (array.size() < deferredLength) {
                object.erase(key);
                object.members.set(std::move(key), *readWellFormedJSON(array, maxDepth));
                continue;
            }
            // The last of equal keys wins at the first one's place, as reading the whole gives.
            object.members.set(key, Any(Any::Array()));
            object.erase(key);
            object.deferred.emplace_back(std::move(key), array);
        } while (!reader.closes('}'));
        reader.end();
        return object;
    } catch (const NotPlain&) {
        return std::nullopt;
    }
}

void DeferringObject::erase(std::string_view key) {
    std::erase_if(deferred, [key](const auto& entry) { return entry.first == key; });
}

std::vector<DeferredMember> DeferringObject::places() const {
    std::vector<DeferredMember> result;
    for (const auto& member : deferred) {
        const auto place = std::find_if(members.begin(), members.end(),
                                        [&member](const auto& entry) { return entry.first == member.first; });
        result.push_back({static_cast<std::size_t>(place - members.begin()), member.second});
    }
    return result;
}

void forEachWellFormedElement(
    std::string_view arrayText, int maxDepth, std::size_t deferredLength,
    const std::function<void(const Any&, std::span<const DeferredMember>, std::size_t)>& each) {
    std::size_t index = 0;
    const auto broken = [] { throw std::logic_error("an array the reader had read before is no longer well-formed"); };
    try {
        Reader<true> reader(arrayText, maxDepth);
        reader.expect('[');
        if (reader.peek() == ']') return;
        do {
            const std::string_view element = reader.checkValue(1);
            if (element.front() == '{' && element.size() >= deferredLength) {
                auto object = readWellFormedObjectDeferring(element, maxDepth, deferredLength);
                if (!object) broken();
                const auto places = object->places();
                each(Any(std::move(object->members)), places, index++);
            } else {
                auto value = readWellFormedJSON(element, maxDepth);
                if (!value) broken();
                each(*value, {}, index++);
            }
        } while (!reader.closes(']'));
    } catch (const NotPlain&) {
        broken();
    }
}

}  // namespace qor::platform::coding
