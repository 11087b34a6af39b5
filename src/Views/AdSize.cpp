#include "Views/AdSize.h"

#include <array>
#include <optional>
#include <utility>

#include "Networking/Client/QORSDKError.h"
#include "Platform/Foundation/NumberFormatter.h"

namespace qor {
namespace {

struct NamedSize {
    std::string_view name;
    AdSize::Frame frame;
};

// In the order the cases are declared.
constexpr std::array<NamedSize, 6> namedSizes{{
    {"banner", {320, 50}},
    {"fullBanner", {468, 60}},
    {"largeBanner", {320, 100}},
    {"rectangle", {250, 250}},
    {"mediumRectangle", {300, 250}},
    {"video", {480, 360}},
}};

[[noreturn]] void throwInvalidSize() {
    throw QORSDKError(
        QORSDKError::generalError{QORSDKError::GeneralErrorReason::coreError{AdSize::invalidSizeMessage}});
}

}  // namespace

AdSize::AdSize(std::string_view name) : value_(Named::banner) {
    for (std::size_t index = 0; index < namedSizes.size(); ++index) {
        if (namedSizes[index].name == name) {
            value_ = static_cast<Named>(index);
            return;
        }
    }
    const auto separator = name.find('x');
    if (separator == std::string_view::npos || name.find('x', separator + 1) != std::string_view::npos) {
        throwInvalidSize();
    }
    const platform::NumberFormatter formatter;
    const auto width = formatter.number(name.substr(0, separator));
    const auto height = formatter.number(name.substr(separator + 1));
    if (!width || !height) throwInvalidSize();
    value_ = Custom{*width, *height};
}

AdSize::Frame AdSize::frame() const {
    if (const auto* custom = std::get_if<Custom>(&value_)) return {custom->width, custom->height};
    return namedSizes[static_cast<std::size_t>(std::get<Named>(value_))].frame;
}

std::string AdSize::name() const {
    if (isCustom()) return customName;
    return std::string(namedSizes[static_cast<std::size_t>(std::get<Named>(value_))].name);
}

double AdSize::ratio() const {
    const auto size = frame();
    return size.width / size.height;
}

}  // namespace qor
