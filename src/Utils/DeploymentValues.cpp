#include "Utils/DeploymentValues.h"

#include <cstdlib>

namespace qor::deployment {
namespace {

// An unset or empty variable keeps the built-in default.
std::string valueOr(const char* variable, const char* fallback) {
  const char* value = std::getenv(variable);
  if (value == nullptr || *value == '\0') return fallback;
  return value;
}

}  // namespace

std::string adNetworkTestBaseURL() { return valueOr(kAdNetworkTestURLVariable, kDefaultAdNetworkTestURL); }

std::string adNetworkStagingBaseURL() {
  return valueOr(kAdNetworkStagingURLVariable, kDefaultAdNetworkStagingURL);
}

std::string adNetworkProductionBaseURL() {
  return valueOr(kAdNetworkProductionURLVariable, kDefaultAdNetworkProductionURL);
}

std::string collectionEndpointURL() { return valueOr(kCollectionURLVariable, kDefaultCollectionEndpointURL); }

std::string ipEchoBaseURL() { return valueOr(kIPEchoURLVariable, kDefaultIPEchoURL); }

}  // namespace qor::deployment
