#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <nlohmann/json.hpp>

#include "Analytics/AnalyticsError.h"
#include "Analytics/Storage.h"
#include "EngineTestSupport.h"
#include "Platform/Foundation/JSONEncoder.h"
#include "testing/FileHelpers.h"
#include "testing/ScopedEnvironment.h"
#include "testing/TestAppHome.h"
#include "testing/TextShapes.h"

namespace qor {
namespace {

using testing::readFile;
using testing::TestAppHome;
using testing::writeFile;
using Constants = Storage::Constants;

const std::string kOpening = "{ \"batch\": [";

TrackEvent makeEvent(const std::string& name) {
    TrackEvent event(name, JSON(JSON::Object{{"path", JSON("a/b")}}));
    event.messageId = "ID-" + name;
    return event;
}

std::string textOf(const TrackEvent& event) { return platform::JSONEncoder().encodeToString(event); }

// Splits a finished file into its events text and the closing members.
struct FinishedFile {
    std::string batchText;
    std::string sentAt;
    std::string writeKey;
};

FinishedFile parseFinished(const std::string& contents) {
    FinishedFile result;
    EXPECT_EQ(contents.substr(0, kOpening.size()), kOpening);
    const std::string sentAtMarker = "],\"sentAt\":\"";
    const auto sentAt = contents.rfind(sentAtMarker);
    EXPECT_NE(sentAt, std::string::npos);
    result.batchText = contents.substr(kOpening.size(), sentAt - kOpening.size());
    const auto afterSentAt = sentAt + sentAtMarker.size();
    result.sentAt = contents.substr(afterSentAt, 24);
    const std::string keyMarker = "\",\"writeKey\":\"";
    EXPECT_EQ(contents.substr(afterSentAt + 24, keyMarker.size()), keyMarker);
    const auto keyStart = afterSentAt + 24 + keyMarker.size();
    EXPECT_EQ(contents.substr(contents.size() - 2), "\"}");
    result.writeKey = contents.substr(keyStart, contents.size() - 2 - keyStart);
    return result;
}

class StorageBatchFileTest : public ::testing::Test {
protected:
    TestAppHome home;
    std::filesystem::path folder = enginetest::eventsFolder(home, "abc");
    std::shared_ptr<Storage> storage = Storage::make("abc", nullptr);
};

TEST_F(StorageBatchFileTest, EventsAreAppendedWithOneCommaBetweenThemAndFinishedWithTheClosingText) {
    const auto first = makeEvent("one");
    storage->write(Constants::events, first);
    EXPECT_EQ(readFile(folder / "0-lumatix-events"), kOpening + textOf(first));

    const auto second = makeEvent("two");
    storage->write(Constants::events, second);
    EXPECT_EQ(readFile(folder / "0-lumatix-events"), kOpening + textOf(first) + "," + textOf(second));
    // Slashes in texts are escaped, as the batch files have always been written.
    EXPECT_NE(textOf(first).find("a\\/b"), std::string::npos);

    const auto files = storage->read(Constants::events);
    ASSERT_TRUE(files.has_value());
    ASSERT_EQ(files->size(), 1u);
    EXPECT_EQ(files->front().lastPathComponent(), "0-lumatix-events.temp");
    EXPECT_FALSE(std::filesystem::exists(folder / "0-lumatix-events"));

    const std::string contents = readFile(folder / "0-lumatix-events.temp");
    const auto finished = parseFinished(contents);
    EXPECT_EQ(finished.batchText, textOf(first) + "," + textOf(second));
    EXPECT_TRUE(testing::isISOTimestamp(finished.sentAt)) << finished.sentAt;
    EXPECT_EQ(finished.writeKey, "abc@ios");
    // The whole file is one JSON object with its members in order.
    const auto parsed = nlohmann::ordered_json::parse(contents);
    std::vector<std::string> keys;
    for (const auto& item : parsed.items()) keys.push_back(item.key());
    EXPECT_EQ(keys, (std::vector<std::string>{"batch", "sentAt", "writeKey"}));
    EXPECT_EQ(parsed["batch"].size(), 2u);
    EXPECT_EQ(storage->userDefaults()->integerForKey("lumatix.events"), 1);
}

// Two storages of one write key append to one file: each measures the file as it is now, not
// as it last wrote it, so the comma stays right and a file the other filled past the limit is
// finished before the next event.
TEST_F(StorageBatchFileTest, EachStorageMeasuresASharedOpenFileAsItIsNow) {
    auto other = Storage::make("abc", nullptr);
    const auto one = makeEvent("one");
    storage->write(Constants::events, one);
    auto big = makeEvent("big");
    big.properties = JSON(JSON::Object{{"pad", JSON(std::string(Storage::maxFileSize, 'x'))}});
    other->write(Constants::events, big);
    EXPECT_EQ(readFile(folder / "0-lumatix-events"), kOpening + textOf(one) + "," + textOf(big));

    const auto two = makeEvent("two");
    storage->write(Constants::events, two);
    EXPECT_EQ(parseFinished(readFile(folder / "0-lumatix-events.temp")).batchText, textOf(one) + "," + textOf(big));
    EXPECT_EQ(readFile(folder / "1-lumatix-events"), kOpening + textOf(two));
}

TEST_F(StorageBatchFileTest, AnEventOfAnyKindIsWrittenAsItsOwnKindAndAnUnwritableOneLeavesNoTrace) {
    const auto first = makeEvent("one");
    storage->write(Constants::events, AnyRawEvent(first));
    // A name that is not UTF-8 cannot become JSON text: nothing of it, not even the comma,
    // reaches the file.
    storage->write(Constants::events, AnyRawEvent(makeEvent("bad\xff")));
    const auto third = makeEvent("three");
    storage->write(Constants::events, AnyRawEvent(third));
    EXPECT_EQ(readFile(folder / "0-lumatix-events"), kOpening + textOf(first) + "," + textOf(third));
}

TEST_F(StorageBatchFileTest, AFileTakesEventsUntilItReachesTheSizeLimit) {
    // A file left at 474999 bytes by an earlier run takes one more event, however big.
    const std::string padding(Storage::maxFileSize - 1 - kOpening.size(), ' ');
    writeFile(folder / "0-lumatix-events", kOpening + padding);
    const auto big = makeEvent(std::string(2000, 'x'));
    storage->write(Constants::events, big);
    EXPECT_EQ(readFile(folder / "0-lumatix-events"), kOpening + padding + "," + textOf(big));
    EXPECT_FALSE(std::filesystem::exists(folder / "0-lumatix-events.temp"));

    // Now past the limit: the next event finishes the file and opens number 1.
    const auto next = makeEvent("next");
    storage->write(Constants::events, next);
    EXPECT_TRUE(std::filesystem::exists(folder / "0-lumatix-events.temp"));
    EXPECT_EQ(readFile(folder / "1-lumatix-events"), kOpening + textOf(next));
    EXPECT_EQ(storage->userDefaults()->integerForKey("lumatix.events"), 1);
    const auto finished = parseFinished(readFile(folder / "0-lumatix-events.temp"));
    EXPECT_EQ(finished.batchText, padding + "," + textOf(big));
}

TEST_F(StorageBatchFileTest, AFileOfExactlyTheLimitIsFinishedBeforeTheEvent) {
    writeFile(folder / "0-lumatix-events", kOpening + std::string(Storage::maxFileSize - kOpening.size(), ' '));
    // Opened by this run first, so the finish has a stream to close.
    storage->write(Constants::events, makeEvent("a"));
    EXPECT_TRUE(std::filesystem::exists(folder / "0-lumatix-events.temp"));
    EXPECT_EQ(readFile(folder / "1-lumatix-events"), kOpening + textOf(makeEvent("a")));
}

TEST_F(StorageBatchFileTest, FinishedFilesAreListedInTextOrderAndOthersAreSkipped) {
    writeFile(folder / "2-lumatix-events.temp", "{}");
    writeFile(folder / "10-lumatix-events.temp", "{}");
    writeFile(folder / ".hidden.temp", "{}");
    writeFile(folder / "3-lumatix-events.tmp", "{}");
    const auto files = storage->read(Constants::events);
    ASSERT_TRUE(files.has_value());
    std::vector<std::string> names;
    for (const auto& url : *files) names.push_back(url.lastPathComponent());
    EXPECT_EQ(names, (std::vector<std::string>{"10-lumatix-events.temp", "2-lumatix-events.temp"}));

    storage->remove(files->front());
    EXPECT_FALSE(std::filesystem::exists(folder / "10-lumatix-events.temp"));
    storage->remove(files->front());  // a second removal is no failure
    EXPECT_FALSE(storage->read(Constants::userId).has_value());
}

TEST_F(StorageBatchFileTest, ACounterAndAnOpenFileSurviveARestart) {
    storage->write(Constants::events, makeEvent("a"));
    ASSERT_EQ(storage->read(Constants::events)->size(), 1u);
    const auto first = makeEvent("first");
    storage->write(Constants::events, first);
    ASSERT_TRUE(std::filesystem::exists(folder / "1-lumatix-events"));

    // A new run: the counter is read back and the open file 1 is appended to.
    storage.reset();
    auto restarted = Storage::make("abc", nullptr);
    // Before an event of this run the file left open is not finished, so not listed.
    EXPECT_EQ(restarted->read(Constants::events)->size(), 1u);
    const auto second = makeEvent("second");
    restarted->write(Constants::events, second);
    EXPECT_EQ(readFile(folder / "1-lumatix-events"), kOpening + textOf(first) + "," + textOf(second));

    const auto files = restarted->read(Constants::events);
    ASSERT_EQ(files->size(), 2u);
    EXPECT_EQ((*files)[1].lastPathComponent(), "1-lumatix-events.temp");
    EXPECT_EQ(parseFinished(readFile(folder / "1-lumatix-events.temp")).batchText,
              textOf(first) + "," + textOf(second));
    EXPECT_EQ(restarted->userDefaults()->integerForKey("lumatix.events"), 2);
}

TEST_F(StorageBatchFileTest, AFileLeftWithoutEventsGetsNoCommaBeforeItsFirstEvent) {
    // An earlier run stopped right after making the file, before or after its opening text.
    writeFile(folder / "0-lumatix-events", kOpening);
    const auto event = makeEvent("first");
    storage->write(Constants::events, event);
    EXPECT_EQ(readFile(folder / "0-lumatix-events"), kOpening + textOf(event));

    storage->read(Constants::events);
    writeFile(folder / "1-lumatix-events", "");
    auto restarted = Storage::make("abc", nullptr);
    restarted->write(Constants::events, event);
    EXPECT_EQ(readFile(folder / "1-lumatix-events"), kOpening + textOf(event));
}

TEST_F(StorageBatchFileTest, TheFinishCallbackReceivesTheRenamedFile) {
    std::vector<std::string> finished;
    storage->setOnFinish([&finished](const platform::URL& url) { finished.push_back(url.lastPathComponent()); });
    storage->write(Constants::events, makeEvent("a"));
    storage->read(Constants::events);
    storage->read(Constants::events);  // nothing open: nothing more finished
    EXPECT_EQ(finished, (std::vector<std::string>{"0-lumatix-events.temp"}));
}

TEST_F(StorageBatchFileTest, DefaultsValuesKeepTheirKindsAndAbsentValuesRemoveThem) {
    storage->write(Constants::userId, std::string("user-1"));
    EXPECT_EQ(storage->readUserId(), "user-1");
    EXPECT_FALSE(storage->read<std::int64_t>(Constants::userId).has_value());
    storage->write(Constants::userId, std::optional<std::string>());
    EXPECT_FALSE(storage->readUserId().has_value());

    JSON traits(JSON::Object{{"age", JSON(0.1)}, {"vip", JSON(true)}, {"none", JSON()}, {"zip", JSON("01234")}});
    storage->write(Constants::traits, traits);
    ASSERT_TRUE(storage->readTraits().has_value());
    EXPECT_EQ(*storage->readTraits(), traits);
    EXPECT_EQ((*storage->readTraits())["vip"]->kind(), JSON::Kind::boolean);
    EXPECT_EQ((*storage->readTraits())["none"]->kind(), JSON::Kind::null);
    EXPECT_TRUE(storage->userDefaults()->dataForKey("lumatix.traits").has_value());

    Settings settings("abc", "https://host/v1/b");
    storage->write(Constants::settings, settings);
    EXPECT_EQ(storage->readSettings(), settings);

    // Values reach the suite's file, so another run reads them.
    storage.reset();
    auto restarted = Storage::make("abc", nullptr);
    EXPECT_EQ(restarted->readSettings(), settings);
    EXPECT_EQ(*restarted->readTraits(), traits);
}

TEST(StorageWithoutDocuments, EventsAreDroppedAndReportedWithoutACrash) {
    TestAppHome home;
    // The app home is a plain file: no folder can be made under it.
    const auto blocked = home.path() / "blocked";
    writeFile(blocked, "x");
    testing::ScopedEnvironment blockedHome("QOR_APP_HOME", blocked.string());

    std::vector<std::string> errors;
    auto config = enginetest::configuration("key");
    config->modifyValues([&errors](Configuration::Values& values) {
        values.errorHandler = [&errors](std::exception_ptr error) { errors.push_back(describeError(error)); };
    });
    enginetest::SystemLogCapture log;
    auto analytics = Analytics::make(config);
    analytics->storage()->write(Storage::Constants::events, makeEvent("lost"));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].rfind("storageUnableToCreate(", 0), 0u) << errors[0];
    EXPECT_EQ(log.count("Storage: Output stream is nil for file://"), 1u);
    EXPECT_TRUE(analytics->storage()->read(Storage::Constants::events)->empty());
    enginetest::drainMainQueue();
}

}  // namespace
}  // namespace qor
