#pragma once

#include <QORUniversalSDK/Networking/Client/QORSDKError.h>

#include <utility>
#include <variant>

namespace qor {

// The outcome a completion receives: the success value or the QORSDKError.
template <class T>
class Result {
public:
    static Result success(T value) { return Result(std::in_place_index<0>, std::move(value)); }
    static Result failure(QORSDKError error) { return Result(std::in_place_index<1>, std::move(error)); }

    bool isSuccess() const { return value_.index() == 0; }
    bool isFailure() const { return value_.index() == 1; }

    // Precondition: the matching case.
    const T& value() const { return std::get<0>(value_); }
    T& value() { return std::get<0>(value_); }
    const QORSDKError& error() const { return std::get<1>(value_); }

    const T* valueIf() const { return std::get_if<0>(&value_); }
    const QORSDKError* errorIf() const { return std::get_if<1>(&value_); }

private:
    template <std::size_t I, class V>
    Result(std::in_place_index_t<I> index, V&& value) : value_(index, std::forward<V>(value)) {}

    std::variant<T, QORSDKError> value_;
};

}  // namespace qor
