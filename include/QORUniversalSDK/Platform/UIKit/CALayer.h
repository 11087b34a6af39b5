#pragma once

#include <optional>

#include <QORUniversalSDK/Platform/UIKit/UIColor.h>

namespace qor::platform {

// The drawing attributes of a view that its layer keeps. Nothing is drawn; the values are kept
// for whoever reads them. Part of its view: main thread only.
struct CALayer {
    double cornerRadius = 0;
    bool masksToBounds = false;
    double borderWidth = 0;
    std::optional<CGColor> borderColor;  // none: no border colour
};

}  // namespace qor::platform
