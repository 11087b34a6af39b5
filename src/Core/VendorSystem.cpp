#include "Core/VendorSystem.h"

#include <mutex>

namespace qor {

namespace {

struct CurrentSlot {
    std::mutex mutex;
    VendorSystem::Factory factory;
    std::shared_ptr<VendorSystem> instance;
};

CurrentSlot& slot() {
    static auto* value = new CurrentSlot;
    return *value;
}

}  // namespace

std::shared_ptr<VendorSystem> VendorSystem::current() {
    auto& s = slot();
    std::lock_guard<std::mutex> guard(s.mutex);
    if (!s.instance) {
        s.instance = s.factory ? s.factory() : nullptr;
        if (!s.instance) s.instance = std::make_shared<VendorSystem>();
    }
    return s.instance;
}

bool VendorSystem::registerFactory(Factory factory) {
    auto& s = slot();
    std::lock_guard<std::mutex> guard(s.mutex);
    if (s.instance) return false;
    s.factory = std::move(factory);
    return true;
}

}  // namespace qor
