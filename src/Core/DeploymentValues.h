#pragma once

#include <string>

// The operator's deployment values: where the ad network, the collection endpoint and the
// IP-echo service live. Each has a built-in https default and an environment variable that
// replaces it; the variable is read every time the value is asked for, so a host or a test can
// point the SDK at its own servers before it starts.
namespace qor::deployment {

inline constexpr const char* kAdNetworkTestURLVariable = "QOR_AD_NETWORK_TEST_URL";
inline constexpr const char* kAdNetworkStagingURLVariable = "QOR_AD_NETWORK_STAGING_URL";
inline constexpr const char* kAdNetworkProductionURLVariable = "QOR_AD_NETWORK_PRODUCTION_URL";
inline constexpr const char* kCollectionURLVariable = "QOR_COLLECTION_URL";
inline constexpr const char* kIPEchoURLVariable = "QOR_IP_ECHO_URL";

inline constexpr const char* kDefaultAdNetworkTestURL = "https://test-api.qor.io/";
inline constexpr const char* kDefaultAdNetworkStagingURL = "https://staging-api.qor.io/";
inline constexpr const char* kDefaultAdNetworkProductionURL = "https://api.qor.io/";
inline constexpr const char* kDefaultCollectionEndpointURL = "https://collect.qor.io/v1/b";
inline constexpr const char* kDefaultIPEchoURL = "https://ip.qor.io";

// The ad network's own web domain, the base URL of a request that names none.
inline constexpr const char* kDefaultRequestBaseURL = "https://qor.io";

std::string adNetworkTestBaseURL();
std::string adNetworkStagingBaseURL();
std::string adNetworkProductionBaseURL();
std::string collectionEndpointURL();
std::string ipEchoBaseURL();

}  // namespace qor::deployment
