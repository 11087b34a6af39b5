#include "Analytics/PostBatchRequest.h"

#include "Core/DeploymentValues.h"

namespace qor {

std::optional<platform::URL> PostBatchRequest::baseURL() const {
    return platform::URL::make(deployment::collectionEndpointURL());
}

std::optional<Parameters> PostBatchRequest::parameters() const {
    if (!request) return std::nullopt;
    return request();
}

}  // namespace qor
