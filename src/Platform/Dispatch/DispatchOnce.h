#pragma once

#include <mutex>
#include <utility>

namespace qor::platform {

// Runs a block at most once, however many threads ask at the same time; later callers
// wait until the first run finished. For process-wide values a function-local static
// does the same and is what the code prefers; this is for once-per-object work.
class DispatchOnce {
public:
    template <class F>
    void perform(F&& block) {
        std::call_once(flag_, std::forward<F>(block));
    }

private:
    std::once_flag flag_;
};

}  // namespace qor::platform
