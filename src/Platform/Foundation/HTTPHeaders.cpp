#include "Platform/Foundation/HTTPHeaders.h"

#include <algorithm>

#include "Platform/Support/ASCIIText.h"

namespace qor::platform::net {

bool headerNamesEqual(std::string_view lhs, std::string_view rhs) { return equalsIgnoringASCIICase(lhs, rhs); }

std::optional<std::string> headerValue(const HTTPHeaderFields& fields, std::string_view name) {
    for (const auto& [key, value] : fields) {
        if (headerNamesEqual(key, name)) return value;
    }
    return std::nullopt;
}

void setHeaderValue(HTTPHeaderFields& fields, std::optional<std::string> value, std::string_view name) {
    auto existing = std::find_if(fields.begin(), fields.end(),
                                 [&](const auto& field) { return headerNamesEqual(field.first, name); });
    if (!value) {
        if (existing != fields.end()) fields.erase(existing);
        return;
    }
    if (existing != fields.end()) {
        existing->second = std::move(*value);
    } else {
        fields.emplace_back(std::string(name), std::move(*value));
    }
}

void addHeaderValue(HTTPHeaderFields& fields, std::string value, std::string_view name) {
    for (auto& field : fields) {
        if (headerNamesEqual(field.first, name)) {
            field.second.append(1, ',').append(value);
            return;
        }
    }
    fields.emplace_back(std::string(name), std::move(value));
}

}  // namespace qor::platform::net
