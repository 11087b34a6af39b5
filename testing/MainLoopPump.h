#pragma once

#include <chrono>
#include <functional>

namespace qor::testing {

// Runs the main run loop (main-queue blocks and main-thread timers) on the main thread
// until the predicate holds or the timeout passes; returns whether the predicate held.
bool pumpMainUntil(const std::function<bool()>& predicate, std::chrono::milliseconds timeout = std::chrono::seconds(5));

// Runs the main run loop for the given time.
void pumpMainFor(std::chrono::milliseconds duration);

}  // namespace qor::testing
