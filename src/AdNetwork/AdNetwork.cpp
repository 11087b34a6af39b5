#include "AdNetwork/AdNetwork.h"

#include "AdNetwork/InitContainerRequest.h"
#include "Core/Helpers/SharedSlot.h"
#include "Core/SDKLog.h"
#include "Networking/Client/Session/Session.h"
#include "Platform/Support/Console.h"

namespace qor {
namespace {

// Never destroyed: a download's completion may read it while the process ends.
SharedSlot<AdNetwork>& networkSlot() {
    static auto* slot = new SharedSlot<AdNetwork>("AdNetwork");
    return *slot;
}

}  // namespace

std::shared_ptr<AdNetwork> AdNetwork::make(std::shared_ptr<CappingManager> cappingManager) {
    return std::shared_ptr<AdNetwork>(new AdNetwork(std::move(cappingManager)));
}

std::shared_ptr<AdNetwork> AdNetwork::sharedInstance() { return networkSlot().get(); }

std::shared_ptr<AdNetwork> AdNetwork::peekSharedInstance() { return networkSlot().peek(); }

void AdNetwork::setSharedInstance(std::shared_ptr<AdNetwork> network) { networkSlot().set(std::move(network)); }

std::optional<Container> AdNetwork::container() const {
    std::lock_guard lock(lock_);
    return container_;
}

void AdNetwork::setContainer(std::optional<Container> container) {
    std::lock_guard lock(lock_);
    container_ = std::move(container);
}

void AdNetwork::initializeAdNetwork(const std::string& writeKey, ContainerCompletion completion) {
    // The capping test runs under the lock; the send does not, because a request that cannot be
    // built delivers its failure at once on the main thread, and that delivery takes the lock.
    {
        std::lock_guard lock(lock_);
        if (CappingManager::sharedInstance()->isBlacklisted()) return;
    }
    auto self = shared_from_this();
    Session::sharedInstance()->send(InitContainerRequest(writeKey), CallbackQueue::currentMainOrAsync{},
                                    [self, writeKey, completion](Result<Container> result) {
                                        self->finishDownload(writeKey, result);
                                        if (completion) completion(result);
                                    });
}

void AdNetwork::finishDownload(const std::string& writeKey, const Result<Container>& result) {
    if (const auto* error = result.errorIf()) {
        // The description may be the container server's own text (a bad request's body).
        sdkLog("QORAdNetwork couldn't be initialized due to ",
               platform::consoleText(error->errorDescription().value_or("")));
        return;
    }
    Container container = result.value();
    container.configurationID = writeKey;
    const Capping capping = container.capping;
    {
        std::lock_guard lock(lock_);
        container_ = std::move(container);
        if (peekSharedInstance().get() == this) cappingManager_->setConfig(capping);
    }
    sdkLog("The QOR SDK setup done.");
}

}  // namespace qor
