#include "Platform/Foundation/PropertyListDecoder.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "Platform/Foundation/PropertyListEncoder.h"

namespace qor::platform {

namespace {

constexpr int kMaxDepth = 512;

[[noreturn]] void corrupt(const std::string& reason) {
    throw DecodingError(DecodingError::Kind::dataCorrupted, std::vector<std::string>{},
                        "The given data was not a valid property list. (" + reason + ")");
}

class Reader {
public:
    explicit Reader(const Data& data) : data_(data) {}

    Any document() {
        if (data_.size() < PropertyListEncoder::header.size() ||
            std::memcmp(data_.data(), PropertyListEncoder::header.data(), PropertyListEncoder::header.size()) != 0) {
            corrupt("unknown header");
        }
        position_ = PropertyListEncoder::header.size();
        Any result = value(0);
        if (position_ != data_.size()) corrupt("trailing bytes");
        return result;
    }

private:
    std::uint8_t byte() {
        if (position_ >= data_.size()) corrupt("cut short");
        return data_[position_++];
    }
    std::uint64_t fixed64() {
        std::uint64_t result = 0;
        for (int index = 0; index < 8; ++index) result |= static_cast<std::uint64_t>(byte()) << (8 * index);
        return result;
    }
    std::uint64_t varint() {
        std::uint64_t result = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            const std::uint8_t next = byte();
            result |= static_cast<std::uint64_t>(next & 0x7F) << shift;
            if ((next & 0x80) == 0) return result;
        }
        corrupt("length too long");
    }
    // A count or length can never exceed the bytes that remain, each element taking one at least.
    std::uint64_t boundedCount() {
        const std::uint64_t count = varint();
        if (count > data_.size() - position_) corrupt("length beyond the end");
        return count;
    }
    std::string text() {
        const std::uint64_t length = boundedCount();
        std::string result(reinterpret_cast<const char*>(data_.data() + position_), static_cast<std::size_t>(length));
        position_ += static_cast<std::size_t>(length);
        return result;
    }
    Decimal decimal() {
        auto parsed = Decimal::parse(text());
        if (!parsed) corrupt("bad decimal");
        return *parsed;
    }

    Any value(int depth) {
        if (depth > kMaxDepth) corrupt("nested too deeply");
        switch (byte()) {
            case 'n':
                return Any();
            case 't':
                return Any(true);
            case 'f':
                return Any(false);
            case 'i':
                return Any(static_cast<std::int64_t>(fixed64()));
            case 'u':
                return Any(fixed64());
            case 'r': {
                const double number = std::bit_cast<double>(fixed64());
                const std::uint8_t flags = byte();
                if ((flags & ~3u) != 0) corrupt("bad number flags");
                if ((flags & 2) != 0) return Any::parsedNumber(number, decimal());
                if ((flags & 1) != 0) return Any(static_cast<float>(number));
                return Any(number);
            }
            case 'm':
                return Any(decimal());
            case 's':
                return Any(text());
            case 'a': {
                const std::uint64_t count = boundedCount();
                Any::Array elements;
                elements.reserve(static_cast<std::size_t>(count));
                for (std::uint64_t index = 0; index < count; ++index) elements.push_back(value(depth + 1));
                return Any(std::move(elements));
            }
            case 'd': {
                const std::uint64_t count = boundedCount();
                AnyDictionary members;
                members.reserve(static_cast<std::size_t>(count));
                for (std::uint64_t index = 0; index < count; ++index) {
                    std::string key = text();
                    if (members.contains(key)) corrupt("duplicate key");
                    members.set(std::move(key), value(depth + 1));
                }
                return Any(std::move(members));
            }
            default:
                corrupt("unknown tag");
        }
    }

    const Data& data_;
    std::size_t position_ = 0;
};

}  // namespace

Any PropertyListDecoder::decodeAny(const Data& data) { return Reader(data).document(); }

}  // namespace qor::platform
