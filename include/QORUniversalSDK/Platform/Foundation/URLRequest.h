#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include <QORUniversalSDK/Platform/Foundation/Data.h>
#include <QORUniversalSDK/Platform/Foundation/HTTPHeaders.h>
#include <QORUniversalSDK/Platform/Foundation/URL.h>
#include <QORUniversalSDK/Platform/Support/Export.h>

namespace qor::platform {

// How a request may use locally cached answers. The session keeps no cache, so
// every policy loads from the origin; the value travels with the request.
enum class URLRequestCachePolicy {
    useProtocolCachePolicy = 0,
    reloadIgnoringLocalCacheData = 1,
    reloadIgnoringLocalAndRemoteCacheData = 4,
    returnCacheDataElseLoad = 2,
    returnCacheDataDontLoad = 3,
    reloadRevalidatingCacheData = 5,
};

// What to send: a value, copied freely.
class QOR_EXPORT URLRequest {
public:
    static constexpr double defaultTimeoutInterval = 60.0;

    URLRequest() = default;
    explicit URLRequest(std::optional<URL> url) : url_(std::move(url)) {}
    URLRequest(std::optional<URL> url, URLRequestCachePolicy cachePolicy, double timeoutInterval);

    const std::optional<URL>& url() const { return url_; }
    void setURL(std::optional<URL> url) { url_ = std::move(url); }

    const std::string& httpMethod() const { return httpMethod_; }
    // An empty method means "GET".
    void setHTTPMethod(std::string method);

    // Every field set on the request, in the order first set.
    const HTTPHeaderFields& allHTTPHeaderFields() const { return headers_; }
    void setAllHTTPHeaderFields(HTTPHeaderFields fields);
    std::optional<std::string> value(std::string_view forHTTPHeaderField) const;
    // Replaces a field whatever the case of its name; nothing removes it.
    void setValue(std::optional<std::string> value, std::string_view forHTTPHeaderField);
    void addValue(std::string value, std::string_view forHTTPHeaderField);

    const std::optional<Data>& httpBody() const { return httpBody_; }
    void setHTTPBody(std::optional<Data> body) { httpBody_ = std::move(body); }

    // Seconds a request may stay idle (connecting, or between bytes) before it fails.
    double timeoutInterval() const { return timeoutInterval_; }
    void setTimeoutInterval(double seconds);
    // True once a time-out has been given for this request; otherwise the session's wins.
    bool hasExplicitTimeoutInterval() const { return explicitTimeout_; }

    // Seconds the whole load may take from resume(), a wait for a free connection included,
    // however steadily bytes arrive; past it the load fails as timed out. Unset: only the idle
    // time-out above bounds it.
    const std::optional<double>& timeoutIntervalForResource() const { return resourceTimeout_; }
    void setTimeoutIntervalForResource(std::optional<double> seconds) { resourceTimeout_ = seconds; }

    // The most answer body bytes the load takes. A longer answer, by its announced length or by
    // what arrives, ends the load with dataLengthExceedsMaximum before more is read. Unset: no limit.
    const std::optional<std::size_t>& maximumResponseLength() const { return maximumResponseLength_; }
    void setMaximumResponseLength(std::optional<std::size_t> bytes) { maximumResponseLength_ = bytes; }

    URLRequestCachePolicy cachePolicy() const { return cachePolicy_; }
    void setCachePolicy(URLRequestCachePolicy policy) { cachePolicy_ = policy; }

    bool operator==(const URLRequest&) const = default;

private:
    std::optional<URL> url_;
    std::string httpMethod_ = "GET";
    HTTPHeaderFields headers_;
    std::optional<Data> httpBody_;
    double timeoutInterval_ = defaultTimeoutInterval;
    bool explicitTimeout_ = false;
    std::optional<double> resourceTimeout_;
    std::optional<std::size_t> maximumResponseLength_;
    URLRequestCachePolicy cachePolicy_ = URLRequestCachePolicy::useProtocolCachePolicy;
};

}  // namespace qor::platform
