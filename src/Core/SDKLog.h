#pragma once

#include <charconv>
#include <concepts>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

#include "Platform/Support/Console.h"

namespace qor {

// Hands one finished line (line feed included) to the console: the host's writer, or standard
// output.
inline void writeSDKLogLine(std::string_view line) { platform::writeConsoleLine(line); }

namespace detail {

template <class T>
concept HasDescription = requires(const T& value) {
    { value.description() } -> std::convertible_to<std::string>;
};

template <class T>
concept Streamable = requires(std::ostream& out, const T& value) {
    out << value;
};

std::string describeDouble(double value);
std::string describeStreamable(const std::function<void(std::ostream&)>& write);

template <class T>
void appendDescription(std::string& text, const T& value) {
    using V = std::remove_cvref_t<T>;
    if constexpr (std::is_same_v<V, bool>) {
        text += value ? "true" : "false";
    } else if constexpr (std::is_convertible_v<const T&, std::string_view>) {
        text += std::string_view(value);
    } else if constexpr (std::is_same_v<V, char>) {
        text += value;
    } else if constexpr (std::is_integral_v<V>) {
        text += std::to_string(value);
    } else if constexpr (std::is_floating_point_v<V>) {
        text += describeDouble(static_cast<double>(value));
    } else if constexpr (HasDescription<V>) {
        text += value.description();
    } else if constexpr (requires {
                             typename V::value_type;
                             requires std::is_same_v<V, std::optional<typename V::value_type>>;
                         }) {
        if (value) {
            text += "Optional(";
            appendDescription(text, *value);
            text += ")";
        } else {
            text += "nil";
        }
    } else if constexpr (Streamable<V>) {
        text += describeStreamable([&value](std::ostream& out) { out << value; });
    } else {
        static_assert(Streamable<V>, "sdkLog needs a value with a textual description");
    }
}

}  // namespace detail

// The debug print of the ad network's own messages: "[QORSDK] " followed by the textual
// description of every item, run together with nothing between them, then a line feed, written
// to the console (the host's writer, or standard output). A text a remote party sent goes in
// through platform::consoleText.
template <class... Items>
void sdkLog(const Items&... items) {
    std::string line = "[QORSDK] ";
    (detail::appendDescription(line, items), ...);
    line += '\n';
    writeSDKLogLine(line);
}

}  // namespace qor
