#include "Platform/Foundation/Coding/JSONText.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <vector>

#include "Platform/Foundation/CharacterSet.h"

namespace qor::platform::coding {

namespace {

template <class Integer>
void appendInteger(std::string& out, Integer value) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof(buffer), value);
    out.append(buffer, result.ptr);
}

// Every value is written in the shortest text that reads back as exactly that number. Integral
// values below the limit where every integer is exact are written as integers, so 1.0 reads "1"
// (and -0.0 reads "-0"). Above it the shortest digits of a value are not its value
// (92233720368547104.0 has the shortest digits 92233720368547100, which a reader takes as that
// very integer): such a value is written as its exact integer or in exponent form, whichever
// is shorter. Fractions get the shortest text that reads back the same.
template <class Floating>
std::optional<std::string> floatingText(Floating value, Floating exactIntegerLimit) {
    if (!std::isfinite(value)) return std::nullopt;
    std::string out;
    const bool integral = std::trunc(value) == value;
    if (integral && std::fabs(value) < exactIntegerLimit) {
        if (value == 0 && std::signbit(value)) return std::string("-0");
        appendInteger(out, static_cast<std::int64_t>(value));
        return out;
    }
    char buffer[64];
    if (integral) {
        const auto exponent = std::to_chars(buffer, buffer + sizeof(buffer), value, std::chars_format::scientific);
        out.append(buffer, exponent.ptr);
        // 2^64 is exact in both types; below it the integer types hold the value exactly.
        constexpr Floating unsignedLimit = static_cast<Floating>(18446744073709551616.0);
        if (std::fabs(value) < unsignedLimit) {
            std::string exact;
            if (value < 0) {
                if (value >= static_cast<Floating>(-9223372036854775808.0)) {
                    appendInteger(exact, static_cast<std::int64_t>(value));
                }
            } else {
                appendInteger(exact, static_cast<std::uint64_t>(value));
            }
            if (!exact.empty() && exact.size() <= out.size()) return exact;
        }
        return out;
    }
    const auto result = std::to_chars(buffer, buffer + sizeof(buffer), value);
    out.append(buffer, result.ptr);
    return out;
}

std::optional<std::string> floatingAnyText(const Any& value) {
    if (value.isFloat32()) return floatText(static_cast<float>(value.asDouble()));
    const double number = value.asDouble();
    const auto* exact = value.exactDecimal();
    // Text read with more precision than a double holds is written back as read.
    if (exact != nullptr && exact->has_value() && !(**exact == Decimal(number))) return (*exact)->description();
    return doubleText(number);
}

void appendHex4(std::string& out, unsigned value) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(value >> shift) & 0xF];
}

class Writer {
public:
    Writer(const JSONTextOptions& options, std::string& out) : options_(options), out_(out) {}

    std::optional<std::string> failure;

    void write(const Any& value, int depth) {
        if (failure) return;
        switch (value.kind()) {
            case Any::Kind::null:
                out_ += "null";
                break;
            case Any::Kind::boolean:
                out_ += value.asBool() ? "true" : "false";
                break;
            case Any::Kind::integer:
                appendInteger(out_, value.asInt64());
                break;
            case Any::Kind::unsignedInteger:
                appendInteger(out_, value.asUInt64());
                break;
            case Any::Kind::floating: {
                const auto text = floatingAnyText(value);
                if (!text) {
                    failure = "a non-finite number cannot be written as JSON";
                    return;
                }
                out_ += *text;
                break;
            }
            case Any::Kind::decimal: {
                const Decimal decimal = value.asDecimal();
                if (decimal.isNaN()) {
                    failure = "a NaN decimal cannot be written as JSON";
                    return;
                }
                out_ += decimal.description();
                break;
            }
            case Any::Kind::string:
                writeString(value.asString());
                break;
            case Any::Kind::array:
                writeArray(value.asArray(), depth);
                break;
            case Any::Kind::dictionary:
                writeDictionary(value.asDictionary(), depth);
                break;
        }
    }

private:
    void newline(int depth) {
        if (!options_.prettyPrinted) return;
        out_ += '\n';
        out_.append(static_cast<std::size_t>(depth) * 2, ' ');
    }

    void writeArray(const Any::Array& array, int depth) {
        out_ += '[';
        bool first = true;
        for (const Any& element : array) {
            if (!first) out_ += ',';
            first = false;
            newline(depth + 1);
            write(element, depth + 1);
            if (failure) return;
        }
        if (!array.empty()) newline(depth);
        out_ += ']';
    }

    void writeMember(const std::string& key, const Any& value, bool& first, int depth) {
        if (!first) out_ += ',';
        first = false;
        newline(depth + 1);
        writeString(key);
        out_ += options_.prettyPrinted ? " : " : ":";
        write(value, depth + 1);
    }

    void writeDictionary(const Any::Dictionary& dictionary, int depth) {
        out_ += '{';
        bool first = true;
        if (options_.sortedKeys) {
            std::vector<const Any::Dictionary::value_type*> entries;
            entries.reserve(dictionary.size());
            for (const auto& entry : dictionary) entries.push_back(&entry);
            std::sort(entries.begin(), entries.end(), [](const auto* a, const auto* b) { return a->first < b->first; });
            for (const auto* entry : entries) {
                writeMember(entry->first, entry->second, first, depth);
                if (failure) return;
            }
        } else {
            for (const auto& [key, value] : dictionary) {
                writeMember(key, value, first, depth);
                if (failure) return;
            }
        }
        if (!dictionary.empty()) newline(depth);
        out_ += '}';
    }

    void writeString(const std::string& text) {
        if (!appendJSONString(text, options_.escapeSlashes, out_)) {
            failure = "a string that is not valid UTF-8 cannot be written as JSON";
        }
    }

    const JSONTextOptions& options_;
    std::string& out_;
};

}  // namespace

std::optional<std::string> doubleText(double value) { return floatingText(value, 9007199254740992.0); }

std::optional<std::string> floatText(float value) { return floatingText(value, 16777216.0f); }

std::optional<std::string> writeJSONText(const Any& value, const JSONTextOptions& options, std::string& out) {
    Writer writer(options, out);
    writer.write(value, 0);
    return writer.failure;
}

namespace {

// Which bytes a JSON string writes escaped: control characters, the quote, the backslash and,
// when asked, the slash.
constexpr std::array<bool, 256> escapedBytes(bool slash) {
    std::array<bool, 256> table{};
    for (int byte = 0; byte < 0x20; ++byte) table[static_cast<std::size_t>(byte)] = true;
    table['"'] = true;
    table['\\'] = true;
    table['/'] = slash;
    return table;
}

constexpr auto kEscapedWithSlash = escapedBytes(true);
constexpr auto kEscapedWithoutSlash = escapedBytes(false);

// Whether any of the eight bytes of `word` may need more than a copy: a byte below 0x20, a
// quote, a backslash, a slash when slashes are escaped, or a byte beyond ASCII. It may say yes
// for a word that needs nothing (the bytes are then looked at one by one), never no for one
// that does.
bool mayNeedEscape(std::uint64_t word, bool slash) {
    constexpr std::uint64_t ones = 0x0101010101010101ULL;
    constexpr std::uint64_t highs = 0x8080808080808080ULL;
    const auto hasZeroByte = [](std::uint64_t value) { return (value - ones) & ~value & highs; };
    std::uint64_t flagged = ((word - ones * 0x20) & ~word & highs) | (word & highs);
    flagged |= hasZeroByte(word ^ (ones * static_cast<unsigned char>('"')));
    flagged |= hasZeroByte(word ^ (ones * static_cast<unsigned char>('\\')));
    if (slash) flagged |= hasZeroByte(word ^ (ones * static_cast<unsigned char>('/')));
    return flagged != 0;
}

void appendEscape(char c, std::string& out) {
    switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '/':
            out += "\\/";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            appendHex4(out, static_cast<unsigned char>(c));
    }
}

void appendEscaped(std::string_view text, bool escapeSlashes, std::string& out) {
    if (text.size() >= kLongText) makeRoomForLongText(text.size(), out);
    out += '"';
    const auto& escaped = escapeSlashes ? kEscapedWithSlash : kEscapedWithoutSlash;
    // Runs of characters that need no escape are copied in one go; plain text is passed over
    // a machine word at a time, and a word that may hold something to escape is looked at
    // byte by byte once.
    std::size_t runStart = 0;
    std::size_t i = 0;
    const auto visit = [&](std::size_t end) {
        for (; i < end; ++i) {
            const char c = text[i];
            if (!escaped[static_cast<unsigned char>(c)]) continue;
            out.append(text.data() + runStart, i - runStart);
            runStart = i + 1;
            appendEscape(c, out);
        }
    };
    while (i + sizeof(std::uint64_t) <= text.size()) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + i, sizeof word);
        if (mayNeedEscape(word, escapeSlashes)) {
            visit(i + sizeof word);
        } else {
            i += sizeof word;
        }
    }
    visit(text.size());
    out.append(text.data() + runStart, text.size() - runStart);
    out += '"';
}

}  // namespace

void makeRoomForLongText(std::size_t length, std::string& out) {
    const std::size_t wanted = out.size() + length + length / 16 + 4096;
    if (out.capacity() < wanted) out.reserve(wanted);
}

bool appendJSONString(std::string_view text, bool escapeSlashes, std::string& out) {
    if (!isValidUTF8(text)) return false;
    appendEscaped(text, escapeSlashes, out);
    return true;
}

namespace {

// FNV-1a: equal keys give equal hashes; a rare collision only sends the encoding the slow way.
std::uint64_t keyHash(std::string_view key) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : key) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    return hash;
}

constexpr const char* kNotUTF8 = "a string that is not valid UTF-8 cannot be written as JSON";

}  // namespace

void TextWriter::recordKey(std::string_view key) {
    const std::uint64_t hash = keyHash(key);
    const auto begin = keyHashes_.begin() + static_cast<std::ptrdiff_t>(objectStarts_.back());
    if (std::find(begin, keyHashes_.end(), hash) != keyHashes_.end()) throw RepeatedKey{};
    keyHashes_.push_back(hash);
    separate();
    string(key);
    out_ += ':';
}

void TextWriter::string(std::string_view text) {
    if (!appendJSONString(text, escapeSlashes_, out_) && !failure_) failure_ = kNotUTF8;
}

void TextWriter::validString(std::string_view text) { appendEscaped(text, escapeSlashes_, out_); }

void TextWriter::value(const Any& value) {
    JSONTextOptions options;
    options.escapeSlashes = escapeSlashes_;
    auto failure = writeJSONText(value, options, out_);
    if (failure && !failure_) failure_ = std::move(failure);
}

std::optional<std::string> firstInvalidValue(const Any& value) {
    switch (value.kind()) {
        case Any::Kind::floating:
            if (!std::isfinite(value.asDouble())) return "a non-finite number cannot be written as JSON";
            return std::nullopt;
        case Any::Kind::decimal:
            if (value.asDecimal().isNaN()) return "a NaN decimal cannot be written as JSON";
            return std::nullopt;
        case Any::Kind::string:
            if (!isValidUTF8(value.asString())) return "a string that is not valid UTF-8 cannot be written as JSON";
            return std::nullopt;
        case Any::Kind::array:
            for (const Any& element : value.asArray()) {
                if (auto failure = firstInvalidValue(element)) return failure;
            }
            return std::nullopt;
        case Any::Kind::dictionary:
            for (const auto& [key, element] : value.asDictionary()) {
                if (!isValidUTF8(key)) return "a key that is not valid UTF-8 cannot be written as JSON";
                if (auto failure = firstInvalidValue(element)) return failure;
            }
            return std::nullopt;
        default:
            return std::nullopt;
    }
}

}  // namespace qor::platform::coding
