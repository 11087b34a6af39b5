#include "Views/NativeTrackers.h"

#include "AdNetwork/AdController.h"
#include "AdNetwork/AdNetworkApiClient.h"
#include "Platform/Support/ASCIIText.h"
#include "Platform/UIKit/UIApplication.h"

namespace qor {

namespace {

constexpr std::string_view requestIdPlaceholder = "{{REQUEST_ID}}";

std::optional<std::pair<platform::URL, std::string>> openable(const std::string& text) {
    auto url = platform::URL::make(text);
    const auto application = platform::UIApplication::shared();
    if (!url || !application || !application->canOpenURL(*url)) return std::nullopt;
    return std::pair{std::move(*url), text};
}

}  // namespace

std::string replacingRequestId(std::string text, const std::optional<std::string>& requestId) {
    if (!requestId) return text;
    return platform::replacingOccurrences(std::move(text), requestIdPlaceholder, *requestId);
}

void fireTracker(const std::string& url, const std::optional<std::string>& requestId, AdTrackerType kind) {
    AdController::sharedInstance();  // the start-up guard
    AdNetworkApiClient::shared().fireTracker(replacingRequestId(url, requestId), [kind](const auto& result) {
        AdNetworkApiClient::trackerCompletion(kind, result);
    });
}

void fireClickTracker(const Link& link, const std::optional<std::string>& requestId) {
    if (!link.clickTrackers || link.clickTrackers->empty() || !requestId) return;
    fireTracker(link.clickTrackers->front(), requestId, AdTrackerType::clicked);
}

std::optional<std::pair<platform::URL, std::string>> clickDestination(const Link& link) {
    if (auto target = openable(link.url)) return target;
    if (link.fallbackURL) return openable(*link.fallbackURL);
    return std::nullopt;
}

}  // namespace qor
