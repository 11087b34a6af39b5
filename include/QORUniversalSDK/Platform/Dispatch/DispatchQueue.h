#pragma once

#include <QORUniversalSDK/Platform/Support/Export.h>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

namespace qor::platform {

class WorkerPool;

// A queue of blocks. Three kinds:
// - serial(label): blocks run one at a time, in submission order, on a worker thread of the
//   queue's own. Dropping the last reference with blocks pending is safe: they still run.
// - main(): blocks run on the main thread, in order, only while it runs RunLoop::main().
// - global(): a concurrent queue over a shared pool of threads.
class QOR_EXPORT DispatchQueue : public std::enable_shared_from_this<DispatchQueue> {
public:
    static std::shared_ptr<DispatchQueue> serial(std::string label);
    static std::shared_ptr<DispatchQueue> main();
    static std::shared_ptr<DispatchQueue> global();

    DispatchQueue(const DispatchQueue&) = delete;
    DispatchQueue& operator=(const DispatchQueue&) = delete;
    ~DispatchQueue();

    const std::string& label() const { return label_; }

    // Queues the block and returns at once; it never runs before async returns.
    //
    // A block queued with async or asyncAfter has no caller to hand an exception to. The rule is
    // the same on every queue, main included: an exception that leaves such a block stops the
    // process with "Fatal error: A block on queue <label> threw: <what>". (A block run with sync
    // hands its exception to the caller of sync instead.)
    void async(std::function<void()> block);

    // Runs the block on the queue and returns after it ran; an exception it throws is
    // rethrown here. On a serial queue the block runs on the queue's worker after the blocks
    // queued before it. Calling sync on a queue that the calling thread is already running
    // (directly, or further up a chain of sync calls; for main(): on the main thread) is a
    // fatal error rather than a deadlock. On global() the block runs on the calling thread.
    void sync(const std::function<void()>& block);

    // sync that hands back the block's result.
    template <class F>
    auto syncValue(F&& f) -> decltype(f()) {
        using Result = decltype(f());
        if constexpr (std::is_void_v<Result>) {
            sync(std::forward<F>(f));
        } else if constexpr (std::is_reference_v<Result>) {
            std::remove_reference_t<Result>* result = nullptr;
            sync([&] { result = &f(); });
            return static_cast<Result>(*result);
        } else {
            std::optional<Result> result;
            sync([&] { result.emplace(f()); });
            return std::move(*result);
        }
    }

    // Queues the block once the delay has passed (at once for a delay of zero or less).
    // The queue is kept alive until then.
    void asyncAfter(std::chrono::nanoseconds delay, std::function<void()> block);

    // True inside a block running on this queue; for main(): true on the main thread.
    bool isCurrent() const;

private:
    enum class Kind { serial, main, concurrent };
    DispatchQueue(Kind kind, std::string label, std::shared_ptr<WorkerPool> pool);
    const void* identity() const;
    std::function<void()> wrapped(std::function<void()> block) const;

    const Kind kind_;
    const std::string label_;
    const std::shared_ptr<WorkerPool> pool_;  // null for main()
};

}  // namespace qor::platform
