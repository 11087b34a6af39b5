#pragma once

#include <atomic>

// Fault-injection points: named steps inside the system at which a test can stop the process
// (a kill -9 at that exact step) or make the operation at that step fail.
//
//     if (platform::faultPoint("WorkerPool.startThread")) throw ...;   // a failure a test can inject
//     platform::faultPoint("Storage.finish.renamed");                   // a step a test can stop at
//
// Each point's name is "<Type>.<step>"; the comment beside a point says what a true answer does.
// Every build has the points; without a handler (the only case outside the tests, which install
// one through testing/) a point costs one load of a null pointer. Neither the handler nor its
// setter is exported: an app cannot reach them.
namespace qor::platform {

namespace faults {

// Called at every point reached, on the thread that reaches it, with the point's name; true
// makes the operation at that point fail. It may also end the process there.
using Handler = bool (*)(const char* point);

// Installs a handler (nullptr: none) and returns the one it replaces.
Handler setHandler(Handler handler);

// The installed handler. A plain pointer in static storage: points may be reached by detached
// threads while the process exits.
extern std::atomic<Handler> installedHandler;

}  // namespace faults

// What the installed handler answers for the point; false without one.
inline bool faultPoint(const char* point) {
    const faults::Handler handler = faults::installedHandler.load(std::memory_order_acquire);
    return handler != nullptr && handler(point);
}

}  // namespace qor::platform
