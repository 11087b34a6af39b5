#include "AdNetwork/NativeAssetRequests.h"

#include <array>
#include <string_view>
#include <utility>

#include "AdNetwork/InventoryReaders.h"

namespace qor {

namespace {

struct DataAssetKind {
    std::string_view name;
    std::int64_t assetID;
    std::int64_t dataType;
};

// The data texts a native ad may carry: asset id and the data type that asks for it.
constexpr std::array dataAssetKinds{
    DataAssetKind{"sponsored", 6, 1},  DataAssetKind{"desc", 4, 2},         DataAssetKind{"rating", 8, 3},
    DataAssetKind{"like", 9, 4},       DataAssetKind{"download", 10, 5},    DataAssetKind{"price", 11, 6},
    DataAssetKind{"saleprice", 12, 7}, DataAssetKind{"phone", 13, 8},       DataAssetKind{"address", 14, 9},
    DataAssetKind{"des2", 15, 10},     DataAssetKind{"displayurl", 16, 11}, DataAssetKind{"ctatext", 5, 12},
};

constexpr std::int64_t defaultTitleLength = 140;
constexpr std::int64_t defaultMinDuration = 5;
constexpr std::int64_t defaultMaxDuration = 30;

// An integer member: a number without a fraction that fits 64 bits; anything else counts as absent.
std::optional<std::int64_t> integerMember(const JSONObject& entry, std::string_view key) {
    const JSON* value = entry.find(key);
    if (value == nullptr) return std::nullopt;
    const auto decimal = value->decimalValue();
    return decimal ? decimal->exactInt64() : std::nullopt;
}

std::optional<std::vector<std::string>> textListMember(const JSONObject& entry, std::string_view key) {
    const JSON* value = entry.find(key);
    if (value == nullptr || value->array() == nullptr) return std::nullopt;
    std::vector<std::string> texts;
    for (const JSON& element : *value->array()) {
        const std::string* text = element.string();
        if (text == nullptr) return std::nullopt;
        texts.push_back(*text);
    }
    return texts;
}

// true, or the number 1.
bool isRequired(const JSONObject& entry) {
    const JSON* value = entry.find("required");
    if (value == nullptr) return false;
    if (const auto flag = value->boolValue()) return *flag;
    const auto decimal = value->decimalValue();
    return decimal && decimal->exactInt64() == 1;
}

AssetImage::Request imageRequest(const JSONObject& entry, AssetImage::ImageType type) {
    AssetImage::Request image;
    image.type = type;
    image.width = integerMember(entry, "w");
    image.height = integerMember(entry, "h");
    image.minWidth = integerMember(entry, "width_min");
    image.minHeight = integerMember(entry, "height_min");
    image.mimes = textListMember(entry, "mimes");
    return image;
}

// The configuration's JSON carries protocols as plain numbers, which are never taken as they
// stand: a native video asset always asks for VAST 2.0, 3.0 and 4.0.
AssetVideo::Request videoRequest(const JSONObject& entry) {
    AssetVideo::Request video;
    video.mimes = textListMember(entry, "mimes").value_or(std::vector<std::string>{"video/mp4"});
    video.minDuration = integerMember(entry, "min_duration").value_or(defaultMinDuration);
    video.maxDuration = integerMember(entry, "max_duration").value_or(defaultMaxDuration);
    video.protocols = {VideoProtocol::vast2, VideoProtocol::vast3, VideoProtocol::vast4};
    return video;
}

void fillDataAsset(Asset::Request& request, const JSONObject& entry, std::string_view type) {
    for (const auto& kind : dataAssetKinds) {
        if (kind.name != type) continue;
        request.id = kind.assetID;
        request.data = AssetData::Request{kind.dataType, integerMember(entry, "length")};
        return;
    }
}

}  // namespace

std::optional<Asset::Request> assetRequest(const JSON& entry) {
    const JSONObject* object = entry.object();
    if (object == nullptr) return std::nullopt;
    const JSON* typeValue = object->find("type");
    const std::string* type = typeValue == nullptr ? nullptr : typeValue->string();
    if (type == nullptr) return std::nullopt;

    Asset::Request request;
    request.required = isRequired(*object) ? 1 : 0;
    if (*type == "icon") {
        request.id = NativeAssetID::icon;
        request.image = imageRequest(*object, AssetImage::ImageType::icon);
    } else if (*type == "img") {
        request.id = NativeAssetID::mainImage;
        request.image = imageRequest(*object, AssetImage::ImageType::main);
    } else if (*type == "title") {
        request.id = NativeAssetID::title;
        request.title = AssetTitle::Request{integerMember(*object, "length").value_or(defaultTitleLength), {}};
    } else if (*type == "video") {
        request.id = NativeAssetID::video;
        request.video = videoRequest(*object);
    } else {
        fillDataAsset(request, *object, *type);
    }
    return request;
}

std::optional<std::vector<Asset::Request>> assetRequests(const Metadata& metadata) {
    if (!metadata.assets) return std::nullopt;
    std::vector<Asset::Request> requests;
    for (const JSON& entry : *metadata.assets) {
        auto request = assetRequest(entry);
        if (request && request->id) requests.push_back(std::move(*request));
    }
    return requests;
}

std::optional<std::vector<Asset::Request>> assetRequestsForUnit(const std::optional<Container>& container,
                                                                std::int64_t adUnitID) {
    if (!container) return std::nullopt;
    const Inventory* inventory = findInventory(*container, adUnitID);
    if (inventory == nullptr) return std::nullopt;
    return assetRequests(inventory->metadata);
}

}  // namespace qor
