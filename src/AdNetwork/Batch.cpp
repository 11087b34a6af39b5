#include "AdNetwork/Batch.h"

#include "Core/SDKLog.h"
#include "Models/OpenRTB/BundleReaders.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Date.h"
#include "Platform/Foundation/Locale.h"
#include "Platform/Foundation/TimeZone.h"
#include "Platform/UIKit/UIDevice.h"
#include "Platform/UIKit/UIScreen.h"

namespace qor {

namespace {

constexpr const char* unknownValue = "unknown";

template <class Payload>
bool holds(const std::optional<AdData>& data) {
    return data && data->as<Payload>() != nullptr;
}

bool payloadFits(BatchType kind, const std::optional<AdData>& data) {
    switch (kind) {
        case BatchType::bidRequest:
            return holds<BidRequest>(data);
        case BatchType::bidResponse:
            return holds<BidResponse>(data) || holds<AdData::EncodedBidResponse>(data);
        case BatchType::bidError:
            return holds<AdData::BidError>(data);
        case BatchType::bidWinner:
            return holds<AdData::BidWinner>(data);
    }
    return false;
}

}  // namespace

void Batch::fillBatchAdData(BatchType kind, std::optional<AdData> data) {
    if (payloadFits(kind, data)) context.adData = std::move(data);
}

Batch::Context makeBatchContext() {
    Batch::Context context;
    const auto bundle = platform::Bundle::main();
    // "build" carries the short version and "version" the bundle version, as the collection
    // endpoint has always received them.
    context.app.build = appVersion(*bundle).value_or(unknownValue);
    context.app.name = appName(*bundle).value_or(unknownValue);
    context.app.namespace_ = bundle->bundleIdentifier().value_or(unknownValue);
    context.app.version = appBuild(*bundle).value_or(unknownValue);

    const auto device = platform::UIDevice::current();
    context.device.id = device->identifierForVendor().value_or(unknownValue);
    context.device.manufacturer = "Apple";
    context.device.model = device->model();
    context.device.name = device->name();
    context.device.type = device->systemName();

    const auto languages = platform::Locale::preferredLanguages();
    context.locale = languages.empty() ? "en-US" : languages.front();

    const auto bounds = platform::UIScreen::main()->bounds();
    context.screen.width = detail::describeDouble(bounds.width());
    context.screen.height = detail::describeDouble(bounds.height());
    context.timezone = platform::TimeZone::current().identifier;
    return context;
}

std::string batchTimestamp() { return platform::localDateTimeString(platform::Date::now()); }

}  // namespace qor
