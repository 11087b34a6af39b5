#include "Platform/Foundation/UUID.h"

#include <pthread.h>
#include <sys/random.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstring>
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

// Bumped in a forked child, whose copies of the pools below must not repeat its parent's bytes.
std::atomic<unsigned> forkGeneration{0};

void noteFork() { forkGeneration.fetch_add(1, std::memory_order_relaxed); }

// The kernel is asked for random bytes a few identifiers at a time, per thread: one system call
// per identifier was most of the cost of making one.
void takeRandom(std::uint8_t* out, std::size_t size) {
    struct Pool {
        std::array<std::uint8_t, 256> bytes{};
        std::size_t used = bytes.size();
        unsigned generation = 0;
    };
    static const bool watchingForks = [] { return pthread_atfork(nullptr, nullptr, noteFork) == 0; }();
    (void)watchingForks;
    thread_local Pool pool;
    const unsigned generation = forkGeneration.load(std::memory_order_relaxed);
    if (pool.generation != generation || pool.used + size > pool.bytes.size()) {
        fillRandom(pool.bytes.data(), pool.bytes.size());
        pool.used = 0;
        pool.generation = generation;
    }
    std::memcpy(out, pool.bytes.data() + pool.used, size);
    std::memset(pool.bytes.data() + pool.used, 0, size);  // handed out once only
    pool.used += size;
}

}  // namespace

UUID UUID::make() {
    UUID uuid;
    takeRandom(uuid.bytes.data(), uuid.bytes.size());
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
