#include "AdNetwork/EndpointList.h"

#include "Core/SDKLog.h"

namespace qor {

namespace {

constexpr std::int64_t coreEndpointID = -1;

std::optional<std::string> biddingURL(const Container& container, std::int64_t platformID) {
    if (!container.platforms) return std::nullopt;
    for (const DemandSidePlatform& platform : *container.platforms) {
        if (platform.id == platformID) return platform.url;
    }
    return std::nullopt;
}

}  // namespace

std::vector<DemandSidePlatform> resolvePlatforms(const Container& container, const Inventory& inventory) {
    std::vector<DemandSidePlatform> resolved;
    if (!inventory.platforms) return resolved;
    resolved.reserve(inventory.platforms->size());
    for (DemandSidePlatform platform : *inventory.platforms) {
        platform.url = biddingURL(container, platform.id);
        resolved.push_back(std::move(platform));
    }
    return resolved;
}

std::vector<Endpoint> endpointsForPlatforms(const Container& container,
                                            const std::vector<DemandSidePlatform>& resolvedPlatforms) {
    std::vector<Endpoint> endpoints;
    endpoints.reserve(resolvedPlatforms.size() + 1);
    for (const DemandSidePlatform& platform : resolvedPlatforms) {
        const bool directDeal = platform.directDeal.value_or(0) > 0;
        // Without a bidding URL there is nowhere to post; the other endpoints are still asked.
        // A direct deal stays, with no URL, so that it fails as its own endpoint and still
        // decides the auction alone: its absence must not hand the ad to the open bidders.
        if (!platform.url && !directDeal) {
            sdkLog("Demand platform ", platform.id, " has no bidding URL in the container; it is not asked");
            continue;
        }
        if (!platform.url) {
            sdkLog("Direct deal ", platform.id, " has no bidding URL in the container; it fails unasked");
        }
        endpoints.push_back(Endpoint{
            platform.id,
            platform.name.value_or("unknown"),
            platform.url.value_or(""),
            "dsp",
            directDeal,
            platform.headerBidding.value_or(0) > 0,
        });
    }
    endpoints.push_back(Endpoint{coreEndpointID, "core", container.core.url, "core", false, false});
    return endpoints;
}

std::vector<Endpoint> endpointsForInventory(const Container& container, const Inventory& inventory) {
    return endpointsForPlatforms(container, resolvePlatforms(container, inventory));
}

}  // namespace qor
