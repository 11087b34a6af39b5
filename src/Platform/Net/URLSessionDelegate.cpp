#include "Platform/Net/URLSessionDelegate.h"

namespace qor::platform {

void URLSessionDataDelegate::didReceiveData(URLSession&, URLSessionDataTask&, const Data&) {}

void URLSessionDataDelegate::didCompleteWithError(URLSession&, URLSessionTask&, std::optional<URLError>) {}

}  // namespace qor::platform
