#include "AdNetwork/InitContainerRequest.h"

#include "AdNetwork/QOR.h"

namespace qor {

std::optional<platform::URL> InitContainerRequest::baseURL() const {
    return platform::URL::make(QOR::adNetworkBaseURL());
}

}  // namespace qor
