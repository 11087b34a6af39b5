#include "Networking/Client/Request/ParameterEncoders.h"

#include "Networking/Client/QORSDKError.h"
#include "Platform/Foundation/CharacterSet.h"
#include "Platform/Foundation/JSONSerialization.h"
#include "Platform/Foundation/URLComponents.h"

#include <array>
#include <charconv>
#include <utility>
#include <vector>

namespace qor {
namespace {

using Pair = std::pair<std::string, std::string>;

std::string describeDouble(double value) {
    // Numbers print as the platform prints them: shortest text that reads back, no ".0".
    std::array<char, 64> buffer{};
    const auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    if (error != std::errc()) return "nan";
    return std::string(buffer.data(), end);
}

std::string describeScalar(const platform::Any& value) {
    using Kind = platform::Any::Kind;
    switch (value.kind()) {
        case Kind::null:
            return "<null>";
        case Kind::boolean:
            return value.asBool() ? "true" : "false";
        case Kind::integer:
            return std::to_string(value.asInt64());
        case Kind::unsignedInteger:
            return std::to_string(value.asUInt64());
        case Kind::floating:
            return describeDouble(value.asDouble());
        case Kind::decimal:
            return value.asDecimal().description();
        case Kind::string:
            return value.asString();
        case Kind::array:
        case Kind::dictionary:
            break;
    }
    return {};
}

void collectPairs(const std::string& key, const platform::Any& value, std::vector<Pair>& pairs) {
    if (const auto* dictionary = value.tryDictionary()) {
        for (const auto& [subkey, subvalue] : *dictionary) collectPairs(key + "[" + subkey + "]", subvalue, pairs);
    } else if (const auto* array = value.tryArray()) {
        for (const auto& element : *array) collectPairs(key + "[]", element, pairs);
    } else {
        pairs.emplace_back(key, describeScalar(value));
    }
}

const platform::CharacterSet& queryComponentAllowed() {
    static const platform::CharacterSet allowed =
        platform::CharacterSet::urlQueryAllowed().removing(":#[]@!$&'()*+,;=");
    return allowed;
}

}  // namespace

std::string escapeQueryComponent(const std::string& text) {
    return platform::addingPercentEncoding(text, queryComponentAllowed()).value_or(text);
}

std::string queryString(const Parameters& parameters) {
    std::vector<Pair> pairs;
    for (const auto& [key, value] : parameters) collectPairs(key, value, pairs);
    std::string text;
    for (const auto& [key, value] : pairs) {
        if (!text.empty()) text += '&';
        text += escapeQueryComponent(key);
        text += '=';
        text += escapeQueryComponent(value);
    }
    return text;
}

platform::URLRequest URLQueryEncoder::adapted(platform::URLRequest request) const {
    if (!request.url()) throw QORSDKError(QORSDKError::requestFailed{QORSDKError::RequestErrorReason::missingURL{}});
    if (parameters.empty()) return request;
    auto components = platform::URLComponents::make(*request.url());
    if (!components) return request;
    std::string query;
    if (const auto existing = components->percentEncodedQuery()) query = *existing + "&";
    query += queryString(parameters);
    components->setPercentEncodedQuery(std::move(query));
    if (auto url = components->url()) request.setURL(std::move(url));
    return request;
}

platform::URLRequest FormUrlEncodedParameterEncoder::adapted(platform::URLRequest request) const {
    request.setHTTPBody(platform::dataFromString(queryString(parameters)));
    return request;
}

platform::URLRequest JSONParameterEncoder::adapted(platform::URLRequest request) const {
    platform::Data body;
    try {
        body = platform::JSONSerialization::data(platform::Any(parameters));
    } catch (...) {
        throw QORSDKError(QORSDKError::requestFailed{
            QORSDKError::RequestErrorReason::jsonEncodingFailed{AnyError(std::current_exception())}});
    }
    request.setHTTPBody(std::move(body));
    return request;
}

}  // namespace qor
