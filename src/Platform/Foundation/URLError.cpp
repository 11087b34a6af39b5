#include "Platform/Foundation/URLError.h"

namespace qor::platform {

URLError::URLError(Code code, std::string localizedDescription, std::optional<URL> failingURL)
    : code_(code), localizedDescription_(std::move(localizedDescription)), failingURL_(std::move(failingURL)) {}

}  // namespace qor::platform
