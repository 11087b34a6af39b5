#include "testing/MainLoopPump.h"

#include "Platform/Dispatch/DeadlineScheduler.h"
#include "Platform/Dispatch/RunLoop.h"

namespace qor::testing {

bool pumpMainUntil(const std::function<bool()>& predicate, std::chrono::milliseconds timeout) {
    return platform::RunLoop::main().runUntil(predicate, timeout);
}

void pumpMainFor(std::chrono::milliseconds duration) {
    platform::RunLoop::main().runUntil(platform::deadlineAfter(platform::RunLoop::Clock::now(), duration));
}

}  // namespace qor::testing
