#include "Platform/Support/FaultPoint.h"

#if defined(QOR_FAULT_POINTS)

#include <atomic>

namespace qor::platform::faults {
namespace {

// A plain pointer in static storage: points may be reached by detached threads while the
// process exits.
std::atomic<Handler> installed{nullptr};

}  // namespace

Handler setHandler(Handler handler) { return installed.exchange(handler); }

bool reached(const char* point) {
    const Handler handler = installed.load();
    return handler != nullptr && handler(point);
}

}  // namespace qor::platform::faults

#endif
