#pragma once

#include <memory>

#include "Platform/UIKit/CGGeometry.h"

namespace qor::platform {

// The main screen, answered from the device profile at each read.
class UIScreen {
public:
    static std::shared_ptr<UIScreen> main();

    CGRect bounds() const;  // origin 0,0; size in points
    double scale() const;
    double nativeScale() const;

    // Sets the size of the screen in the device profile (see DeviceProfile.h). Any thread.
    void setBoundsSize(CGSize size);
};

}  // namespace qor::platform
