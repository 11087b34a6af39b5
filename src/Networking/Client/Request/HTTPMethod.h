#pragma once

#include <optional>
#include <string_view>

namespace qor {

// `delete` is a C++ keyword, hence the trailing underscore of that one case.
enum class HTTPMethod { get, post, put, delete_ };

constexpr std::string_view rawValue(HTTPMethod method) {
    switch (method) {
        case HTTPMethod::get:
            return "GET";
        case HTTPMethod::post:
            return "POST";
        case HTTPMethod::put:
            return "PUT";
        case HTTPMethod::delete_:
            return "DELETE";
    }
    return "GET";
}

// Exactly the four raw values, case-sensitive.
constexpr std::optional<HTTPMethod> makeHTTPMethod(std::string_view raw) {
    for (const auto method : {HTTPMethod::get, HTTPMethod::post, HTTPMethod::put, HTTPMethod::delete_}) {
        if (rawValue(method) == raw) return method;
    }
    return std::nullopt;
}

// How parameters travel in a request body, and the Content-Type that says so.
enum class ContentType { none, formUrlEncoded, json };

}  // namespace qor
