#pragma once

#include "Platform/Foundation/URLRequest.h"

#include <string>

namespace qor {

// Renders a request as a curl command line a developer can replay by hand: one piece per
// line, joined by " \\\n\t". A request without a URL renders as the empty string.
std::string curlString(const platform::URLRequest& request);

}  // namespace qor
