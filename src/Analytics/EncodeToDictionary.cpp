#include "Analytics/EncodeToDictionary.h"

#include "Models/OpenRTB/BidRequest.h"

namespace qor {

std::optional<platform::AnyDictionary> encodeBidRequestToDictionary(const BidRequest& request) {
    return encodeToDictionary(request);
}

std::optional<platform::AnyDictionary> encodeJSONToDictionary(const JSON& value) { return encodeToDictionary(value); }

}  // namespace qor
