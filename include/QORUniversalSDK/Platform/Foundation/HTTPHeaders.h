#pragma once

#include <QORUniversalSDK/Platform/Support/Export.h>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qor::platform {

// Header fields in the order they were first set; names compare without case.
using HTTPHeaderFields = std::vector<std::pair<std::string, std::string>>;

namespace net {

QOR_EXPORT bool headerNamesEqual(std::string_view lhs, std::string_view rhs);
QOR_EXPORT std::optional<std::string> headerValue(const HTTPHeaderFields& fields, std::string_view name);
// Replaces the value of an existing field (keeping its place and spelling) or
// appends a new one; a value of nullopt removes the field.
QOR_EXPORT void setHeaderValue(HTTPHeaderFields& fields, std::optional<std::string> value, std::string_view name);
// Appends `value` to an existing field with ",", or adds the field.
QOR_EXPORT void addHeaderValue(HTTPHeaderFields& fields, std::string value, std::string_view name);

}  // namespace net
}  // namespace qor::platform
