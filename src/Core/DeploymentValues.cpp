#include "Core/DeploymentValues.h"

#include <utility>

#include "Platform/Support/ProcessInfo.h"

namespace qor::deployment {
namespace {

// An unset or empty variable keeps the built-in default.
std::string valueOr(const char* variable, const char* fallback) {
    auto value = platform::environmentValue(variable);
    if (!value || value->empty()) return fallback;
    return std::move(*value);
}

}  // namespace

std::string adNetworkTestBaseURL() { return valueOr(kAdNetworkTestURLVariable, kDefaultAdNetworkTestURL); }

std::string adNetworkStagingBaseURL() { return valueOr(kAdNetworkStagingURLVariable, kDefaultAdNetworkStagingURL); }

std::string adNetworkProductionBaseURL() {
    return valueOr(kAdNetworkProductionURLVariable, kDefaultAdNetworkProductionURL);
}

std::string collectionEndpointURL() { return valueOr(kCollectionURLVariable, kDefaultCollectionEndpointURL); }

std::string ipEchoBaseURL() { return valueOr(kIPEchoURLVariable, kDefaultIPEchoURL); }

}  // namespace qor::deployment
