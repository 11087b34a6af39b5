#pragma once

#include "Platform/Support/FaultPoint.h"

namespace qor::testing {

// Installs a fault handler (see Platform/Support/FaultPoint.h) for its lifetime and puts back
// the one it replaced.
class ScopedFaultHandler {
public:
    explicit ScopedFaultHandler(platform::faults::Handler handler) : previous_(platform::faults::setHandler(handler)) {}
    ~ScopedFaultHandler() { platform::faults::setHandler(previous_); }
    ScopedFaultHandler(const ScopedFaultHandler&) = delete;
    ScopedFaultHandler& operator=(const ScopedFaultHandler&) = delete;

private:
    platform::faults::Handler previous_;
};

}  // namespace qor::testing
