#pragma once

#include <QORUniversalSDK/Platform/Support/Export.h>
#include <string>
#include <string_view>

namespace qor::platform {

// How record keys are written: as declared, or in snake case ("myURLValue" -> "my_url_value").
// Only the keys of records are converted, never the keys of maps or untyped dictionaries.
enum class KeyEncodingStrategy { useDefaultKeys, convertToSnakeCase };

// How record keys are matched on reading: as written, or after turning every key of the JSON
// object from snake case into camel case ("error_description" -> "errorDescription"); a key
// without underscores is matched unchanged.
enum class KeyDecodingStrategy { useDefaultKeys, convertFromSnakeCase };

// Words start at an upper-case letter; a run of capitals is one word whose last capital starts
// the next word when a lower-case letter follows it. Words are lower-cased and joined with "_".
// Only ASCII letters count as upper or lower case.
QOR_EXPORT std::string convertToSnakeCase(std::string_view key);

// Leading and trailing underscores are kept; the part between is split at underscores (empty
// pieces dropped), the first piece lower-cased and each later piece capitalised (first letter
// upper case, the rest lower case). A key with no underscore inside comes back unchanged.
QOR_EXPORT std::string convertFromSnakeCase(std::string_view key);

}  // namespace qor::platform
