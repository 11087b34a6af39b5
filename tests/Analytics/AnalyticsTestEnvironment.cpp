// Every analytics instance starts its delivery plugins: the context plugin looks up the
// public address through the shared Session and the destination uploads to the collection
// endpoint. This process-wide environment gives every test of this executable loopback
// servers for both and a shared Session, so no test reaches beyond the machine.
#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include "Networking/Client/Session/Session.h"
#include "testing/CollectionServer.h"
#include "testing/IPEchoServer.h"
#include "testing/MainLoopPump.h"
#include "testing/ScopedEnvironment.h"

namespace {

class AnalyticsTestEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        collection_ = qor::testing::CollectionServer::makeHTTP();
        ipEcho_ = qor::testing::IPEchoServer::makeHTTP();
        collectionVariable_.emplace("QOR_COLLECTION_URL", collection_->collectionURL());
        ipEchoVariable_.emplace("QOR_IP_ECHO_URL", ipEcho_->baseURL());
        qor::Session::setSharedInstance(qor::Session::makeDefault());
    }

    void TearDown() override {
        // Let lookups and uploads still under way finish while their servers are up.
        qor::testing::pumpMainUntil([] { return qor::Session::sharedInstance()->delegate()->taskCount() == 0; },
                                    std::chrono::seconds(5));
        ipEchoVariable_.reset();
        collectionVariable_.reset();
        ipEcho_.reset();
        collection_.reset();
    }

private:
    std::unique_ptr<qor::testing::CollectionServer> collection_;
    std::unique_ptr<qor::testing::IPEchoServer> ipEcho_;
    std::optional<qor::testing::ScopedEnvironment> collectionVariable_;
    std::optional<qor::testing::ScopedEnvironment> ipEchoVariable_;
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new AnalyticsTestEnvironment);

}  // namespace
