#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>

#include <filesystem>
#include <string>

#include "Analytics/Storage.h"
#include "EngineTestSupport.h"
#include "Platform/Foundation/JSONEncoder.h"

namespace qor {
namespace {

using enginetest::EngineAppHome;
using enginetest::readFile;
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
    EngineAppHome home;
    const auto file = home.eventsFolder("abc") / "0-lumatix-events";
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
    const auto next = home.eventsFolder("abc") / "1-lumatix-events";
    {
        FileSizeCap cap(5);
        storage->write(Constants::events, first);
    }
    ASSERT_TRUE(std::filesystem::exists(next));
    EXPECT_EQ(std::filesystem::file_size(next), 0u);
    storage->write(Constants::events, third);
    EXPECT_EQ(readFile(next), kOpening + textOf(third));
}

}  // namespace
}  // namespace qor
