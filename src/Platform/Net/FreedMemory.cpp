#include "Platform/Net/FreedMemory.h"

#include <malloc.h>

#include <chrono>
#include <mutex>

#include "Platform/Dispatch/DispatchQueue.h"

namespace qor::platform::net {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kDelay = std::chrono::seconds(1);

// One giving back pending at a time; a large transfer that ends meanwhile moves it later.
struct PendingRelease {
    std::mutex mutex;
    Clock::time_point due;
    bool scheduled = false;
};

PendingRelease& pending() {
    static auto* state = new PendingRelease();  // workers reach it at exit
    return *state;
}

void releaseWhenDue() {
    auto& state = pending();
    {
        const std::lock_guard lock(state.mutex);
        const auto now = Clock::now();
        if (now < state.due) {
            DispatchQueue::global()->asyncAfter(state.due - now, releaseWhenDue);
            return;
        }
        state.scheduled = false;
    }
    malloc_trim(0);
}

}  // namespace

void releaseFreedMemoryAfterLargeTransfer() {
    auto& state = pending();
    {
        const std::lock_guard lock(state.mutex);
        state.due = Clock::now() + kDelay;
        if (state.scheduled) return;
        state.scheduled = true;
    }
    DispatchQueue::global()->asyncAfter(kDelay, releaseWhenDue);
}

}  // namespace qor::platform::net
