#pragma once

// The free-form value an app attaches to its ad requests.
#include "Platform/Foundation/Any.h"

namespace qor {
using RequestContext = platform::Any;
}  // namespace qor
