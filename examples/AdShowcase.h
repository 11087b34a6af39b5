#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "AdFormat.h"
#include "Platform/UIKit/UIViewController.h"
#include "WireLog.h"

namespace qor::example {

// What became of one ad the app loaded and showed.
struct ShownAd {
    AdFormat format = AdFormat::banner;
    std::int64_t unit = 0;
    bool shown = false;
    std::string outcome;              // what the app saw, or why it could not show the ad
    std::optional<std::string> page;  // the HTML page a web ad showed
    // Its stretch of the wire log: the exchanges that finished while it loaded and showed.
    std::size_t firstExchange = 0;
    std::size_t endExchange = 0;
};

// Loads one ad of the format through the SDK's public calls and shows it through the headless
// views as an app does: a banner in the app's screen, a full-screen ad presented from the root
// controller and closed by its page, a native ad in a template view and tapped, a video ad's tag
// handed to the app's player. Returns once its trackers have been answered. Main thread only.
ShownAd showAd(AdFormat format, const WireLog& wire, const std::shared_ptr<platform::UIViewController>& root);

}  // namespace qor::example
