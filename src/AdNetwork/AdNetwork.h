#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "AdNetwork/CappingManager.h"
#include "AdNetwork/Container.h"
#include "Networking/Client/Result.h"

namespace qor {

// The ad network's state of one start-up: the container configuration, downloaded once at
// start-up and kept for the life of the process. The container is read and written under the
// object's lock; readers get a copy.
class AdNetwork : public std::enable_shared_from_this<AdNetwork> {
public:
    using ContainerCompletion = std::function<void(const Result<Container>&)>;

    // `cappingManager` is the one made by the same start-up: a successful download stores its
    // capping there, and only while this object is still the shared one.
    static std::shared_ptr<AdNetwork> make(std::shared_ptr<CappingManager> cappingManager);
    AdNetwork(const AdNetwork&) = delete;
    AdNetwork& operator=(const AdNetwork&) = delete;

    // The one start-up stored; stops the process before start.
    static std::shared_ptr<AdNetwork> sharedInstance();
    static std::shared_ptr<AdNetwork> peekSharedInstance();
    static void setSharedInstance(std::shared_ptr<AdNetwork> network);

    std::optional<Container> container() const;
    void setContainer(std::optional<Container> container);

    // Downloads the container of the key unless the shared capping marks the client as
    // blacklisted (then nothing is sent and the completion is never called). The outcome is
    // logged; on success the container keeps the key as its configurationID and its capping
    // goes to the capping manager. The completion, when given, runs afterwards on the main
    // thread, without any lock held.
    void initializeAdNetwork(const std::string& writeKey, ContainerCompletion completion = nullptr);

private:
    explicit AdNetwork(std::shared_ptr<CappingManager> cappingManager) : cappingManager_(std::move(cappingManager)) {}
    void finishDownload(const std::string& writeKey, const Result<Container>& result);

    mutable std::mutex lock_;
    std::optional<Container> container_;
    const std::shared_ptr<CappingManager> cappingManager_;
};

}  // namespace qor
