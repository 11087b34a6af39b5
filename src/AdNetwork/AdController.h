#pragma once

#include <memory>

namespace qor {

// Holds nothing: its presence in the shared slot is the ad formats' proof that start-up ran.
class AdController {
public:
    // The one start-up stored; stops the process before start.
    static std::shared_ptr<AdController> sharedInstance();
    static void setSharedInstance(std::shared_ptr<AdController> controller);
};

}  // namespace qor
