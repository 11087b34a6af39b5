#pragma once

namespace qor::platform {

struct Thread {
    // True on the process's initial thread only: the thread that runs the main run loop.
    static bool isMainThread();
};

}  // namespace qor::platform
