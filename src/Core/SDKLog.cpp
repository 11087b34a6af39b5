#include "Core/SDKLog.h"

#include <array>
#include <cmath>
#include <sstream>

namespace qor {
namespace detail {

std::string describeDouble(double value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
    std::array<char, 64> buffer{};
    const auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    std::string text(buffer.data(), error == std::errc() ? end : buffer.data());
    // A whole number still reads as a fraction ("1.0"), as the rest of the system prints doubles.
    if (text.find_first_of(".e") == std::string::npos) text += ".0";
    return text;
}

std::string describeStreamable(const std::function<void(std::ostream&)>& write) {
    std::ostringstream out;
    write(out);
    return out.str();
}

}  // namespace detail
}  // namespace qor
