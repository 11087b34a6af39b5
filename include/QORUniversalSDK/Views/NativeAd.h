#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QORUniversalSDK/Models/OpenRTB/NativeAdResponse.h>
#include <QORUniversalSDK/Models/OpenRTB/NativeLink.h>
#include <QORUniversalSDK/Networking/Client/Result.h>
#include <QORUniversalSDK/Platform/Foundation/Coding/Codable.h>
#include <QORUniversalSDK/Platform/Foundation/URL.h>
#include <QORUniversalSDK/Platform/Support/ConstructionKey.h>
#include <QORUniversalSDK/Platform/Support/Export.h>
#include <QORUniversalSDK/Platform/UIKit/UIImage.h>

namespace qor {

// One loaded native ad: the texts, image URLs, video tag and click link of the winning native
// response, filed by their asset ids (1 icon, 2 main image, 3 title, 4 description, 5 call to
// action, 6 sponsored, 7 video, 8 to 16 the other data texts). Built complete by the native
// loader and never changed afterwards; every field may be absent.
class QOR_EXPORT NativeAd {
public:
    // An image's URL with its size in pixels as the bidder gave it.
    struct ImageMetadata {
        std::string url;
        double width = 0;
        double height = 0;

        void encode(KeyedEncodingContainer& c) const;
        static ImageMetadata decode(const KeyedDecodingContainer& c);
        bool operator==(const ImageMetadata&) const = default;
    };

    using ImageCompletion = std::function<void(const Result<std::shared_ptr<platform::UIImage>>&)>;
    // Receives the URL a click goes to (nothing when there is none) and answers whether the
    // framework should open it.
    using ClickHandler = std::function<bool(const std::optional<platform::URL>&)>;

    static constexpr const char* invalidMainImageMessage = "Invalid main image URL";
    static constexpr const char* invalidIconImageMessage = "Invalid icon image URL";

    // Made by the native loader from the winning bid's request id and its decoded markup.
    static std::shared_ptr<NativeAd> make(std::optional<std::string> requestId, const NativeAdResponse& response);

    const std::optional<std::string>& iconUrl() const { return iconUrl_; }
    const std::optional<std::string>& mainImageUrl() const { return mainImageUrl_; }
    const std::optional<std::string>& title() const { return title_; }
    const std::optional<std::string>& description() const { return description_; }
    const std::optional<std::string>& ctaDescription() const { return ctaDescription_; }
    const std::optional<std::string>& sponsored() const { return sponsored_; }
    const std::optional<std::string>& videoVastTag() const { return videoVastTag_; }
    const std::optional<std::string>& rating() const { return rating_; }
    const std::optional<std::string>& likes() const { return likes_; }
    const std::optional<std::string>& downloads() const { return downloads_; }
    const std::optional<std::string>& price() const { return price_; }
    const std::optional<std::string>& phone() const { return phone_; }
    const std::optional<std::string>& salePrice() const { return salePrice_; }
    const std::optional<std::string>& address() const { return address_; }
    const std::optional<std::string>& additionalDescription() const { return additionalDescription_; }
    const std::optional<std::string>& displayUrl() const { return displayUrl_; }
    const std::optional<Link>& link() const { return link_; }
    const std::optional<std::vector<EventTracker>>& eventTrackers() const { return eventTrackers_; }
    const std::optional<std::string>& requestId() const { return requestId_; }
    const std::optional<ImageMetadata>& mainImageMetadata() const { return mainImageMetadata_; }
    const std::optional<ImageMetadata>& iconImageMetadata() const { return iconImageMetadata_; }

    // A tap on the ad: fires the link's first click tracker (when the ad has a request id), then
    // hands the link's URL, else its fallback (the first that parses and can be opened), to the
    // handler, which is called exactly once before this returns; when it answers true the URL is
    // opened. Without a link the handler gets nothing and nothing is fired. Main thread; stops
    // the process when a tracker is due before start-up.
    void performAdClicked(const ClickHandler& completionHandler) const;

    // The main image or the icon through the shared image loader. An absent or unparsable URL
    // fails at once, on the caller's thread; otherwise the completion runs on the main thread
    // (before this returns for a cached image asked for on the main thread).
    void getMainImage(ImageCompletion completion) const;
    void getIconImage(ImageCompletion completion) const;

    explicit NativeAd(platform::ConstructionKey<NativeAd>) {}

private:
    void fileResponseAsset(const Asset::Response& asset);

    std::optional<std::string> iconUrl_;
    std::optional<std::string> mainImageUrl_;
    std::optional<std::string> title_;
    std::optional<std::string> description_;
    std::optional<std::string> ctaDescription_;
    std::optional<std::string> sponsored_;
    std::optional<std::string> videoVastTag_;
    std::optional<std::string> rating_;
    std::optional<std::string> likes_;
    std::optional<std::string> downloads_;
    std::optional<std::string> price_;
    std::optional<std::string> phone_;
    std::optional<std::string> salePrice_;
    std::optional<std::string> address_;
    std::optional<std::string> additionalDescription_;
    std::optional<std::string> displayUrl_;
    std::optional<Link> link_;
    std::optional<std::vector<EventTracker>> eventTrackers_;
    std::optional<std::string> requestId_;
    std::optional<ImageMetadata> mainImageMetadata_;
    std::optional<ImageMetadata> iconImageMetadata_;
};

}  // namespace qor
