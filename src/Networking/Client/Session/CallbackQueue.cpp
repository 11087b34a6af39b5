#include "Networking/Client/Session/CallbackQueue.h"

#include "Core/Overloaded.h"
#include "Platform/Dispatch/Thread.h"

namespace qor {

void CallbackQueue::execute(std::function<void()> block) const {
    std::visit(Overloaded{
                   [&](const dispatch& c) { c.queue->async(std::move(block)); },
                   [&](const operation& c) { c.queue->addOperation(std::move(block)); },
                   [&](const asyncMain&) { platform::DispatchQueue::main()->async(std::move(block)); },
                   [&](const currentMainOrAsync&) {
                       if (platform::Thread::isMainThread()) {
                           block();
                       } else {
                           platform::DispatchQueue::main()->async(std::move(block));
                       }
                   },
                   [&](const untouch&) { block(); },
               },
               value_);
}

}  // namespace qor
