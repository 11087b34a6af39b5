#include "Views/NativeAdEvent.h"

#include "Core/Overloaded.h"

namespace qor {

EventData NativeAdEvent::data() const {
    return std::visit(Overloaded{
                          [](const AdLoaded&) { return EventData("AD_LOADED", std::nullopt); },
                          [](const AdFailedToLoad& c) { return EventData("AD_FAILED_TO_LOAD", c.message); },
                          [](const AdFailedToLoadAsset& c) { return EventData("AD_FAILED_TO_LOAD_ASSET", c.asset); },
                          [](const AdClicked&) { return EventData("AD_CLICKED", std::nullopt); },
                      },
                      value_);
}

std::optional<MediaContentData> NativeAdEvent::mediaContent() const {
    if (const auto* loaded = as<AdLoaded>()) return loaded->mediaContent;
    return std::nullopt;
}

}  // namespace qor
