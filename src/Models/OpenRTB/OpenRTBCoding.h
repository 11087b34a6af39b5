#pragma once

// The one place where the bid-request records meet the shared coding layer. Every record of this
// folder declares its keys with `encode(KeyedEncodingContainer&)` and `decode(const
// KeyedDecodingContainer&)`; swapping or moving the layer touches only this include.
#include "Platform/Foundation/Coding/Codable.h"
#include "Platform/Foundation/JSONDecoder.h"
#include "Platform/Foundation/JSONEncoder.h"

namespace qor {

using platform::EnumRawValues;
using platform::KeyedDecodingContainer;
using platform::KeyedEncodingContainer;

}  // namespace qor
