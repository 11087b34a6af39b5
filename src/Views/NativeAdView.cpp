#include "Views/NativeAdView.h"

#include <array>
#include <utility>

#include "Platform/UIKit/UIApplication.h"
#include "Platform/UIKit/UITapGestureRecognizer.h"
#include "Views/DelegateCall.h"
#include "Views/ImageManager.h"
#include "Views/NativeAdLoader.h"
#include "Views/NativeTrackers.h"

namespace qor {

struct NativeAdViewOutlets {
    using Text = const std::optional<std::string>& (NativeAd::*)() const;
    struct ImageBinding {
        std::string_view name;
        std::weak_ptr<platform::UIImageView> NativeAdView::*outlet;
    };
    struct LabelBinding {
        std::string_view name;
        std::weak_ptr<platform::UILabel> NativeAdView::*outlet;
    };
    static constexpr std::array<ImageBinding, 2> images{{
        {"iconImage", &NativeAdView::iconImage_},
        {"mainImage", &NativeAdView::mainImage_},
    }};
    struct Label {
        LabelBinding binding;
        Text text;
    };
    static constexpr std::array<Label, 13> labels{{
        {{"title", &NativeAdView::title_}, &NativeAd::title},
        {{"desc", &NativeAdView::desc_}, &NativeAd::description},
        {{"ctaDescription", &NativeAdView::ctaDescription_}, &NativeAd::ctaDescription},
        {{"sponsored", &NativeAdView::sponsored_}, &NativeAd::sponsored},
        {{"rating", &NativeAdView::rating_}, &NativeAd::rating},
        {{"likes", &NativeAdView::likes_}, &NativeAd::likes},
        {{"downloads", &NativeAdView::downloads_}, &NativeAd::downloads},
        {{"price", &NativeAdView::price_}, &NativeAd::price},
        {{"salePrice", &NativeAdView::salePrice_}, &NativeAd::salePrice},
        {{"phone", &NativeAdView::phone_}, &NativeAd::phone},
        {{"address", &NativeAdView::address_}, &NativeAd::address},
        {{"additionalDesc", &NativeAdView::additionalDesc_}, &NativeAd::additionalDescription},
        {{"displayUrl", &NativeAdView::displayUrl_}, &NativeAd::displayUrl},
    }};
};

std::shared_ptr<NativeAdView> NativeAdView::make(platform::CGRect frame) {
    auto view = std::make_shared<NativeAdView>(platform::ConstructionKey<NativeAdView>{}, frame);
    view->addTapRecognizer();
    return view;
}

void NativeAdView::addTapRecognizer() {
    auto self = std::static_pointer_cast<NativeAdView>(shared_from_this());
    addGestureRecognizer(std::make_shared<platform::UITapGestureRecognizer>(self, &NativeAdView::onClicked));
}

void NativeAdView::prepareForInterfaceBuilder() {
    UIView::prepareForInterfaceBuilder();
    addTapRecognizer();
}

void NativeAdView::setCornerRadius(double radius) {
    layer().cornerRadius = radius;
    layer().masksToBounds = radius > 0;
}

std::optional<platform::UIColor> NativeAdView::borderColor() const {
    if (!layer().borderColor) return std::nullopt;
    return platform::UIColor(*layer().borderColor);
}

void NativeAdView::setBorderColor(const std::optional<platform::UIColor>& color) {
    layer().borderColor = color ? std::optional(color->cgColor()) : std::nullopt;
}

bool NativeAdView::connectOutlet(std::string_view name, const std::shared_ptr<platform::UIView>& view) {
    for (const auto& image : NativeAdViewOutlets::images) {
        if (image.name != name) continue;
        auto imageView = std::dynamic_pointer_cast<platform::UIImageView>(view);
        if (!imageView) return false;
        connect(this->*image.outlet, imageView);
        return true;
    }
    for (const auto& label : NativeAdViewOutlets::labels) {
        if (label.binding.name != name) continue;
        auto labelView = std::dynamic_pointer_cast<platform::UILabel>(view);
        if (!labelView) return false;
        connect(this->*label.binding.outlet, labelView);
        return true;
    }
    return false;
}

const std::vector<std::string_view>& NativeAdView::outletNames() {
    static const auto names = [] {
        std::vector<std::string_view> all;
        for (const auto& image : NativeAdViewOutlets::images) all.push_back(image.name);
        for (const auto& label : NativeAdViewOutlets::labels) all.push_back(label.binding.name);
        return all;
    }();
    return names;
}

void NativeAdView::loadAd(std::int64_t adUnitID, const AdRequest& adRequest) {
    const auto loader = NativeAdLoader::make(adUnitID);
    loader->setDelegate(std::static_pointer_cast<NativeAdView>(shared_from_this()));
    loader->loadNativeAd(adRequest);
}

void NativeAdView::nativeAdLoader(std::int64_t /*adUnitID*/, const std::shared_ptr<NativeAd>& nativeAd) {
    bindNativeAd(*nativeAd);
    send(NativeAdEvent::AdLoaded{MediaContentData{nativeAd->iconImageMetadata(), nativeAd->mainImageMetadata()}});
}

void NativeAdView::nativeAdLoader(std::int64_t /*adUnitID*/, const QORSDKError& error) {
    send(NativeAdEvent::AdFailedToLoad{error.errorDescription().value_or(unknownErrorMessage)});
}

void NativeAdView::bindNativeAd(const NativeAd& nativeAd) {
    link_ = nativeAd.link();
    requestId_ = nativeAd.requestId();
    eventTrackers_ = nativeAd.eventTrackers();
    bindImage(mainImage_, nativeAd.mainImageUrl(), mainImageAsset);
    bindImage(iconImage_, nativeAd.iconUrl(), iconImageAsset);
    for (const auto& label : NativeAdViewOutlets::labels) {
        const auto view = (this->*label.binding.outlet).lock();
        if (!view) continue;
        const auto& text = (nativeAd.*label.text)();
        // The sponsor line shows only for an ad that has one.
        if (label.binding.outlet == &NativeAdView::sponsored_) view->setHidden(!text.has_value());
        if (text) view->setText(*text);
    }
}

void NativeAdView::bindImage(const std::weak_ptr<platform::UIImageView>& outlet, const std::optional<std::string>& url,
                             const char* asset) {
    const auto imageView = outlet.lock();
    if (!imageView || !url) return;
    std::weak_ptr<NativeAdView> weakSelf = std::static_pointer_cast<NativeAdView>(shared_from_this());
    const auto failed = [weakSelf, asset] {
        if (const auto self = weakSelf.lock()) self->send(NativeAdEvent::AdFailedToLoadAsset{asset});
    };
    const auto parsed = platform::URL::make(*url);
    if (!parsed) {
        failed();
        return;
    }
    ImageManager::shared().loadImage(*parsed, CallbackQueue::currentMainOrAsync{},
                                     [imageView, failed](const ImageResult& result) {
                                         if (const auto* image = result.valueIf()) {
                                             imageView->setImage(*image);
                                         } else {
                                             failed();
                                         }
                                     });
}

void NativeAdView::onClicked() {
    send(NativeAdEvent::AdClicked{});
    if (!link_) return;
    fireClickTracker(*link_, requestId_);
    const auto destination = clickDestination(*link_);
    if (!destination) return;
    if (onAdClickAction_) {
        onAdClickAction_(destination->second);
    } else {
        platform::UIApplication::shared()->open(destination->first);
    }
}

void NativeAdView::send(const NativeAdEvent& event) {
    const auto keepAlive = shared_from_this();  // the delegate may let go of the view
    callDelegate(delegate_, &NativeAdViewDelegate::onNativeAdViewEvent, *this, event);
}

}  // namespace qor
