#pragma once

#include "Platform/Support/FatalError.h"

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>

namespace qor {

// The stop message of a component read before QORSDK.start() filled its slot.
inline std::string setupGuardMessage(std::string_view component) {
    return "[QORSDK] Use " + std::string(component) +
           " before setup. Please call `QORSDK.start()` before you do any other things in QORSDK.";
}

// A process-wide slot (the shared Session, Analytics, AdNetwork, ...): empty until start-up
// stores a value, replaced by a later start-up, never cleared. Reading an empty slot is a
// programming error of the host app and stops the process with the component's message.
template <class T>
class SharedSlot {
public:
    explicit SharedSlot(std::string component) : component_(std::move(component)) {}
    SharedSlot(const SharedSlot&) = delete;
    SharedSlot& operator=(const SharedSlot&) = delete;

    // The stored value; stops the process when start-up has not stored one.
    std::shared_ptr<T> get() const {
        auto value = peek();
        if (!value) platform::fatalError(setupGuardMessage(component_));
        return value;
    }

    // The stored value or nullptr, without the guard.
    std::shared_ptr<T> peek() const {
        std::lock_guard lock(mutex_);
        return value_;
    }

    // Stores a new value; the previous one is released outside the lock, so its destructor may
    // itself read slots.
    void set(std::shared_ptr<T> value) {
        {
            std::lock_guard lock(mutex_);
            std::swap(value_, value);
        }
    }

    const std::string& component() const { return component_; }

private:
    mutable std::mutex mutex_;
    std::shared_ptr<T> value_;
    std::string component_;
};

}  // namespace qor
