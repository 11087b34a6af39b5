#include "Platform/Foundation/Decimal.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <ostream>

namespace qor::platform {

namespace {

using U128 = unsigned __int128;

constexpr std::array<U128, 39> makePowersOfTen() {
    std::array<U128, 39> powers{};
    U128 value = 1;
    for (auto& power : powers) {
        power = value;
        value *= 10;
    }
    return powers;
}

constexpr std::array<U128, 39> kPow10 = makePowersOfTen();
constexpr U128 kMantissaLimit = kPow10[38];  // mantissas stay below 10^38

int digitCount(U128 value) {
    int count = 1;
    while (count < 39 && value >= kPow10[count]) ++count;
    return count;
}

std::string u128ToString(U128 value) {
    if (value == 0) return "0";
    char buffer[40];
    char* end = buffer + sizeof(buffer);
    char* cursor = end;
    while (value != 0) {
        *--cursor = static_cast<char>('0' + static_cast<int>(value % 10));
        value /= 10;
    }
    return std::string(cursor, end);
}

}  // namespace

// Turns sign, mantissa and exponent into the normalised form, or nullopt when the exponent
// cannot be brought into range.
struct DecimalBuilder {
    static std::optional<Decimal> make(bool negative, U128 mantissa, std::int64_t exponent) {
        Decimal result;
        if (mantissa == 0) return result;
        while (mantissa % 10 == 0) {
            mantissa /= 10;
            ++exponent;
        }
        while (exponent > Decimal::maxExponent && mantissa * 10 < kMantissaLimit) {
            mantissa *= 10;
            --exponent;
        }
        if (exponent > Decimal::maxExponent) return std::nullopt;
        if (exponent < Decimal::minExponent) {
            const std::int64_t drop = Decimal::minExponent - exponent;
            if (drop > 38) return std::nullopt;
            const U128 divisor = kPow10[static_cast<std::size_t>(drop)];
            U128 quotient = mantissa / divisor;
            const U128 remainder = mantissa % divisor;
            const U128 half = divisor / 2;
            if (remainder > half || (remainder == half && (quotient & 1) != 0)) ++quotient;
            if (quotient == 0) return std::nullopt;
            mantissa = quotient;
            exponent = Decimal::minExponent;
            while (mantissa % 10 == 0) {
                mantissa /= 10;
                ++exponent;
            }
        }
        result.lo_ = static_cast<std::uint64_t>(mantissa);
        result.hi_ = static_cast<std::uint64_t>(mantissa >> 64);
        result.exponent_ = static_cast<std::int32_t>(exponent);
        result.negative_ = negative;
        return result;
    }

    static U128 mantissa(const Decimal& value) { return (static_cast<U128>(value.hi_) << 64) | value.lo_; }
};

Decimal Decimal::fromInt64(std::int64_t value) {
    const bool negative = value < 0;
    const std::uint64_t magnitude =
        negative ? static_cast<std::uint64_t>(-(value + 1)) + 1 : static_cast<std::uint64_t>(value);
    return *DecimalBuilder::make(negative, magnitude, 0);
}

Decimal Decimal::fromUInt64(std::uint64_t value) { return *DecimalBuilder::make(false, value, 0); }

Decimal Decimal::nan() {
    Decimal result;
    result.nan_ = true;
    return result;
}

namespace {

// The shortest text that reads back as the same binary value, taken digit for digit.
template <class Floating>
Decimal decimalFromBinary(Floating value) {
    if (!std::isfinite(value)) return Decimal::nan();
    char buffer[64];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof(buffer), value, std::chars_format::scientific);
    const auto parsed = error == std::errc()
                            ? Decimal::parse(std::string_view(buffer, static_cast<std::size_t>(end - buffer)))
                            : std::nullopt;
    return parsed ? *parsed : Decimal::nan();
}

}  // namespace

Decimal::Decimal(double value) : Decimal(decimalFromBinary(value)) {}

Decimal::Decimal(float value) : Decimal(decimalFromBinary(value)) {}

std::optional<Decimal> Decimal::parse(std::string_view text) {
    std::size_t pos = 0;
    const auto isDigit = [&](std::size_t at) { return at < text.size() && text[at] >= '0' && text[at] <= '9'; };
    bool negative = false;
    if (pos < text.size() && text[pos] == '-') {
        negative = true;
        ++pos;
    }
    if (!isDigit(pos)) return std::nullopt;
    const std::size_t integerStart = pos;
    if (text[pos] == '0') {
        ++pos;
    } else {
        while (isDigit(pos)) ++pos;
    }
    const std::size_t integerEnd = pos;
    std::size_t fractionStart = pos;
    std::size_t fractionEnd = pos;
    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        if (!isDigit(pos)) return std::nullopt;
        fractionStart = pos;
        while (isDigit(pos)) ++pos;
        fractionEnd = pos;
    }
    std::int64_t exponentValue = 0;
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        ++pos;
        bool exponentNegative = false;
        if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
            exponentNegative = text[pos] == '-';
            ++pos;
        }
        if (!isDigit(pos)) return std::nullopt;
        while (isDigit(pos)) {
            // Saturate: anything this large is out of range whatever the digits say.
            if (exponentValue < 1'000'000'000) exponentValue = exponentValue * 10 + (text[pos] - '0');
            ++pos;
        }
        if (exponentNegative) exponentValue = -exponentValue;
    }
    if (pos != text.size()) return std::nullopt;

    U128 mantissa = 0;
    int kept = 0;
    std::int64_t dropped = 0;
    int firstDropped = 0;
    bool restNonZero = false;
    bool seenNonZero = false;
    const auto take = [&](char digit) {
        const int d = digit - '0';
        if (!seenNonZero && d == 0) return;  // leading zeros carry no precision
        seenNonZero = true;
        if (kept < maxDigits) {
            mantissa = mantissa * 10 + static_cast<unsigned>(d);
            ++kept;
        } else {
            if (dropped == 0) {
                firstDropped = d;
            } else if (d != 0) {
                restNonZero = true;
            }
            ++dropped;
        }
    };
    for (std::size_t i = integerStart; i < integerEnd; ++i) take(text[i]);
    for (std::size_t i = fractionStart; i < fractionEnd; ++i) take(text[i]);

    std::int64_t exponent = exponentValue - static_cast<std::int64_t>(fractionEnd - fractionStart) + dropped;
    if (dropped > 0 && (firstDropped > 5 || (firstDropped == 5 && (restNonZero || (mantissa & 1) != 0)))) {
        ++mantissa;
        if (mantissa == kMantissaLimit) {
            mantissa /= 10;
            ++exponent;
        }
    }
    return DecimalBuilder::make(negative, mantissa, exponent);
}

bool Decimal::isIntegral() const { return !nan_ && (isZero() || exponent_ >= 0); }

std::string Decimal::digits() const { return u128ToString(DecimalBuilder::mantissa(*this)); }

std::string Decimal::description() const {
    if (nan_) return "NaN";
    std::string text = digits();
    if (exponent_ >= 0) {
        if (!isZero()) text.append(static_cast<std::size_t>(exponent_), '0');
    } else {
        const auto shift = static_cast<std::size_t>(-exponent_);
        if (shift < text.size()) {
            text.insert(text.size() - shift, 1, '.');
        } else {
            text = "0." + std::string(shift - text.size(), '0') + text;
        }
    }
    return negative_ ? "-" + text : text;
}

std::string Decimal::scientificText() const {
    std::string text = negative_ ? "-" : "";
    text += digits();
    text += 'e';
    text += std::to_string(exponent_);
    return text;
}

double Decimal::doubleValue() const {
    if (nan_) return std::numeric_limits<double>::quiet_NaN();
    const std::string text = scientificText();
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

float Decimal::floatValue() const {
    if (nan_) return std::numeric_limits<float>::quiet_NaN();
    const std::string text = scientificText();
    float value = 0;
    const auto [ptr, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    (void)ptr;
    if (error == std::errc::result_out_of_range) {
        // from_chars leaves the value alone on overflow and underflow; pick the limit it passed.
        const bool tooLarge = exponent_ > 0;
        value = tooLarge ? std::numeric_limits<float>::infinity() : 0.0f;
        if (negative_) value = -value;
    }
    return value;
}

namespace {

// The integral magnitude of an integral decimal, or nullopt when it needs more than 128 bits.
std::optional<U128> integralMagnitude(U128 mantissa, int exponent) {
    if (exponent < 0) return std::nullopt;
    if (exponent > 38) return std::nullopt;
    const U128 scale = kPow10[static_cast<std::size_t>(exponent)];
    if (mantissa > std::numeric_limits<U128>::max() / scale) return std::nullopt;
    return mantissa * scale;
}

}  // namespace

std::optional<std::int64_t> Decimal::exactInt64() const {
    if (!isIntegral()) return std::nullopt;
    if (isZero()) return 0;
    const auto magnitude = integralMagnitude(DecimalBuilder::mantissa(*this), exponent_);
    if (!magnitude) return std::nullopt;
    const U128 limit = static_cast<U128>(std::numeric_limits<std::int64_t>::max()) + (negative_ ? 1 : 0);
    if (*magnitude > limit) return std::nullopt;
    if (negative_) return static_cast<std::int64_t>(-static_cast<__int128>(*magnitude));
    return static_cast<std::int64_t>(*magnitude);
}

std::optional<std::uint64_t> Decimal::exactUInt64() const {
    if (!isIntegral()) return std::nullopt;
    if (isZero()) return 0;
    if (negative_) return std::nullopt;
    const auto magnitude = integralMagnitude(DecimalBuilder::mantissa(*this), exponent_);
    if (!magnitude || *magnitude > std::numeric_limits<std::uint64_t>::max()) return std::nullopt;
    return static_cast<std::uint64_t>(*magnitude);
}

namespace {

// |value| truncated toward zero, saturated at 2^127.
U128 truncatedMagnitude(U128 mantissa, int exponent) {
    if (exponent < 0) {
        const int shift = -exponent;
        return shift > 38 ? 0 : mantissa / kPow10[static_cast<std::size_t>(shift)];
    }
    const auto magnitude = integralMagnitude(mantissa, exponent);
    return magnitude ? *magnitude : std::numeric_limits<U128>::max();
}

}  // namespace

std::int64_t Decimal::int64Value() const {
    if (nan_) return 0;
    const U128 magnitude = truncatedMagnitude(DecimalBuilder::mantissa(*this), exponent_);
    if (negative_) {
        const U128 limit = static_cast<U128>(std::numeric_limits<std::int64_t>::max()) + 1;
        return magnitude >= limit ? std::numeric_limits<std::int64_t>::min()
                                  : static_cast<std::int64_t>(-static_cast<__int128>(magnitude));
    }
    const U128 limit = static_cast<U128>(std::numeric_limits<std::int64_t>::max());
    return magnitude >= limit ? std::numeric_limits<std::int64_t>::max() : static_cast<std::int64_t>(magnitude);
}

std::uint64_t Decimal::uint64Value() const {
    if (nan_ || negative_) return 0;
    const U128 magnitude = truncatedMagnitude(DecimalBuilder::mantissa(*this), exponent_);
    const U128 limit = std::numeric_limits<std::uint64_t>::max();
    return magnitude >= limit ? std::numeric_limits<std::uint64_t>::max() : static_cast<std::uint64_t>(magnitude);
}

bool operator==(const Decimal& a, const Decimal& b) {
    if (a.nan_ || b.nan_) return false;
    return a.lo_ == b.lo_ && a.hi_ == b.hi_ && a.exponent_ == b.exponent_ && a.negative_ == b.negative_;
}

std::partial_ordering operator<=>(const Decimal& a, const Decimal& b) {
    if (a.nan_ || b.nan_) return std::partial_ordering::unordered;
    const auto sign = [](const Decimal& d) { return d.isZero() ? 0 : (d.negative_ ? -1 : 1); };
    const int signA = sign(a);
    const int signB = sign(b);
    if (signA != signB) return signA <=> signB;
    if (signA == 0) return std::partial_ordering::equivalent;

    const U128 mantissaA = DecimalBuilder::mantissa(a);
    const U128 mantissaB = DecimalBuilder::mantissa(b);
    const int adjustedA = digitCount(mantissaA) + a.exponent_;
    const int adjustedB = digitCount(mantissaB) + b.exponent_;
    std::strong_ordering magnitude = adjustedA <=> adjustedB;
    if (magnitude == 0) {
        // Same leading position: scale the one with the larger exponent down to the other's
        // exponent; both then have the same digit count (at most 38), so nothing overflows.
        if (a.exponent_ >= b.exponent_) {
            magnitude = mantissaA * kPow10[static_cast<std::size_t>(a.exponent_ - b.exponent_)] <=> mantissaB;
        } else {
            magnitude = mantissaA <=> mantissaB * kPow10[static_cast<std::size_t>(b.exponent_ - a.exponent_)];
        }
    }
    if (signA < 0) return 0 <=> magnitude;
    return magnitude;
}

std::ostream& operator<<(std::ostream& stream, const Decimal& value) { return stream << value.description(); }

}  // namespace qor::platform
