#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "Analytics/Storage.h"
#include "EngineTestSupport.h"
#include "Platform/Foundation/JSONEncoder.h"
#include "testing/FileHelpers.h"
#include "testing/TestAppHome.h"

namespace qor {
namespace {

using testing::readFile;
using testing::TestAppHome;
using Constants = Storage::Constants;

const std::string kOpening = "{ \"batch\": [";

std::string textOf(const TrackEvent& event) { return platform::JSONEncoder().encodeToString(event); }

// Caps the size of any file this process writes, as a full disk would: a write that
// crosses the cap puts down what fits and then fails.
class FileSizeCap {
public:
    explicit FileSizeCap(rlim_t bytes) {
        previousHandler_ = ::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit capped = previous_;
        capped.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &capped);
    }
    ~FileSizeCap() {
        ::setrlimit(RLIMIT_FSIZE, &previous_);
        ::signal(SIGXFSZ, previousHandler_);
    }
    FileSizeCap(const FileSizeCap&) = delete;
    FileSizeCap& operator=(const FileSizeCap&) = delete;

private:
    rlimit previous_{};
    sighandler_t previousHandler_;
};

TEST(StorageWriteFailures, AnEventCutShortIsTakenBackSoTheBatchStaysWhole) {
    TestAppHome home;
    const auto file = enginetest::eventsFolder(home, "abc") / "0-lumatix-events";
    auto storage = Storage::make("abc", nullptr);
    const TrackEvent first("first", std::nullopt);
    storage->write(Constants::events, first);
    const auto sizeAfterFirst = std::filesystem::file_size(file);

    // Room for the comma and a few bytes of the event, not for the whole of it.
    {
        FileSizeCap cap(sizeAfterFirst + 8);
        storage->write(Constants::events, TrackEvent(std::string(200, 'x'), std::nullopt));
    }
    EXPECT_EQ(std::filesystem::file_size(file), sizeAfterFirst);

    const TrackEvent third("third", std::nullopt);
    storage->write(Constants::events, third);
    EXPECT_EQ(readFile(file), kOpening + textOf(first) + "," + textOf(third));

    // A brand-new file whose opening text does not fit is left empty, and the next event
    // starts it properly.
    storage->read(Constants::events);
    const auto next = enginetest::eventsFolder(home, "abc") / "1-lumatix-events";
    {
        FileSizeCap cap(5);
        storage->write(Constants::events, first);
    }
    ASSERT_TRUE(std::filesystem::exists(next));
    EXPECT_EQ(std::filesystem::file_size(next), 0u);
    storage->write(Constants::events, third);
    EXPECT_EQ(readFile(next), kOpening + textOf(third));
}

TEST(StorageConcurrency, EventsFromManyThreadsWhileFilesAreListedAllLandInValidBatches) {
    TestAppHome home;
    auto storage = Storage::make("abc", nullptr);
    constexpr int kThreads = 4;
    constexpr int kPerThread = 100;
    std::atomic<int> writersLeft{kThreads};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i) {
                storage->write(Constants::events,
                               TrackEvent(std::to_string(t) + "-" + std::to_string(i), std::nullopt));
            }
            --writersLeft;
        });
    }
    std::size_t listings = 0;
    while (writersLeft.load() > 0) listings += storage->read(Constants::events)->empty() ? 0 : 1;
    for (auto& thread : threads) thread.join();

    std::size_t events = 0;
    const auto files = storage->read(Constants::events).value();
    for (const auto& url : files) {
        const auto batch = nlohmann::json::parse(readFile(url.path()));
        events += batch.at("batch").size();
        EXPECT_EQ(batch.at("writeKey"), "abc@ios");
    }
    EXPECT_EQ(events, static_cast<std::size_t>(kThreads * kPerThread));
    EXPECT_GT(listings, 0u);
}

}  // namespace
}  // namespace qor
