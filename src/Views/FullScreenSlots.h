#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "AdNetwork/AdRequest.h"
#include "AdNetwork/AdType.h"
#include "Models/OpenRTB/Bid.h"
#include "Platform/UIKit/UIViewController.h"
#include "Views/AdSize.h"
#include "Views/InterstitialFullScreen.h"

// The load and presentation the two full-screen formats share, with the process-wide slots that
// keep each format's last winning bid between its load and its presentation.
namespace qor {

// The last successful load of a format: its bid and the size the load asked for, always written
// together. Each format has its own pair for the life of the process.
struct FullScreenSlots {
    std::optional<Bid> bid;
    std::optional<AdSize> size;
};

FullScreenSlots fullScreenSlots(FullScreenFormat format);
void storeFullScreenSlots(FullScreenFormat format, Bid bid, AdSize size);
// Empties the format's slots, for a host or test that starts over.
void clearFullScreenSlots(FullScreenFormat format);

// Loads the format's unit, sized by the unit's metadata, and keeps the winning bid (its markup
// fetched first when it is an openable URL) in the format's slots. The completion gets nothing on
// success, else the error. Container and inventory failures, and the engine's own check
// failures, reach it at once on the calling thread; everything else later on the main thread.
// The process stops before start-up.
using FullScreenLoadCompletion = std::function<void(const std::optional<FullScreenAdError>& error)>;
void loadFullScreenAd(FullScreenFormat format, std::int64_t adUnitID, std::optional<AdType> adType,
                      const std::optional<AdRequest>& context, FullScreenLoadCompletion completion);

// Hops to the main queue; there, presents the controller from the root full-screen without
// animation when the format has a loaded ad and the root presents nothing yet, else runs
// `notPresented` with the reason.
void presentFullScreenAd(FullScreenFormat format, std::shared_ptr<platform::UIViewController> rootController,
                         std::function<std::shared_ptr<FullScreenAdViewController>()> makeController,
                         std::function<void(const std::string&)> notPresented);

}  // namespace qor
