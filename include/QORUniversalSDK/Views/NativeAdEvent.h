#pragma once

#include <concepts>
#include <optional>
#include <string>
#include <utility>
#include <variant>

#include <QORUniversalSDK/Platform/Support/Export.h>
#include <QORUniversalSDK/Views/NativeAd.h>

namespace qor {

// The sizes of a shown ad's images as the bidder gave them.
struct QOR_EXPORT MediaContentData {
    std::optional<NativeAd::ImageMetadata> icon;
    std::optional<NativeAd::ImageMetadata> main;
    bool operator==(const MediaContentData&) const = default;
};

// An event's name and text as a host passes them on.
class QOR_EXPORT EventData {
public:
    EventData(std::string name, std::optional<std::string> message)
        : name_(std::move(name)), message_(std::move(message)) {}
    const std::string& name() const { return name_; }
    const std::optional<std::string>& message() const { return message_; }

private:
    std::string name_;
    std::optional<std::string> message_;
};

// What a native ad view tells its delegate.
class QOR_EXPORT NativeAdEvent {
public:
    // An ad was shown (its images may still be on their way).
    struct AdLoaded {
        MediaContentData mediaContent;
    };
    // Loading failed; the error's text.
    struct AdFailedToLoad {
        std::string message;
    };
    // An image failed: "MainImage" or "IconImage".
    struct AdFailedToLoadAsset {
        std::string asset;
    };
    // The view was tapped.
    struct AdClicked {};
    using Case = std::variant<AdLoaded, AdFailedToLoad, AdFailedToLoadAsset, AdClicked>;

    template <class C>
    requires std::constructible_from<Case, C> NativeAdEvent(C value)
        : value_(std::move(value)) {}  // NOLINT: implicit from a case

    const Case& value() const { return value_; }
    template <class C>
    const C* as() const {
        return std::get_if<C>(&value_);
    }

    // "AD_LOADED", "AD_FAILED_TO_LOAD", "AD_FAILED_TO_LOAD_ASSET" or "AD_CLICKED", with the
    // failure's text as the message.
    EventData data() const;
    // Only for AdLoaded.
    std::optional<MediaContentData> mediaContent() const;

private:
    Case value_;
};

}  // namespace qor
