#include "Platform/Support/FaultPoint.h"

namespace qor::platform::faults {

constinit std::atomic<Handler> installedHandler{nullptr};

Handler setHandler(Handler handler) { return installedHandler.exchange(handler, std::memory_order_acq_rel); }

}  // namespace qor::platform::faults
