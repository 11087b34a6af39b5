#include "AdNetwork/AdRequest.h"

#include "Platform/Foundation/UUID.h"

namespace qor {

AdRequest::AdRequest() : id_(platform::UUID::make().uuidString()) {}

}  // namespace qor
