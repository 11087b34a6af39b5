#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>
#include <variant>

namespace qor {

// Holder of one optional closure. bind() ties the closure to a target held weakly: once the
// target is gone the closure returns nothing and never calls the handler. A Delegate with
// Output void answers std::optional<std::monostate>: engaged when the closure ran.
template <class Input, class Output = void>
class Delegate {
public:
    using Result = std::conditional_t<std::is_void_v<Output>, std::monostate, Output>;
    using Block = std::function<std::optional<Result>(Input)>;

    Delegate() = default;

    template <class Target, class Handler>
    void bind(const std::shared_ptr<Target>& target, Handler handler) {
        std::weak_ptr<Target> weakTarget = target;
        block = [weakTarget, handler = std::move(handler)](Input input) -> std::optional<Result> {
            const auto strongTarget = weakTarget.lock();
            if (!strongTarget) return std::nullopt;
            if constexpr (std::is_void_v<Output>) {
                handler(*strongTarget, std::forward<Input>(input));
                return std::monostate{};
            } else {
                return handler(*strongTarget, std::forward<Input>(input));
            }
        };
    }

    std::optional<Result> invoke(Input input) const {
        if (!block) return std::nullopt;
        return block(std::forward<Input>(input));
    }

    Block block;
};

}  // namespace qor
