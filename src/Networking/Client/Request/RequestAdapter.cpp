#include "Networking/Client/Request/RequestAdapter.h"

#include "Networking/Client/QORSDKError.h"

namespace qor {

platform::URLRequest HeaderAdapter::adapted(platform::URLRequest request) const {
    request.setValue("application/json", "Accept");
    request.setValue("private, no-store, no-cache, must-revalidate", "Cache-Control");
    request.setValue(userAgent, "User-Agent");
    return request;
}

platform::URLRequest TokenAdapter::adapted(platform::URLRequest request) const {
    if (!token) throw QORSDKError(QORSDKError::requestFailed{QORSDKError::RequestErrorReason::lackOfAccessToken{}});
    request.setValue("Bearer " + *token, "Authorization");
    return request;
}

}  // namespace qor
