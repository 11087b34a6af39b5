#pragma once

#include <string>
#include <string_view>
#include <variant>

#include <QORUniversalSDK/Platform/Support/Export.h>

namespace qor {

// The size of a web-rendered ad slot in points: one of the named sizes, or any width and height.
// A plain value; copy it freely between threads.
class QOR_EXPORT AdSize {
public:
    struct Frame {
        double width = 0;
        double height = 0;
        bool operator==(const Frame&) const = default;
    };

    static AdSize forCustom(double width, double height) { return AdSize(Custom{width, height}); }
    static AdSize banner() { return AdSize(Named::banner); }
    static AdSize fullBanner() { return AdSize(Named::fullBanner); }
    static AdSize largeBanner() { return AdSize(Named::largeBanner); }
    static AdSize rectangle() { return AdSize(Named::rectangle); }
    static AdSize mediumRectangle() { return AdSize(Named::mediumRectangle); }
    static AdSize video() { return AdSize(Named::video); }

    // One of the six names, exactly; else "<width>x<height>" split at the lower-case "x", each
    // part a plain decimal number. Throws QORSDKError "Invalid Ad size. It must be widthxheight
    // format" for anything else. A custom size never comes back from its name.
    explicit AdSize(std::string_view name);

    Frame frame() const;
    // The case's name; "custom width height" for every custom size.
    std::string name() const;
    // Width divided by height, plainly: a height of 0 gives infinity or not-a-number.
    double ratio() const;
    bool isCustom() const { return std::holds_alternative<Custom>(value_); }

    bool operator==(const AdSize&) const = default;

    static constexpr const char* invalidSizeMessage = "Invalid Ad size. It must be widthxheight format";
    static constexpr const char* customName = "custom width height";

private:
    enum class Named { banner, fullBanner, largeBanner, rectangle, mediumRectangle, video };
    struct Custom {
        double width = 0;
        double height = 0;
        bool operator==(const Custom&) const = default;
    };

    explicit AdSize(Named named) : value_(named) {}
    explicit AdSize(Custom custom) : value_(custom) {}

    std::variant<Custom, Named> value_;
};

}  // namespace qor
