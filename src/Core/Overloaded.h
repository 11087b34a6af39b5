#pragma once

namespace qor {

// One visitor out of several lambdas, for std::visit over a variant's cases.
template <class... Fs>
struct Overloaded : Fs... {
    using Fs::operator()...;
};
template <class... Fs>
Overloaded(Fs...) -> Overloaded<Fs...>;

}  // namespace qor
