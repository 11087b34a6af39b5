#include "Views/NativeAd.h"

#include "Platform/UIKit/UIApplication.h"
#include "Views/ImageManager.h"
#include "Views/NativeTrackers.h"

namespace qor {

namespace {

// The image of an asset, with its metadata when the bidder gave both sides. Metadata describes
// the URL filed with it: a later asset with the same id replaces both or clears the old sizes.
void fileImage(const std::optional<AssetImage::Response>& image, std::optional<std::string>& url,
               std::optional<NativeAd::ImageMetadata>& metadata) {
    url = image ? std::optional(image->url) : std::nullopt;
    metadata.reset();
    if (image && image->width && image->height) {
        metadata = NativeAd::ImageMetadata{image->url, static_cast<double>(*image->width),
                                           static_cast<double>(*image->height)};
    }
}

void loadImage(const std::optional<std::string>& text, const char* invalidMessage,
               NativeAd::ImageCompletion completion) {
    const auto url = text ? platform::URL::make(*text) : std::nullopt;
    if (!url) {
        if (completion) {
            completion(Result<std::shared_ptr<platform::UIImage>>::failure(
                QORSDKError::generalError{QORSDKError::GeneralErrorReason::coreError{invalidMessage}}));
        }
        return;
    }
    ImageManager::shared().loadImage(*url, CallbackQueue::currentMainOrAsync{}, std::move(completion));
}

}  // namespace

void NativeAd::ImageMetadata::encode(KeyedEncodingContainer& c) const {
    c.encode("url", url);
    c.encode("width", width);
    c.encode("height", height);
}

NativeAd::ImageMetadata NativeAd::ImageMetadata::decode(const KeyedDecodingContainer& c) {
    return ImageMetadata{c.decode<std::string>("url"), c.decode<double>("width"), c.decode<double>("height")};
}

std::shared_ptr<NativeAd> NativeAd::make(std::optional<std::string> requestId, const NativeAdResponse& response) {
    auto ad = std::make_shared<NativeAd>(platform::ConstructionKey<NativeAd>{});
    if (response.assets) {
        for (const auto& asset : *response.assets) ad->fileResponseAsset(asset);
    }
    ad->link_ = response.link;
    ad->eventTrackers_ = response.eventTrackers;
    ad->requestId_ = std::move(requestId);
    return ad;
}

void NativeAd::fileResponseAsset(const Asset::Response& asset) {
    if (!asset.id) return;
    const auto data = asset.data ? std::optional(asset.data->value) : std::nullopt;
    switch (*asset.id) {
        case 1:
            fileImage(asset.image, iconUrl_, iconImageMetadata_);
            break;
        case 2:
            fileImage(asset.image, mainImageUrl_, mainImageMetadata_);
            break;
        case 3:
            title_ = asset.title ? std::optional(asset.title->text) : std::nullopt;
            break;
        case 4:
            description_ = data;
            break;
        case 5:
            ctaDescription_ = data;
            break;
        case 6:
            sponsored_ = data;
            break;
        case 7:
            videoVastTag_ = asset.video ? std::optional(asset.video->vastTag) : std::nullopt;
            break;
        case 8:
            rating_ = data;
            break;
        case 9:
            likes_ = data;
            break;
        case 10:
            downloads_ = data;
            break;
        case 11:
            price_ = data;
            break;
        case 12:
            salePrice_ = data;
            break;
        case 13:
            phone_ = data;
            break;
        case 14:
            address_ = data;
            break;
        case 15:
            additionalDescription_ = data;
            break;
        case 16:
            displayUrl_ = data;
            break;
        default:
            break;
    }
}

void NativeAd::performAdClicked(const ClickHandler& completionHandler) const {
    const auto answer = [&](const std::optional<platform::URL>& url) {
        return completionHandler ? completionHandler(url) : false;
    };
    if (!link_) {
        answer(std::nullopt);
        return;
    }
    fireClickTracker(*link_, requestId_);
    const auto destination = clickDestination(*link_);
    if (!destination) {
        answer(std::nullopt);
        return;
    }
    if (answer(destination->first)) platform::UIApplication::shared()->open(destination->first);
}

void NativeAd::getMainImage(ImageCompletion completion) const {
    loadImage(mainImageUrl_, invalidMainImageMessage, std::move(completion));
}

void NativeAd::getIconImage(ImageCompletion completion) const {
    loadImage(iconUrl_, invalidIconImageMessage, std::move(completion));
}

}  // namespace qor
