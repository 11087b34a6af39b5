#include "Models/OpenRTB/DeviceFacts.h"
#include "Platform/CoreTelephony/CTTelephonyNetworkInfo.h"
#include "Platform/Foundation/Locale.h"
#include "Platform/Support/SharedDeviceProfile.h"
#include "Platform/UIKit/UIDevice.h"
#include "Platform/UIKit/UIScreen.h"

namespace qor {

DeviceHardwareFacts DeviceHardwareFacts::current() {
    const auto device = platform::UIDevice::current();
    const auto screen = platform::UIScreen::main();
    DeviceHardwareFacts facts;
    facts.model = device->model();
    facts.systemName = device->systemName();
    facts.systemVersion = device->systemVersion();
    facts.name = device->name();
    const auto bounds = screen->bounds();
    facts.screenHeight = bounds.height();
    facts.screenWidth = bounds.width();
    facts.scale = screen->scale();
    facts.padIdiom = device->userInterfaceIdiom() == platform::UIUserInterfaceIdiom::pad;
    facts.nativeScale = screen->nativeScale();
    facts.preferredLanguages = platform::Locale::preferredLanguages();
    return facts;
}

DeviceFacts DeviceFacts::current() {
    DeviceFacts facts;
    facts.hardware = DeviceHardwareFacts::current();
    // What a freshly made web view reports as its user agent.
    facts.webViewUserAgent = platform::sharedDeviceProfile()->webViewUserAgent;
    const auto telephony = platform::CTTelephonyNetworkInfo::make();
    facts.cellularProviders = telephony->serviceSubscriberCellularProviders();
    facts.radioAccessTechnology = telephony->serviceCurrentRadioAccessTechnology();
    facts.connection = VendorSystem::current()->connection();
    return facts;
}

}  // namespace qor
