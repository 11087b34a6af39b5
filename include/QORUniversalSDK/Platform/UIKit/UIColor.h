#pragma once

#include <QORUniversalSDK/Platform/Support/Export.h>

namespace qor::platform {

// A colour as its components, each from 0 to 1 (sRGB).
struct CGColor {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 0;
    friend bool operator==(const CGColor&, const CGColor&) = default;
};

// A colour value for views and layers; copied freely.
class QOR_EXPORT UIColor {
public:
    constexpr UIColor(double red, double green, double blue, double alpha) : components_{red, green, blue, alpha} {}
    constexpr explicit UIColor(CGColor color) : components_(color) {}

    static constexpr UIColor clear() { return {0, 0, 0, 0}; }
    static constexpr UIColor black() { return {0, 0, 0, 1}; }
    static constexpr UIColor white() { return {1, 1, 1, 1}; }
    static constexpr UIColor blue() { return {0, 0, 1, 1}; }

    constexpr CGColor cgColor() const { return components_; }

    friend bool operator==(const UIColor&, const UIColor&) = default;

private:
    CGColor components_;
};

}  // namespace qor::platform
