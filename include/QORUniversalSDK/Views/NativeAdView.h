#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QORUniversalSDK/AdNetwork/AdRequest.h>
#include <QORUniversalSDK/Models/OpenRTB/NativeLink.h>
#include <QORUniversalSDK/Platform/Support/ConstructionKey.h>
#include <QORUniversalSDK/Platform/Support/Export.h>
#include <QORUniversalSDK/Platform/UIKit/UIColor.h>
#include <QORUniversalSDK/Platform/UIKit/UIImageView.h>
#include <QORUniversalSDK/Platform/UIKit/UILabel.h>
#include <QORUniversalSDK/Platform/UIKit/UIView.h>
#include <QORUniversalSDK/Views/NativeAd.h>
#include <QORUniversalSDK/Views/NativeAdLoaderDelegate.h>
#include <QORUniversalSDK/Views/NativeAdViewDelegate.h>

namespace qor {

// A view that shows a native ad in the app's own layout. The app connects its image views and
// labels to the outlets, calls loadAd and hears back through its delegate: AdLoaded once the
// outlets are filled (before downloaded images arrive), AdFailedToLoad, AdFailedToLoadAsset per
// image that failed, and AdClicked on every tap. A tap also fires the ad's first click tracker
// and opens its link (or fallback), or hands the link's text to onAdClickAction when set.
//
// A UI object: make, change and read it on the main thread; every delegate call and the click
// action run there. The delegate is held strongly; outlets are held weakly (the view hierarchy
// keeps them): connecting one makes it a direct subview, and connecting nothing is ignored.
class QOR_EXPORT NativeAdView : public platform::UIView, public NativeAdLoaderDelegate {
public:
    using ClickAction = std::function<void(const std::string&)>;
    using ImageOutlet = std::shared_ptr<platform::UIImageView>;
    using LabelOutlet = std::shared_ptr<platform::UILabel>;

    static constexpr const char* unknownErrorMessage = "Unknown Error";
    static constexpr const char* mainImageAsset = "MainImage";
    static constexpr const char* iconImageAsset = "IconImage";

    // With its tap recogniser installed.
    static std::shared_ptr<NativeAdView> make(platform::CGRect frame = {});
    NativeAdView(platform::ConstructionKey<NativeAdView>, platform::CGRect frame) : UIView(frame) {}

    // The shown ad's link, trackers and request id; absent until an ad is shown.
    const std::optional<Link>& link() const { return link_; }
    const std::optional<std::vector<EventTracker>>& eventTrackers() const { return eventTrackers_; }
    const std::optional<std::string>& requestId() const { return requestId_; }

    // The layer's corner radius; a positive one also clips to the bounds.
    double cornerRadius() const { return layer().cornerRadius; }
    void setCornerRadius(double radius);
    double borderWidth() const { return layer().borderWidth; }
    void setBorderWidth(double width) { layer().borderWidth = width; }
    // Nothing when no border colour was set.
    std::optional<platform::UIColor> borderColor() const;
    void setBorderColor(const std::optional<platform::UIColor>& color);

    // Outlets.
    ImageOutlet iconImage() const { return iconImage_.lock(); }
    void setIconImage(const ImageOutlet& view) { connect(iconImage_, view); }
    ImageOutlet mainImage() const { return mainImage_.lock(); }
    void setMainImage(const ImageOutlet& view) { connect(mainImage_, view); }
    LabelOutlet title() const { return title_.lock(); }
    void setTitle(const LabelOutlet& view) { connect(title_, view); }
    LabelOutlet desc() const { return desc_.lock(); }
    void setDesc(const LabelOutlet& view) { connect(desc_, view); }
    LabelOutlet ctaDescription() const { return ctaDescription_.lock(); }
    void setCtaDescription(const LabelOutlet& view) { connect(ctaDescription_, view); }
    LabelOutlet sponsored() const { return sponsored_.lock(); }
    void setSponsored(const LabelOutlet& view) { connect(sponsored_, view); }
    LabelOutlet rating() const { return rating_.lock(); }
    void setRating(const LabelOutlet& view) { connect(rating_, view); }
    LabelOutlet likes() const { return likes_.lock(); }
    void setLikes(const LabelOutlet& view) { connect(likes_, view); }
    LabelOutlet downloads() const { return downloads_.lock(); }
    void setDownloads(const LabelOutlet& view) { connect(downloads_, view); }
    LabelOutlet price() const { return price_.lock(); }
    void setPrice(const LabelOutlet& view) { connect(price_, view); }
    LabelOutlet salePrice() const { return salePrice_.lock(); }
    void setSalePrice(const LabelOutlet& view) { connect(salePrice_, view); }
    LabelOutlet phone() const { return phone_.lock(); }
    void setPhone(const LabelOutlet& view) { connect(phone_, view); }
    LabelOutlet address() const { return address_.lock(); }
    void setAddress(const LabelOutlet& view) { connect(address_, view); }
    LabelOutlet additionalDesc() const { return additionalDesc_.lock(); }
    void setAdditionalDesc(const LabelOutlet& view) { connect(additionalDesc_, view); }
    LabelOutlet displayUrl() const { return displayUrl_.lock(); }
    void setDisplayUrl(const LabelOutlet& view) { connect(displayUrl_, view); }

    // Connects the outlet of that name ("iconImage", "title", ...) when the view is of the
    // outlet's kind; false for an unknown name or a view of another kind.
    bool connectOutlet(std::string_view name, const std::shared_ptr<platform::UIView>& view);
    // The names of every outlet, image views first.
    static const std::vector<std::string_view>& outletNames();

    const std::shared_ptr<NativeAdViewDelegate>& delegate() const { return delegate_; }
    void setDelegate(std::shared_ptr<NativeAdViewDelegate> delegate) { delegate_ = std::move(delegate); }
    const ClickAction& onAdClickAction() const { return onAdClickAction_; }
    void setOnAdClickAction(ClickAction action) { onAdClickAction_ = std::move(action); }

    // Loads one ad with a loader of its own; earlier loads are not cancelled, and each answer
    // is applied as it arrives.
    void loadAd(std::int64_t adUnitID, const AdRequest& adRequest);

    // The tap action.
    void onClicked();
    // Adds one more tap recogniser.
    void prepareForInterfaceBuilder() override;

    // As the loader's delegate (the unit id is not used).
    void nativeAdLoader(std::int64_t adUnitID, const std::shared_ptr<NativeAd>& nativeAd) override;
    void nativeAdLoader(std::int64_t adUnitID, const QORSDKError& error) override;

private:
    friend struct NativeAdViewOutlets;

    template <class View>
    void connect(std::weak_ptr<View>& outlet, const std::shared_ptr<View>& view);
    void addTapRecognizer();
    void bindNativeAd(const NativeAd& nativeAd);
    void bindImage(const std::weak_ptr<platform::UIImageView>& outlet, const std::optional<std::string>& url,
                   const char* asset);
    void send(const NativeAdEvent& event);

    std::optional<Link> link_;
    std::optional<std::vector<EventTracker>> eventTrackers_;
    std::optional<std::string> requestId_;
    std::weak_ptr<platform::UIImageView> iconImage_;
    std::weak_ptr<platform::UIImageView> mainImage_;
    std::weak_ptr<platform::UILabel> title_;
    std::weak_ptr<platform::UILabel> desc_;
    std::weak_ptr<platform::UILabel> ctaDescription_;
    std::weak_ptr<platform::UILabel> sponsored_;
    std::weak_ptr<platform::UILabel> rating_;
    std::weak_ptr<platform::UILabel> likes_;
    std::weak_ptr<platform::UILabel> downloads_;
    std::weak_ptr<platform::UILabel> price_;
    std::weak_ptr<platform::UILabel> salePrice_;
    std::weak_ptr<platform::UILabel> phone_;
    std::weak_ptr<platform::UILabel> address_;
    std::weak_ptr<platform::UILabel> additionalDesc_;
    std::weak_ptr<platform::UILabel> displayUrl_;
    std::shared_ptr<NativeAdViewDelegate> delegate_;
    ClickAction onAdClickAction_;
};

template <class View>
void NativeAdView::connect(std::weak_ptr<View>& outlet, const std::shared_ptr<View>& view) {
    // Nothing, or a view that contains this one, cannot become its subview.
    if (!view || isDescendant(*view)) return;
    outlet = view;
    addSubview(view);
}

}  // namespace qor
