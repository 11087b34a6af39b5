#include "Core/EncodeToDictionary.h"

namespace qor {

std::optional<platform::AnyDictionary> encodeJSONToDictionary(const JSON& value) { return encodeToDictionary(value); }

}  // namespace qor
