#include "Platform/CoreTelephony/CTTelephonyNetworkInfo.h"

#include "Platform/Support/SharedDeviceProfile.h"

namespace qor::platform {

std::shared_ptr<CTTelephonyNetworkInfo> CTTelephonyNetworkInfo::make() {
    return std::make_shared<CTTelephonyNetworkInfo>();
}

std::optional<std::map<std::string, CTCarrier>> CTTelephonyNetworkInfo::serviceSubscriberCellularProviders() const {
    return sharedDeviceProfile()->cellularProviders;
}

std::optional<std::map<std::string, std::string>> CTTelephonyNetworkInfo::serviceCurrentRadioAccessTechnology() const {
    return sharedDeviceProfile()->radioAccessTechnologies;
}

}  // namespace qor::platform
