#pragma once

#include "Networking/Client/QORSDKError.h"
#include "Networking/Client/Result.h"
#include "Platform/Dispatch/DispatchQueue.h"
#include "Platform/Dispatch/OperationQueue.h"

#include <exception>
#include <functional>
#include <memory>
#include <variant>

namespace qor {

// Where a completion runs. The Session never calls a completion itself: it hands a block to
// execute(), which runs it at once or submits it to a queue.
class CallbackQueue {
public:
    struct dispatch {
        std::shared_ptr<platform::DispatchQueue> queue;
    };
    struct operation {
        std::shared_ptr<platform::OperationQueue> queue;
    };
    struct asyncMain {};
    struct currentMainOrAsync {};
    struct untouch {};
    using Case = std::variant<dispatch, operation, asyncMain, currentMainOrAsync, untouch>;

    template <class C>
    requires std::constructible_from<Case, C> CallbackQueue(C value)
        : value_(std::move(value)) {}  // NOLINT: implicit from a case

    const Case& value() const { return value_; }

    // Runs the block at once or submits it, as the case says; never drops it.
    void execute(std::function<void()> block) const;

private:
    Case value_;
};

template <class T>
using Completion = std::function<void(Result<T>)>;

// Calls the completion, when there is one, with the error as a QORSDKError failure, at once on
// the current thread.
template <class T>
void deliverFailure(const Completion<T>& completion, const std::exception_ptr& error) {
    if (!completion) return;
    completion(Result<T>::failure(asQORSDKError(error)));
}

}  // namespace qor
