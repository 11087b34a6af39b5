#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iosfwd>
#include <limits>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

#include <QORUniversalSDK/Platform/Foundation/Decimal.h>
#include <QORUniversalSDK/Platform/Support/Export.h>

namespace qor::platform {

class AnyDictionary;

// Raised by the throwing accessors of Any when the value is of another kind.
struct QOR_EXPORT AnyTypeError : std::logic_error {
    using std::logic_error::logic_error;
};

// An untyped JSON-like value: what JSONSerialization reads and writes and what the coders build.
// Booleans are never numbers, and numbers keep their kind: a signed integer, an unsigned
// integer beyond the signed range, a binary floating value, or an exact Decimal. A floating
// value read from JSON text also carries the exact decimal of that text (when it fits in 38
// digits), so a Decimal decoded from it loses nothing. Copies are deep; moves are cheap.
class QOR_EXPORT Any {
public:
    using Array = std::vector<Any>;
    using Dictionary = AnyDictionary;

    enum class Kind { null, boolean, integer, unsignedInteger, floating, decimal, string, array, dictionary };

    Any() = default;                      // null
    Any(std::nullptr_t) {}                // NOLINT: null
    Any(bool value) : storage_(value) {}  // NOLINT
    template <std::integral I>
    requires(!std::same_as<I, bool>) Any(I value) : storage_(integerStorage(value)) {}  // NOLINT
    Any(double value) : storage_(Floating{value, std::nullopt, false}) {}               // NOLINT
    Any(float value) : storage_(Floating{value, std::nullopt, true}) {}                 // NOLINT
    Any(const Decimal& value) : storage_(value) {}                                      // NOLINT
    Any(std::string value) : storage_(std::move(value)) {}                              // NOLINT
    Any(std::string_view value) : storage_(std::string(value)) {}                       // NOLINT
    Any(const char* value) : storage_(std::string(value)) {}                            // NOLINT
    Any(Array value);                                                                   // NOLINT
    Any(Dictionary value);                                                              // NOLINT

    // A floating value read from JSON text: the double and, when known, the exact decimal of the text.
    static Any parsedNumber(double value, std::optional<Decimal> exact);

    Any(const Any& other);
    // Out of line on purpose: inlining the variant's moves into every user trips false
    // "maybe uninitialized" warnings in sanitizer builds.
    Any(Any&& other) noexcept;
    Any& operator=(const Any& other);
    Any& operator=(Any&& other) noexcept;
    ~Any();

    Kind kind() const { return static_cast<Kind>(storage_.index()); }
    bool isNull() const { return kind() == Kind::null; }
    bool isBool() const { return kind() == Kind::boolean; }
    // A signed or unsigned integer (not a floating value with an integral value).
    bool isInteger() const { return kind() == Kind::integer || kind() == Kind::unsignedInteger; }
    bool isDouble() const { return kind() == Kind::floating; }
    bool isDecimal() const { return kind() == Kind::decimal; }
    // Any number kind; a boolean is not a number.
    bool isNumber() const { return isInteger() || isDouble() || isDecimal(); }
    bool isString() const { return kind() == Kind::string; }
    bool isArray() const { return kind() == Kind::array; }
    bool isDictionary() const { return kind() == Kind::dictionary; }
    // A floating value that was made from a float (written with the float's shortest text).
    bool isFloat32() const;

    // Throwing accessors (AnyTypeError on another kind).
    bool asBool() const;
    // An integer kind in range, or a floating/Decimal value that is integral and in range.
    std::int64_t asInt64() const;
    std::uint64_t asUInt64() const;
    // Any number kind, converted to the nearest double.
    double asDouble() const;
    // Any number kind as a Decimal: exact for integers, Decimal values and numbers read from
    // text; the shortest round-trip decimal for other doubles (NaN when outside the range).
    Decimal asDecimal() const;
    const std::string& asString() const;
    const Array& asArray() const;
    Array& asArray();
    const Dictionary& asDictionary() const;
    Dictionary& asDictionary();

    // Non-throwing forms: nullopt / nullptr on another kind (or out of range for integers).
    std::optional<bool> tryBool() const;
    std::optional<std::int64_t> tryInt64() const;
    std::optional<std::uint64_t> tryUInt64() const;
    std::optional<double> tryDouble() const;
    std::optional<Decimal> tryDecimal() const;
    const std::string* tryString() const;
    const Array* tryArray() const;
    Array* tryArray();
    const Dictionary* tryDictionary() const;
    Dictionary* tryDictionary();

    // For a floating value: the exact decimal of the text it was read from, when known.
    const std::optional<Decimal>* exactDecimal() const;

    // Booleans equal booleans only; numbers compare by value across number kinds (1 == 1.0);
    // arrays element-wise; dictionaries by key set and values, whatever their order.
    friend QOR_EXPORT bool operator==(const Any& a, const Any& b);

private:
    struct Floating {
        double value;
        std::optional<Decimal> exact;
        bool float32;
    };
    template <class T>
    struct Box {
        std::unique_ptr<T> pointer;
    };
    using Storage = std::variant<std::monostate, bool, std::int64_t, std::uint64_t, Floating, Decimal, std::string,
                                 Box<Array>, Box<Dictionary>>;

    // Unsigned values that fit are kept as signed integers, so one value has one kind.
    template <class I>
    static Storage integerStorage(I value) {
        if constexpr (std::is_signed_v<I>) {
            return Storage(std::in_place_type<std::int64_t>, static_cast<std::int64_t>(value));
        } else if (static_cast<std::uint64_t>(value) <=
                   static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
            return Storage(std::in_place_type<std::int64_t>, static_cast<std::int64_t>(value));
        } else {
            return Storage(std::in_place_type<std::uint64_t>, static_cast<std::uint64_t>(value));
        }
    }

    Storage storage_;
};

// String-keyed dictionary of Any that keeps insertion order. Setting an existing key replaces
// its value in place. Lookup is linear for small dictionaries and hashed for large ones.
class QOR_EXPORT AnyDictionary {
public:
    using value_type = std::pair<std::string, Any>;
    using const_iterator = std::vector<value_type>::const_iterator;
    using iterator = std::vector<value_type>::iterator;

    AnyDictionary() = default;
    AnyDictionary(std::initializer_list<value_type> entries);

    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    const_iterator begin() const { return entries_.begin(); }
    const_iterator end() const { return entries_.end(); }
    // Values may be changed through these; keys must not be.
    iterator begin() { return entries_.begin(); }
    iterator end() { return entries_.end(); }

    bool contains(std::string_view key) const { return find(key) != nullptr; }
    const Any* find(std::string_view key) const;
    Any* find(std::string_view key);
    // Throws std::out_of_range when the key is absent.
    const Any& at(std::string_view key) const;
    // Inserts null at the end when the key is absent.
    Any& operator[](std::string_view key);
    // Replaces the value of an existing key in place, else appends; returns the stored value.
    Any& set(std::string key, Any value);
    // Appends a key the caller knows is absent (say, one taken from another map with unique
    // keys), without looking for it first.
    Any& appendAbsent(std::string key, Any value);
    // Removes the key (keeping the others' order); false when it was absent.
    bool erase(std::string_view key);
    void reserve(std::size_t count) { entries_.reserve(count); }

    // Same key set and equal values under every key; order is ignored.
    friend QOR_EXPORT bool operator==(const AnyDictionary& a, const AnyDictionary& b);

private:
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view key) const { return std::hash<std::string_view>{}(key); }
    };
    std::optional<std::size_t> indexOf(std::string_view key) const;
    void rebuildIndex();

    std::vector<value_type> entries_;
    std::unordered_map<std::string, std::size_t, Hash, std::equal_to<>> index_;  // used past kIndexThreshold
};

// Compact JSON text of the value (test output, logs); a value that cannot be JSON prints in
// place as nan/inf/NaN or with its raw bytes.
QOR_EXPORT std::ostream& operator<<(std::ostream& stream, const Any& value);

}  // namespace qor::platform
