#pragma once

#include <string_view>

namespace qor::testing {

// XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX in upper-case hexadecimal.
bool isUpperCaseUUID(std::string_view text);

// "YYYY-MM-DDThh:mm:ss.sssZ"
bool isISOTimestamp(std::string_view text);

}  // namespace qor::testing
