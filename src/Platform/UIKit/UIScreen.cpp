#include "Platform/UIKit/UIScreen.h"

#include "Platform/Support/SharedDeviceProfile.h"

namespace qor::platform {

std::shared_ptr<UIScreen> UIScreen::main() {
    static const auto* screen = new std::shared_ptr<UIScreen>(std::make_shared<UIScreen>());
    return *screen;
}

CGRect UIScreen::bounds() const {
    const auto screen = sharedDeviceProfile()->mainScreen;
    return CGRect{CGPoint{0, 0}, CGSize{screen.width, screen.height}};
}

double UIScreen::scale() const { return sharedDeviceProfile()->mainScreen.scale; }

double UIScreen::nativeScale() const { return sharedDeviceProfile()->mainScreen.nativeScale; }

void UIScreen::setBoundsSize(CGSize size) {
    updateDeviceProfile([size](DeviceProfile& profile) {
        profile.mainScreen.width = size.width;
        profile.mainScreen.height = size.height;
    });
}

}  // namespace qor::platform
