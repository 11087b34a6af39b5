#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "AdNetwork/Container.h"
#include "AdNetwork/Metadata.h"
#include "Core/JSON.h"
#include "Models/OpenRTB/NativeAdRequest.h"

namespace qor {

// The asset ids of a native ad, shared by its request and its response.
namespace NativeAssetID {
inline constexpr std::int64_t icon = 1;
inline constexpr std::int64_t mainImage = 2;
inline constexpr std::int64_t title = 3;
inline constexpr std::int64_t description = 4;
inline constexpr std::int64_t callToAction = 5;
inline constexpr std::int64_t sponsored = 6;
inline constexpr std::int64_t video = 7;
// 8 to 16: the other data texts (rating, likes, downloads, price, sale price, phone, address,
// second description, display URL).
}  // namespace NativeAssetID

// One asset request from one entry of a unit's metadata "assets". Nothing when the entry is not
// an object or has no text "type"; an unknown type gives a request without an id. Values of the
// wrong kind fall back to the defaults (title length 140; video "video/mp4", 5 to 30 seconds,
// VAST 2.0, 3.0 and 4.0) or stay absent.
std::optional<Asset::Request> assetRequest(const JSON& entry);

// The asset requests of a unit's metadata, in entry order, without those that have no id
// (possibly none). Nothing when the metadata has no "assets".
std::optional<std::vector<Asset::Request>> assetRequests(const Metadata& metadata);

// The same for an ad unit: nothing without a container, without an inventory of that id (the
// first one counts) or without "assets" in its metadata.
std::optional<std::vector<Asset::Request>> assetRequestsForUnit(const std::optional<Container>& container,
                                                                std::int64_t adUnitID);

}  // namespace qor
