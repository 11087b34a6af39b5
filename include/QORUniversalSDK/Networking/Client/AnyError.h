#pragma once

#include <QORUniversalSDK/Platform/Support/Export.h>
#include <exception>
#include <memory>
#include <string>
#include <utility>

namespace qor {

// A foreign error carried unchanged: any thrown object, shared and immutable. Its text is the
// what() of a std::exception. The exception is held through a shared_ptr so that copies handed
// between threads share one visible reference count.
class QOR_EXPORT AnyError {
public:
    explicit AnyError(std::exception_ptr pointer)
        : pointer_(std::make_shared<const std::exception_ptr>(std::move(pointer))) {}

    template <class E>
    static AnyError make(E error) {
        return AnyError(std::make_exception_ptr(std::move(error)));
    }

    const std::exception_ptr& pointer() const { return *pointer_; }

    // The carried error as E, or nullptr. The object lives as long as this AnyError.
    template <class E>
    const E* as() const {
        if (!*pointer_) return nullptr;
        try {
            std::rethrow_exception(*pointer_);
        } catch (const E& error) {
            return &error;
        } catch (...) {
        }
        return nullptr;
    }

    std::string description() const;
    std::string debugDescription() const { return description(); }

    [[noreturn]] void rethrow() const { std::rethrow_exception(*pointer_); }

private:
    std::shared_ptr<const std::exception_ptr> pointer_;
};

}  // namespace qor
