#include "Platform/UIKit/UIScreen.h"

#include "Platform/Support/DeviceProfile.h"

namespace qor::platform {

std::shared_ptr<UIScreen> UIScreen::main() {
    static const auto* screen = new std::shared_ptr<UIScreen>(std::make_shared<UIScreen>());
    return *screen;
}

CGRect UIScreen::bounds() const {
    const auto screen = currentDeviceProfile().mainScreen;
    return CGRect{CGPoint{0, 0}, CGSize{screen.width, screen.height}};
}

double UIScreen::scale() const { return currentDeviceProfile().mainScreen.scale; }

double UIScreen::nativeScale() const { return currentDeviceProfile().mainScreen.nativeScale; }

void UIScreen::setBoundsSize(CGSize size) {
    updateDeviceProfile([size](DeviceProfile& profile) {
        profile.mainScreen.width = size.width;
        profile.mainScreen.height = size.height;
    });
}

}  // namespace qor::platform
