#pragma once

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QORUniversalSDK/Platform/Foundation/Any.h>
#include <QORUniversalSDK/Platform/Support/Export.h>

// The text writer shared by JSONSerialization and JSONEncoder.
namespace qor::platform::coding {

struct JSONTextOptions {
    bool sortedKeys = false;
    bool prettyPrinted = false;
    bool escapeSlashes = true;
};

// Appends the JSON text of value to out. Returns a description of the first value that cannot
// be written (a non-finite number, a NaN Decimal, a string or key that is not UTF-8), in which
// case out holds a partial text that the caller must drop.
QOR_EXPORT std::optional<std::string> writeJSONText(const Any& value, const JSONTextOptions& options, std::string& out);

// The description of the first value inside value that cannot be written, if any.
QOR_EXPORT std::optional<std::string> firstInvalidValue(const Any& value);

// Number text as the writer produces it (nullopt for a non-finite value).
QOR_EXPORT std::optional<std::string> doubleText(double value);
QOR_EXPORT std::optional<std::string> floatText(float value);

// A text this long asks its output, at once, for room for itself, a few escapes and what
// usually follows it (makeRoomForLongText). That pays where the output is short next to the
// text, as when a long markup or list is written into a record's text: the output then grows
// once, to about the text's length, where appending alone grows it to twice that with the next
// byte, and a freed block that large makes the allocator keep as much in its arenas afterwards
// (answer_memory_bench shows both). Where the output already holds about as much as the text
// or more, it changes nothing: libstdc++ grows a string on reserve as on appending, to at least
// twice its capacity (1,000,000 bytes asked to make room for 1,070,000 become 2,000,000).
inline constexpr std::size_t kLongText = 64 * 1024;
QOR_EXPORT void makeRoomForLongText(std::size_t length, std::string& out);

// Appends text as a quoted JSON string; false (with a partial text in out) when text is not UTF-8.
QOR_EXPORT bool appendJSONString(std::string_view text, bool escapeSlashes, std::string& out);

// Writes JSON text as coding runs, without an intermediate value: the coding layer calls it in
// document order. The first value that cannot be written is remembered (as the text writer
// would report it) and the rest is still written, so that encoding errors found later, which
// the untyped road reports first, surface the same way.
class QOR_EXPORT TextWriter {
public:
    // Raised when a record writes a key twice into one object: the untyped road keeps the
    // first key's place with the last value, which a stream cannot, so the caller starts over
    // on that road.
    struct QOR_EXPORT RepeatedKey {};

    explicit TextWriter(bool escapeSlashes) : escapeSlashes_(escapeSlashes) { out_.reserve(1024); }
    // Writes on after the text that `start` holds already.
    TextWriter(bool escapeSlashes, std::string start) : escapeSlashes_(escapeSlashes), out_(std::move(start)) {
        out_.reserve(out_.size() + 1024);
    }

    void beginObject() {
        out_ += '{';
        objectStarts_.push_back(keyHashes_.size());
    }
    void endObject() {
        keyHashes_.resize(objectStarts_.back());
        objectStarts_.pop_back();
        out_ += '}';
    }
    void beginArray() { out_ += '['; }
    void endArray() { out_ += ']'; }
    // Before every element of an array and every key of an object.
    void separate() {
        const char last = out_.back();
        if (last != '{' && last != '[') out_ += ',';
    }
    // A record key: throws RepeatedKey when the object has it already.
    void recordKey(std::string_view key);
    // A map key: unique by construction.
    void mapKey(std::string_view key) {
        separate();
        string(key);
        out_ += ':';
    }
    void string(std::string_view text);
    // A text already known to be UTF-8 (a JSON value's): written without checking it again.
    void validString(std::string_view text);
    void literal(std::string_view text) {
        if (text.size() >= kLongText) makeRoomForLongText(text.size(), out_);
        out_ += text;
    }
    void value(const Any& value);
    template <class Integer>
    void integer(Integer value) {
        char buffer[24];
        const auto result = std::to_chars(buffer, buffer + sizeof(buffer), value);
        out_.append(buffer, result.ptr);
    }

    const std::optional<std::string>& failure() const { return failure_; }
    std::string take() { return std::move(out_); }

private:
    bool escapeSlashes_;
    std::string out_;
    std::optional<std::string> failure_;
    std::vector<std::uint64_t> keyHashes_;  // of the keys of every open object
    std::vector<std::size_t> objectStarts_;
};

}  // namespace qor::platform::coding
