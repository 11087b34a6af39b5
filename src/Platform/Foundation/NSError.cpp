#include "Platform/Foundation/NSError.h"

namespace qor::platform {

NSError::NSError(std::string domain, long code, AnyDictionary userInfo)
    : domain_(std::move(domain)), code_(code), userInfo_(std::move(userInfo)) {}

std::string NSError::localizedDescription() const {
    if (const Any* description = userInfo_.find(NSLocalizedDescriptionKey); description && description->isString()) {
        return description->asString();
    }
    return "The operation couldn\u2019t be completed. (" + domain_ + " error " + std::to_string(code_) + ".)";
}

}  // namespace qor::platform
