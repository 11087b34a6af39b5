#include "Networking/Client/Request/PassBackRequest.h"

#include "Utils/DeploymentValues.h"

namespace qor {

std::optional<platform::URL> FetchIPRequest::baseURL() const { return platform::URL::make(deployment::ipEchoBaseURL()); }

}  // namespace qor
