#include "Platform/Foundation/PropertyListEncoder.h"

#include <bit>
#include <cstdint>
#include <string>
#include <string_view>

namespace qor::platform {

namespace {

// Layout: the header, then one value. A value is a tag byte followed by its payload:
//   'n' null            't' true            'f' false
//   'i' signed integer, 8 bytes little-endian
//   'u' unsigned integer beyond the signed range, 8 bytes little-endian
//   'r' double: 8 bytes of its bit pattern, a flag byte (1: made from a float, 2: exact
//       decimal of its text follows), then that decimal as a text when flagged
//   'm' Decimal as a text "[-]<mantissa digits>e<exponent>"
//   's' text: length, bytes
//   'a' list: count, values
//   'd' dictionary: count, then (key text, value) pairs in their order
// Lengths and counts are unsigned LEB128.

class Writer {
public:
    Data data;

    void byte(std::uint8_t value) { data.push_back(value); }
    void fixed64(std::uint64_t value) {
        for (int index = 0; index < 8; ++index) byte(static_cast<std::uint8_t>(value >> (8 * index)));
    }
    void varint(std::uint64_t value) {
        while (value >= 0x80) {
            byte(static_cast<std::uint8_t>(value | 0x80));
            value >>= 7;
        }
        byte(static_cast<std::uint8_t>(value));
    }
    void text(std::string_view value) {
        varint(value.size());
        data.insert(data.end(), value.begin(), value.end());
    }

    void value(const Any& any) {
        switch (any.kind()) {
            case Any::Kind::null:
                byte('n');
                return;
            case Any::Kind::boolean:
                byte(any.asBool() ? 't' : 'f');
                return;
            case Any::Kind::integer:
                byte('i');
                fixed64(static_cast<std::uint64_t>(any.asInt64()));
                return;
            case Any::Kind::unsignedInteger:
                byte('u');
                fixed64(any.asUInt64());
                return;
            case Any::Kind::floating: {
                byte('r');
                fixed64(std::bit_cast<std::uint64_t>(any.asDouble()));
                const auto* exact = any.exactDecimal();
                const bool hasExact = exact != nullptr && exact->has_value() && !(*exact)->isNaN();
                byte(static_cast<std::uint8_t>((any.isFloat32() ? 1 : 0) | (hasExact ? 2 : 0)));
                if (hasExact) text(decimalText(**exact));
                return;
            }
            case Any::Kind::decimal:
                byte('m');
                text(decimalText(any.asDecimal()));
                return;
            case Any::Kind::string:
                byte('s');
                text(any.asString());
                return;
            case Any::Kind::array:
                byte('a');
                varint(any.asArray().size());
                for (const auto& element : any.asArray()) value(element);
                return;
            case Any::Kind::dictionary:
                byte('d');
                varint(any.asDictionary().size());
                for (const auto& [key, element] : any.asDictionary()) {
                    text(key);
                    value(element);
                }
                return;
        }
    }

    // Exact and compact: the normalised mantissa's digits and the power of ten.
    static std::string decimalText(const Decimal& decimal) {
        if (decimal.isNaN()) throw EncodingError(std::vector<std::string>{}, "A NaN Decimal cannot be encoded.");
        unsigned __int128 mantissa =
            (static_cast<unsigned __int128>(decimal.mantissaHigh()) << 64) | decimal.mantissaLow();
        std::string digits;
        do {
            digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(mantissa % 10)));
            mantissa /= 10;
        } while (mantissa != 0);
        return (decimal.isNegative() ? "-" : "") + digits + "e" + std::to_string(decimal.exponent());
    }
};

}  // namespace

Data PropertyListEncoder::encodeAny(const Any& value) {
    Writer writer;
    writer.data.assign(PropertyListEncoder::header.begin(), PropertyListEncoder::header.end());
    writer.value(value);
    return std::move(writer.data);
}

}  // namespace qor::platform
