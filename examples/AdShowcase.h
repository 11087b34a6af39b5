#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QORUniversalSDK/QORUniversalSDK.h>

#include "AdFormat.h"
#include "Judgement.h"

namespace qor::example {

// How often a load reached its delegate with its end, loaded or failed. The delegates go on
// counting as long as the ad's objects live, so a late second report is heard too.
struct LoadReports {
    int count = 0;
    std::optional<std::string> failure;  // the last failure reported

    void loaded() { count += 1; }
    void failed(std::string message) {
        count += 1;
        failure = std::move(message);
    }
};

// One ad the app loaded and showed.
struct ShownAd {
    AdFormat format = AdFormat::banner;
    std::int64_t unit = 0;
    std::shared_ptr<LoadReports> reports = std::make_shared<LoadReports>();
    std::vector<std::shared_ptr<void>> objects;  // the ad's views, loaders and delegates, kept to the end
    bool shown = false;
    bool tapped = false;
    std::string outcome;              // what the app saw, or why it could not show the ad
    std::optional<std::string> page;  // the HTML page a web ad showed

    LoadSeen seen() const;
};

// Loads one ad of the format through the SDK's public calls and shows it through the headless
// views as an app does: a banner in the app's screen, a full-screen ad presented from the root
// controller and closed with its page's close control (by the app when the page has none), a
// native ad in a template view and tapped, a video ad's tag handed to the app's player. Returns once the ad is shown or
// has failed. Main thread only.
ShownAd showAd(AdFormat format, const std::shared_ptr<platform::UIViewController>& root);

}  // namespace qor::example
