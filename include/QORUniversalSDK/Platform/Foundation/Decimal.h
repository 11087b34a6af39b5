#pragma once

#include <QORUniversalSDK/Platform/Support/Export.h>
#include <compare>
#include <concepts>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

namespace qor::platform {

// An exact base-10 number: sign, an unsigned mantissa of at most 38 decimal digits and a
// power-of-ten exponent in [-128, 127]. Values are kept normalised (no trailing zeros in the
// mantissa, zero is +0 with exponent 0), so equal numbers have equal fields and 1.0 == 1.
// A NaN state exists for conversions that cannot give a number (a non-finite double, a value
// outside the range); it equals nothing, not even itself, and cannot be written as JSON.
class QOR_EXPORT Decimal {
public:
    static constexpr int maxDigits = 38;
    static constexpr int minExponent = -128;
    static constexpr int maxExponent = 127;

    Decimal() = default;
    template <std::signed_integral I>
    Decimal(I value) : Decimal(fromInt64(static_cast<std::int64_t>(value))) {}  // NOLINT: implicit by design
    template <std::unsigned_integral I>
    requires(!std::same_as<I, bool>) Decimal(I value)
        : Decimal(fromUInt64(static_cast<std::uint64_t>(value))) {}  // NOLINT
    // Takes the shortest decimal text that reads back to the same double (0.1 gives exactly 0.1).
    // A non-finite value, or one outside the exponent range, gives NaN.
    Decimal(double value);  // NOLINT
    // Same, with the shortest text of the float (0.1f gives exactly 0.1).
    Decimal(float value);  // NOLINT
    Decimal(bool) = delete;

    static Decimal nan();

    // Reads JSON number text (-?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?) exactly. Digits past
    // the 38th are rounded half to even. nullopt for text that is not a JSON number, and for a
    // value whose exponent falls outside the range (too large, or so small that nothing is left).
    static std::optional<Decimal> parse(std::string_view text);

    bool isNaN() const { return nan_; }
    bool isZero() const { return !nan_ && lo_ == 0 && hi_ == 0; }
    bool isNegative() const { return negative_; }
    // True for a finite value without a fractional part.
    bool isIntegral() const;

    // Plain text with no exponent: "0.00123", "-42", "120000"; "NaN" for NaN.
    std::string description() const;
    // The nearest double (and float) to the exact value; NaN gives NaN.
    double doubleValue() const;
    float floatValue() const;
    // The value when it is integral and fits, else nullopt.
    std::optional<std::int64_t> exactInt64() const;
    std::optional<std::uint64_t> exactUInt64() const;
    // Truncated toward zero and clamped to the type's range; NaN gives 0.
    std::int64_t int64Value() const;
    std::uint64_t uint64Value() const;

    // Raw fields of the normalised form.
    std::uint64_t mantissaLow() const { return lo_; }
    std::uint64_t mantissaHigh() const { return hi_; }
    int exponent() const { return exponent_; }

    friend QOR_EXPORT bool operator==(const Decimal& a, const Decimal& b);
    friend QOR_EXPORT std::partial_ordering operator<=>(const Decimal& a, const Decimal& b);

private:
    static Decimal fromInt64(std::int64_t value);
    static Decimal fromUInt64(std::uint64_t value);
    std::string digits() const;  // the mantissa's decimal digits
    std::string scientificText() const;

    std::uint64_t lo_ = 0;
    std::uint64_t hi_ = 0;
    std::int32_t exponent_ = 0;
    bool negative_ = false;
    bool nan_ = false;

    friend struct DecimalBuilder;
};

// Prints description().
QOR_EXPORT std::ostream& operator<<(std::ostream& stream, const Decimal& value);

}  // namespace qor::platform
