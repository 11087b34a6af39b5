#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "Analytics/QORDestination.h"
#include "DeliveryTestSupport.h"
#include "Platform/Support/SharedDeviceProfile.h"
#include "Platform/UIKit/UIApplication.h"
#include "testing/FileHelpers.h"

namespace qor {
namespace {

using deliverytest::DeliveryEnvironment;
using deliverytest::eventNames;
using enginetest::SystemLogCapture;
using testing::pumpMainUntil;

class DestinationTest : public ::testing::Test {
protected:
    void SetUp() override { setLogDeliveryEnabled(true); }
    void TearDown() override { setLogDeliveryEnabled(false); }

    static void trackMany(Analytics& analytics, int count, const std::string& prefix = "Event ") {
        for (int index = 1; index <= count; ++index) analytics.track(prefix + std::to_string(index));
    }

    // A flush runs on the destination's queue: this waits until it has listed the files and
    // started (and registered) its uploads.
    static void flushAndWait(QORDestination& destination) {
        destination.flush();
        destination.flushQueue()->sync([] {});
    }

    DeliveryEnvironment environment;
};

TEST_F(DestinationTest, TwentiethEventPostsTheFinishedFileUnchanged) {
    auto analytics = environment.start([](Configuration::Values& values) { values.flushAt = 20; });
    auto destination = analytics->find<QORDestination>();
    ASSERT_TRUE(destination);
    ASSERT_EQ(destination->flushAt(), 20);
    environment.collection().holdAnswers();

    trackMany(*analytics, 19);
    EXPECT_EQ(destination->eventCount(), 19);
    EXPECT_TRUE(environment.finishedFiles().empty());
    analytics->track("Event 20");
    EXPECT_EQ(destination->eventCount(), 0);

    ASSERT_TRUE(environment.collection().waitForPosts(1));
    const auto files = environment.finishedFiles();
    ASSERT_EQ(files.size(), 1u);
    const auto request = environment.collection().receivedRequests().front();
    EXPECT_EQ(request.bodyString(), testing::readFile(files.front()));
    EXPECT_EQ(eventNames(request.bodyString()).size(), 20u);
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.header("Content-Type"), "text/plain");
    EXPECT_EQ(request.header("Accept"), "application/json");
    EXPECT_EQ(request.header("Cache-Control"), "private, no-store, no-cache, must-revalidate");
    EXPECT_NE(request.header("User-Agent").value_or("").find(" QOR SDK /0.1.19 ("), std::string::npos);
    EXPECT_FALSE(request.header("Authorization").has_value());

    environment.collection().releaseAnswers();
    ASSERT_TRUE(
        pumpMainUntil([&] { return environment.finishedFiles().empty() && destination->pendingUploads() == 0; }));
    analytics->track("Event 21");
    EXPECT_EQ(destination->eventCount(), 1);
    EXPECT_EQ(environment.collection().receivedCount(), 1u);
}

TEST_F(DestinationTest, EventsTrackedBeforeTheMainLoopTurnsWaitForFlushAt) {
    // An app that tracks straight after start, before its run loop first turns.
    auto configuration = Configuration::make("delivery-key");
    configuration->modifyValues([](Configuration::Values& values) {
        values.flushAt = 20;
        values.flushInterval = 3600;
    });
    auto analytics = Analytics::make(configuration);
    auto destination = analytics->find<QORDestination>();
    ASSERT_TRUE(destination);
    EXPECT_EQ(destination->flushAt(), 20);
    trackMany(*analytics, 3);
    EXPECT_EQ(destination->eventCount(), 3);
    testing::pumpMainFor(std::chrono::milliseconds(50));
    EXPECT_TRUE(environment.finishedFiles().empty());
    EXPECT_EQ(environment.collection().receivedCount(), 0u);
}

TEST_F(DestinationTest, OnlyAcceptanceOrABadRequestRefusalDeletesTheFile) {
    auto analytics = environment.start();
    auto destination = analytics->find<QORDestination>();
    analytics->track("Kept");

    environment.collection().answerNext(503, "Service unavailable");
    flushAndWait(*destination);
    ASSERT_TRUE(pumpMainUntil([&] { return destination->pendingUploads() == 0; }));
    ASSERT_EQ(environment.finishedFiles().size(), 1u);

    environment.collection().answerNext(400, "Bad request: unknown write key");
    flushAndWait(*destination);
    ASSERT_TRUE(pumpMainUntil([&] { return environment.finishedFiles().empty(); }));

    const auto bodies = environment.collection().receivedBodies();
    ASSERT_EQ(bodies.size(), 2u);
    EXPECT_EQ(bodies[0], bodies[1]);  // the kept file went out again as it was
    EXPECT_EQ(eventNames(bodies[0]), std::vector<std::string>{"Kept"});

    // A refusal without that text keeps the file, whatever its status.
    analytics->track("Refused");
    environment.collection().answerNext(400, "Invalid payload");
    flushAndWait(*destination);
    ASSERT_TRUE(environment.collection().waitForPosts(3));
    ASSERT_TRUE(pumpMainUntil([&] { return destination->pendingUploads() == 0; }));
    EXPECT_EQ(environment.finishedFiles().size(), 1u);
}

TEST_F(DestinationTest, FinishedFilesGoOutInTheOrderOfTheirNames) {
    const std::string batch = R"({"batch":[],"sentAt":"2024-01-01T00:00:00.000Z","writeKey":"delivery-key"})";
    const auto folder = enginetest::eventsFolder(environment.home(), "delivery-key");
    testing::writeFile(folder / "2-lumatix-events.temp", batch);
    testing::writeFile(folder / "10-lumatix-events.temp", batch);
    SystemLogCapture log;
    auto analytics = environment.start();
    auto destination = analytics->find<QORDestination>();
    destination->flush();

    ASSERT_TRUE(environment.collection().waitForPosts(2));
    ASSERT_TRUE(pumpMainUntil([&] { return environment.finishedFiles().empty(); }));
    // A file is deleted before its completion logs on the destination's queue: let the last
    // one end before the capture reads, and before it goes.
    ASSERT_TRUE(pumpMainUntil([&] { return destination->pendingUploads() == 0; }));
    destination->flushQueue()->sync([] {});
    std::vector<std::string> started;
    for (const auto& message : log.messages()) {
        const auto at = message.find("Processing Batch:\n");
        if (at != std::string::npos) started.push_back(message.substr(at + 18, message.find('-', at) - at - 18));
    }
    EXPECT_EQ(started, (std::vector<std::string>{"10", "2"}));
}

TEST_F(DestinationTest, FlushWhileAnUploadIsHeldSendsNothingNew) {
    auto analytics = environment.start();
    auto destination = analytics->find<QORDestination>();
    SystemLogCapture log;
    flushAndWait(*destination);
    EXPECT_EQ(log.count("Uploads in-progress: 0"), 1u);  // nothing finished yet: nothing sent
    EXPECT_EQ(environment.collection().receivedCount(), 0u);

    environment.collection().holdAnswers();
    analytics->track("First");
    flushAndWait(*destination);
    ASSERT_TRUE(environment.collection().waitForPosts(1));
    EXPECT_EQ(destination->pendingUploads(), 1u);

    analytics->track("Second");
    flushAndWait(*destination);
    EXPECT_EQ(log.count("Uploads in-progress: 1"), 1u);
    EXPECT_EQ(log.count("Skipping processing; Uploads in progress."), 1u);
    EXPECT_EQ(environment.finishedFiles().size(), 2u);  // the open file was finished all the same
    testing::pumpMainFor(std::chrono::milliseconds(100));
    EXPECT_EQ(environment.collection().receivedCount(), 1u);

    environment.collection().releaseAnswers();
    ASSERT_TRUE(pumpMainUntil([&] { return destination->pendingUploads() == 0; }));
    flushAndWait(*destination);
    ASSERT_TRUE(environment.collection().waitForPosts(2));
    ASSERT_TRUE(pumpMainUntil([&] { return environment.finishedFiles().empty(); }));
    const auto bodies = environment.collection().receivedBodies();
    ASSERT_EQ(bodies.size(), 2u);
    EXPECT_EQ(eventNames(bodies[0]), std::vector<std::string>{"First"});
    EXPECT_EQ(eventNames(bodies[1]), std::vector<std::string>{"Second"});
    // The last completion still logs on the destination's queue: let it end before the capture.
    ASSERT_TRUE(pumpMainUntil([&] { return destination->pendingUploads() == 0; }));
    destination->flushQueue()->sync([] {});
}

TEST_F(DestinationTest, ConcurrentFlushesNeverSendAFileTwice) {
    auto analytics = environment.start();
    auto destination = analytics->find<QORDestination>();
    for (int round = 0; round < 5; ++round) {
        analytics->track("Round " + std::to_string(round));
        std::vector<std::thread> flushers;
        for (int thread = 0; thread < 4; ++thread) flushers.emplace_back([&] { destination->flush(); });
        for (auto& flusher : flushers) flusher.join();
        // flush() returns before its flush runs: a round ends when all four ran and their upload
        // ended, or a flush left over would finish the next round's file behind an upload in
        // progress, and that file would wait for a flush that never comes.
        destination->flushQueue()->sync([] {});
        ASSERT_TRUE(pumpMainUntil([&] { return destination->pendingUploads() == 0; }));
    }
    ASSERT_TRUE(pumpMainUntil([&] { return environment.finishedFiles().empty(); }));
    const auto bodies = environment.collection().receivedBodies();
    std::multiset<std::string> names;
    for (const auto& body : bodies) {
        for (const auto& name : eventNames(body)) names.insert(name);
    }
    EXPECT_EQ(names.size(), 5u);
    for (int round = 0; round < 5; ++round) EXPECT_EQ(names.count("Round " + std::to_string(round)), 1u);
}

TEST_F(DestinationTest, TheFlushTimerFlushes) {
    auto analytics = environment.start([](Configuration::Values& values) { values.flushInterval = 0.1; });
    analytics->track("Timed");
    ASSERT_TRUE(pumpMainUntil([&] { return environment.collection().receivedCount() == 1; }));
    EXPECT_EQ(eventNames(environment.collection().receivedBodies().front()), std::vector<std::string>{"Timed"});
}

TEST_F(DestinationTest, EnteringTheBackgroundFlushesInsideABackgroundTask) {
    auto analytics = environment.start();
    auto destination = analytics->find<QORDestination>();
    const auto application = platform::UIApplication::shared();
    environment.collection().holdAnswers();
    analytics->track("Before background");
    application->postEnterBackground();

    ASSERT_TRUE(environment.collection().waitForPosts(1));
    EXPECT_EQ(destination->flushTimer()->state(), QueueTimer::State::suspended);
    EXPECT_EQ(application->backgroundTasks().size(), 1u);
    // The lifecycle event comes first, so it is already in the uploaded file.
    EXPECT_EQ(eventNames(environment.collection().receivedBodies().front()),
              (std::vector<std::string>{"Before background", "Application Backgrounded"}));

    environment.collection().releaseAnswers();
    ASSERT_TRUE(pumpMainUntil([&] { return destination->pendingUploads() == 0; }));
    EXPECT_TRUE(application->backgroundTasks().empty());
    application->postEnterForeground();
    EXPECT_EQ(destination->flushTimer()->state(), QueueTimer::State::resumed);
}

TEST_F(DestinationTest, AnExpiredBackgroundTaskCancelsItsUploadAndKeepsTheFile) {
    auto analytics = environment.start();
    auto destination = analytics->find<QORDestination>();
    const auto application = platform::UIApplication::shared();
    environment.collection().holdAnswers();
    analytics->track("Cut short");
    application->postEnterBackground();
    ASSERT_TRUE(environment.collection().waitForPosts(1));

    application->expireBackgroundTasks();
    ASSERT_TRUE(pumpMainUntil([&] { return destination->pendingUploads() == 0; }));
    EXPECT_TRUE(application->backgroundTasks().empty());
    EXPECT_EQ(environment.finishedFiles().size(), 1u);
    environment.collection().releaseAnswers();
}

TEST_F(DestinationTest, SettingsGiveTheIntegrationKeyAndHost) {
    auto analytics = environment.start();
    auto destination = analytics->find<QORDestination>();
    EXPECT_EQ(destination->apiKey(), "delivery-key");
    EXPECT_EQ(destination->apiHost(), environment.collection().collectionURL());

    Settings other;
    other.integrations = JSON(JSON::Object{{"elsewhere", JSON(JSON::Object{{"apiKey", "x"}})}});
    destination->update(other, UpdateType::refresh);
    EXPECT_FALSE(destination->apiKey().has_value());
    EXPECT_FALSE(destination->apiHost().has_value());
}

// The process's umask for one scope; the earlier one comes back at the end.
class ScopedUmask {
public:
    explicit ScopedUmask(mode_t mask) : earlier_(::umask(mask)) {}
    ~ScopedUmask() { ::umask(earlier_); }
    ScopedUmask(const ScopedUmask&) = delete;
    ScopedUmask& operator=(const ScopedUmask&) = delete;

private:
    mode_t earlier_;
};

TEST_F(DestinationTest, WhatIsWrittenAboutTheUserIsTheUsersAlone) {
    const ScopedUmask usual(022);
    // The identifier for vendor is made and kept in the app home for this test only.
    const auto fixedIdentifier = platform::sharedDeviceProfile()->identifierForVendor;
    platform::updateDeviceProfile([](platform::DeviceProfile& profile) { profile.identifierForVendor.reset(); });
    auto analytics = environment.start([](Configuration::Values& values) { values.flushAt = 2; });
    environment.collection().holdAnswers();
    analytics->identify("user-1");
    analytics->track("Finished");
    analytics->track("Left open");
    const bool posted = environment.collection().waitForPosts(1);
    analytics->track("Still open");
    platform::updateDeviceProfile(
        [&](platform::DeviceProfile& profile) { profile.identifierForVendor = fixedIdentifier; });
    ASSERT_TRUE(posted);
    ASSERT_FALSE(environment.finishedFiles().empty());

    // Everything under the app home was made by the SDK: the test made only the home itself.
    std::set<std::string> made;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(environment.home().path())) {
        const auto name = entry.path().lexically_relative(environment.home().path()).string();
        made.insert(name);
        const auto perms = entry.symlink_status().permissions();
        EXPECT_EQ(perms & (std::filesystem::perms::group_all | std::filesystem::perms::others_all),
                  std::filesystem::perms::none)
            << name << " is open to others: " << std::oct << static_cast<unsigned>(perms);
    }
    EXPECT_TRUE(made.contains("identifierForVendor"));
    EXPECT_TRUE(
        std::any_of(made.begin(), made.end(), [](const auto& name) { return name.starts_with("Preferences/"); }));
    EXPECT_GE(made.size(), 6u);
}

}  // namespace
}  // namespace qor
