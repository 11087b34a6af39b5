#pragma once

// Fault-injection points: named steps inside the system at which a test can stop the process
// (a kill -9 at that exact step) or make the operation at that step fail.
//
// They exist only in test builds (QOR_FAULT_POINTS, on when the tests are built). Everywhere
// else QOR_FAULT_POINT(name) is the constant false and nothing of this file is compiled in.
//
//     if (QOR_FAULT_POINT("WorkerPool.startThread")) throw ...;   // a failure a test can inject
//     QOR_FAULT_POINT("Storage.finish.renamed");                   // a step a test can stop at
//
// Each point's name is "<Type>.<step>"; the comment beside a point says what a true answer does.
#if defined(QOR_FAULT_POINTS)

namespace qor::platform::faults {

// Called at every point reached, on the thread that reaches it, with the point's name; true
// makes the operation at that point fail. It may also end the process there.
using Handler = bool (*)(const char* point);

// Installs a handler (nullptr: none) and returns the one it replaces.
Handler setHandler(Handler handler);

// What the installed handler answers for the point; false without one.
bool reached(const char* point);

}  // namespace qor::platform::faults

#define QOR_FAULT_POINT(name) (::qor::platform::faults::reached(name))

#else

#define QOR_FAULT_POINT(name) (false)

#endif
