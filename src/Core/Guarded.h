#pragma once

#include <mutex>
#include <utility>

#include "Platform/Foundation/NSLock.h"

namespace qor {

// A value guarded by its own lock. Reads and writes copy the whole value under the
// lock; `mutate` runs a read-modify-write as one step, so two threads incrementing a
// counter can never overwrite each other's change.
template <class T>
class Guarded {
public:
    explicit Guarded(T wrappedValue = T{}) : value_(std::move(wrappedValue)) {}

    Guarded(const Guarded&) = delete;
    Guarded& operator=(const Guarded&) = delete;

    T wrappedValue() const {
        std::lock_guard<platform::NSLock> guard(lock_);
        return value_;
    }

    void setWrappedValue(T newValue) {
        std::lock_guard<platform::NSLock> guard(lock_);
        value_ = std::move(newValue);
    }

    // Runs `change` on the stored value while the lock is held and returns what it
    // returns. `change` must not touch this Guarded again (the lock is not recursive).
    template <class F>
    decltype(auto) mutate(F&& change) {
        std::lock_guard<platform::NSLock> guard(lock_);
        return std::forward<F>(change)(value_);
    }

private:
    mutable platform::NSLock lock_;
    T value_;
};

}  // namespace qor
