#pragma once

#include "Networking/Client/Request/RequestAdapter.h"
#include "Platform/Foundation/Any.h"

#include <string>

namespace qor {

// The parameters of a request: JSON-compatible values under string keys, in insertion order.
using Parameters = platform::AnyDictionary;

// The text form shared by the query and form encoders: escaped key=value pairs joined by "&",
// nested dictionaries as key[sub], array elements as key[]. Pairs follow the dictionaries' order.
std::string queryString(const Parameters& parameters);

// Escapes one key or value of the text form: everything but ASCII letters, digits and
// "-._~/?" is percent-encoded byte by byte.
std::string escapeQueryComponent(const std::string& text);

// Adds the parameters' text form to the URL's query.
class URLQueryEncoder final : public RequestAdapter {
public:
    explicit URLQueryEncoder(Parameters parameters) : parameters(std::move(parameters)) {}
    platform::URLRequest adapted(platform::URLRequest request) const override;
    const Parameters parameters;
};

// Makes the parameters' text form the body.
class FormUrlEncodedParameterEncoder final : public RequestAdapter {
public:
    explicit FormUrlEncodedParameterEncoder(Parameters parameters) : parameters(std::move(parameters)) {}
    platform::URLRequest adapted(platform::URLRequest request) const override;
    const Parameters parameters;
};

// Makes the parameters, as one compact JSON object, the body.
class JSONParameterEncoder final : public RequestAdapter {
public:
    explicit JSONParameterEncoder(Parameters parameters) : parameters(std::move(parameters)) {}
    platform::URLRequest adapted(platform::URLRequest request) const override;
    const Parameters parameters;
};

}  // namespace qor
