#include "Platform/Foundation/URLRequest.h"

namespace qor::platform {

URLRequest::URLRequest(std::optional<URL> url, URLRequestCachePolicy cachePolicy, double timeoutInterval)
    : url_(std::move(url)), cachePolicy_(cachePolicy) {
    setTimeoutInterval(timeoutInterval);
}

void URLRequest::setHTTPMethod(std::string method) { httpMethod_ = method.empty() ? "GET" : std::move(method); }

void URLRequest::setAllHTTPHeaderFields(HTTPHeaderFields fields) {
    headers_.clear();
    for (auto& [name, value] : fields) net::setHeaderValue(headers_, std::move(value), name);
}

std::optional<std::string> URLRequest::value(std::string_view forHTTPHeaderField) const {
    return net::headerValue(headers_, forHTTPHeaderField);
}

void URLRequest::setValue(std::optional<std::string> value, std::string_view forHTTPHeaderField) {
    net::setHeaderValue(headers_, std::move(value), forHTTPHeaderField);
}

void URLRequest::addValue(std::string value, std::string_view forHTTPHeaderField) {
    net::addHeaderValue(headers_, std::move(value), forHTTPHeaderField);
}

void URLRequest::setTimeoutInterval(double seconds) {
    timeoutInterval_ = seconds;
    explicitTimeout_ = true;
}

}  // namespace qor::platform
