#include "Platform/Foundation/UUID.h"

#include <sys/random.h>

#include <cerrno>
#include <cstddef>
#include <random>

namespace qor::platform {
namespace {

void fillRandom(std::uint8_t* out, std::size_t size) {
    std::size_t filled = 0;
    while (filled < size) {
        const ssize_t got = ::getrandom(out + filled, size - filled, 0);
        if (got > 0) {
            filled += static_cast<std::size_t>(got);
        } else if (got < 0 && errno != EINTR) {
            break;
        }
    }
    if (filled == size) return;
    // Kernels without getrandom: the standard library's device source.
    std::random_device device;
    for (; filled < size; ++filled) out[filled] = static_cast<std::uint8_t>(device());
}

}  // namespace

UUID UUID::make() {
    UUID uuid;
    fillRandom(uuid.bytes.data(), uuid.bytes.size());
    uuid.bytes[6] = static_cast<std::uint8_t>((uuid.bytes[6] & 0x0F) | 0x40);  // version 4
    uuid.bytes[8] = static_cast<std::uint8_t>((uuid.bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
    return uuid;
}

std::string UUID::uuidString() const {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(36);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) text.push_back('-');
        text.push_back(digits[bytes[i] >> 4]);
        text.push_back(digits[bytes[i] & 0x0F]);
    }
    return text;
}

}  // namespace qor::platform
