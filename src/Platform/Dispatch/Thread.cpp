#include "Platform/Dispatch/Thread.h"

#include <unistd.h>

namespace qor::platform {

bool Thread::isMainThread() {
    // The initial thread's id equals the process id; this holds however early or late
    // the library is loaded, which a value captured at static-init time would not.
    thread_local const bool isMain = ::gettid() == ::getpid();
    return isMain;
}

}  // namespace qor::platform
