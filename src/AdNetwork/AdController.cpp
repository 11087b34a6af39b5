#include "AdNetwork/AdController.h"

#include "Core/Helpers/SharedSlot.h"

namespace qor {
namespace {

SharedSlot<AdController>& controllerSlot() {
    static auto* slot = new SharedSlot<AdController>("AdController");
    return *slot;
}

}  // namespace

std::shared_ptr<AdController> AdController::sharedInstance() { return controllerSlot().get(); }

void AdController::setSharedInstance(std::shared_ptr<AdController> controller) {
    controllerSlot().set(std::move(controller));
}

}  // namespace qor
