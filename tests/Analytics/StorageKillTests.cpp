// The kill harness of the batch files: a child process records events on an app home and is
// killed (SIGKILL) at one exact step of the storage, a fault-injection point of the test build;
// the next start on the same home must then deliver every event the child had acknowledged to
// the loopback collection server, none of them twice (except where the kill fell between the
// server's answer and the delete), and leave no stranded file behind.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "Analytics/QORDestination.h"
#include "DeliveryTestSupport.h"
#include "testing/ChildProcess.h"
#include "testing/FileHelpers.h"
#include "testing/ScopedFaultHandler.h"
#include "testing/TempDirectory.h"

namespace qor {
namespace {

using deliverytest::DeliveryEnvironment;
using testing::environmentVariable;
using testing::pumpMainUntil;

constexpr const char* kChildTest = "StorageKillChild.RecordsUntilKilled";
constexpr const char* kWriteKey = "delivery-key";

void configureForKills(Configuration::Values& values) {
    values.flushAt = 1 << 30;
    values.flushInterval = 3600;
    values.trackApplicationLifecycleEvents = false;
}

// MARK: The child

// Where the child stops: the point's name and how many times it may pass it first.
char killPoint[128];
std::atomic<int> passesLeft{0};

bool killAtPoint(const char* point) {
    if (std::strcmp(point, killPoint) == 0 && passesLeft.fetch_sub(1) == 1) ::raise(SIGKILL);
    return false;
}

void appendLine(const std::string& path, const std::string& line) {
    // Straight to the kernel: what is written survives the kill.
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    const std::string text = line + "\n";
    ASSERT_EQ(::write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    ::close(fd);
}

// Orders from the parent, in the environment:
//   QOR_KILL_POINT, QOR_KILL_PASS   stop at the point the PASS-th time it is reached
//   QOR_KILL_EVENTS                 how many events to record ("<prefix><n>", n from 1)
//   QOR_KILL_PREFIX                 the names' prefix, so that runs never share a name
//   QOR_KILL_PADDING                bytes of padding per event (big events reach the size limit)
//   QOR_KILL_FLUSH_EVERY            list the finished files every so many events (0: never)
//   QOR_KILL_UPLOAD_URL             flush through the destination, uploading there, instead
//   QOR_KILL_ACKNOWLEDGED           the file that gets each event's name once `track` returned
TEST(StorageKillChild, RecordsUntilKilled) {
    const auto point = environmentVariable("QOR_KILL_POINT");
    if (!point) GTEST_SKIP() << "the child process of the StorageKill tests; it does nothing on its own";
    std::strncpy(killPoint, point->c_str(), sizeof killPoint - 1);
    passesLeft = std::stoi(environmentVariable("QOR_KILL_PASS").value_or("1"));
    const int events = std::stoi(environmentVariable("QOR_KILL_EVENTS").value_or("0"));
    const std::string prefix = environmentVariable("QOR_KILL_PREFIX").value_or("c");
    const std::string padding(std::stoul(environmentVariable("QOR_KILL_PADDING").value_or("0")), 'x');
    const int flushEvery = std::stoi(environmentVariable("QOR_KILL_FLUSH_EVERY").value_or("0"));
    const auto uploadURL = environmentVariable("QOR_KILL_UPLOAD_URL");
    const std::string acknowledged = environmentVariable("QOR_KILL_ACKNOWLEDGED").value();

    std::optional<testing::ScopedEnvironment> collection;
    if (uploadURL) collection.emplace("QOR_COLLECTION_URL", *uploadURL);
    const testing::ScopedFaultHandler faultHandler(&killAtPoint);

    auto configuration = Configuration::make(kWriteKey);
    configuration->modifyValues(configureForKills);
    auto analytics = Analytics::make(configuration);
    enginetest::drainMainQueue();
    const auto destination = analytics->find<QORDestination>();
    for (int index = 1; index <= events; ++index) {
        const std::string name = prefix + std::to_string(index);
        analytics->track(name, platform::AnyDictionary{{"padding", padding}});
        appendLine(acknowledged, name);
        if (flushEvery == 0 || index % flushEvery != 0) continue;
        if (uploadURL) {
            destination->flush();
            destination->flushQueue()->sync([] {});
            ASSERT_TRUE(pumpMainUntil([&] { return destination->pendingUploads() == 0; }));
        } else {
            analytics->storage()->read(Storage::Constants::events);
        }
    }
}

// MARK: The parent

struct ChildRun {
    std::string point;
    int pass = 1;
    int events = 25;
    int flushEvery = 10;
    std::size_t padding = 0;
    bool uploads = false;
};

struct KillCase {
    std::string name;
    std::vector<ChildRun> runs;
    // The kill fell between the server's answer and the delete: that file goes out again.
    bool duplicatesAllowed = false;
};

std::ostream& operator<<(std::ostream& out, const KillCase& killCase) { return out << killCase.name; }

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        if (!line.empty()) result.push_back(line);
    }
    return result;
}

class StorageKill : public ::testing::TestWithParam<KillCase> {
protected:
    DeliveryEnvironment environment;
    testing::TempDirectory scratch{"qor-kill"};
};

TEST_P(StorageKill, EveryAcknowledgedEventArrivesAfterTheNextStart) {
    const auto& killCase = GetParam();
    const std::string acknowledged = scratch.file("acknowledged").string();
    int run = 0;
    for (const auto& child : killCase.runs) {
        ++run;
        std::map<std::string, std::string> orders{
            {"QOR_KILL_POINT", child.point},
            {"QOR_KILL_PASS", std::to_string(child.pass)},
            {"QOR_KILL_EVENTS", std::to_string(child.events)},
            {"QOR_KILL_PREFIX", "run" + std::to_string(run) + "-"},
            {"QOR_KILL_PADDING", std::to_string(child.padding)},
            {"QOR_KILL_FLUSH_EVERY", std::to_string(child.flushEvery)},
            {"QOR_KILL_ACKNOWLEDGED", acknowledged},
        };
        if (child.uploads) orders["QOR_KILL_UPLOAD_URL"] = environment.collection().collectionURL();
        const auto outcome = testing::runTestChild(kChildTest, orders);
        ASSERT_TRUE(outcome.killedBy(SIGKILL)) << "run " << run << " was not stopped at " << child.point << ":\n"
                                               << outcome.output;
    }

    // The next start on the same home records a few events more, then flushes until every
    // finished file is out.
    auto analytics = environment.start(configureForKills, kWriteKey);
    const auto destination = analytics->find<QORDestination>();
    for (int index = 1; index <= 3; ++index) {
        const std::string name = "after-" + std::to_string(index);
        analytics->track(name);
        testing::writeFile(acknowledged, testing::readFile(acknowledged) + name + "\n");
    }
    for (int round = 0; round < 3; ++round) {
        destination->flush();
        destination->flushQueue()->sync([] {});
        ASSERT_TRUE(pumpMainUntil([&] { return destination->pendingUploads() == 0; }));
    }

    std::multiset<std::string> received;
    for (const auto& request : environment.collection().receivedRequests()) {
        const auto body = request.bodyString();
        ASSERT_TRUE(testing::CollectionServer::isWellFormedBatch(body))
            << "the server refused a batch that is not JSON; it ends with: "
            << body.substr(body.size() > 300 ? body.size() - 300 : 0);
        for (const auto& name : deliverytest::eventNames(body)) received.insert(name);
    }
    const auto sent = lines(testing::readFile(acknowledged));
    ASSERT_FALSE(sent.empty());
    for (const auto& name : sent) {
        EXPECT_GT(received.count(name), 0u) << name << " was acknowledged and never arrived";
    }
    std::set<std::string> unique(received.begin(), received.end());
    if (!killCase.duplicatesAllowed) {
        EXPECT_EQ(unique.size(), received.size()) << "an event arrived twice";
    }

    // Nothing is stranded: every batch file went out, no temporary is left.
    std::vector<std::string> left;
    std::error_code error;
    for (const auto& entry :
         std::filesystem::directory_iterator(enginetest::eventsFolder(environment.home(), kWriteKey), error)) {
        left.push_back(entry.path().filename().string());
    }
    EXPECT_TRUE(left.empty()) << "left in the batch folder: " << ::testing::PrintToString(left);
}

ChildRun listingKill(std::string point, int pass) { return ChildRun{std::move(point), pass, 25, 10, 0, false}; }

// Events of about 40 KB: a file reaches the size limit after a dozen, and the event that
// finds it full finishes it and starts the next one.
ChildRun sizeLimitKill(std::string point, int pass) { return ChildRun{std::move(point), pass, 40, 0, 40000, false}; }

INSTANTIATE_TEST_SUITE_P(
    Windows, StorageKill,
    ::testing::Values(
        KillCase{"ClosingWrittenNotRenamed", {listingKill("Storage.finish.closingWritten", 2)}},
        KillCase{"CounterSavedNotRenamed", {listingKill("Storage.finish.counterSaved", 2)}},
        KillCase{"RenamedBeforeAnythingElse", {listingKill("Storage.finish.renamed", 2)}},
        KillCase{"FullFileClosingWritten", {sizeLimitKill("Storage.finish.closingWritten", 1)}},
        KillCase{"FullFileRenamed", {sizeLimitKill("Storage.finish.renamed", 1)}},
        KillCase{"RenamedThenClosingWrittenInTheNextRun",
                 {listingKill("Storage.finish.renamed", 1), sizeLimitKill("Storage.finish.closingWritten", 2)}},
        KillCase{"ClosingWrittenTwice",
                 {listingKill("Storage.finish.closingWritten", 1), listingKill("Storage.finish.closingWritten", 1)}},
        KillCase{"AnsweredNotDeleted", {ChildRun{"QORDestination.upload.answered", 2, 25, 10, 0, true}}, true}),
    [](const ::testing::TestParamInfo<KillCase>& info) { return info.param.name; });

// An earlier version made each batch file through a temporary and a rename; a process killed
// between the two left "<n>-lumatix-events.XXXXXX" behind for ever. The next start removes them
// and keeps every other file.
TEST(StorageKillLeftovers, TemporariesOfAnInterruptedCreateAreRemovedAtStart) {
    DeliveryEnvironment environment;
    const auto folder = enginetest::eventsFolder(environment.home(), kWriteKey);
    testing::writeFile(folder / "3-lumatix-events.Ab12Cd", "");
    testing::writeFile(folder / "12-lumatix-events.zZ09xY", "{ \"batch\": [");
    testing::writeFile(folder / "notes.txt", "not ours to judge");
    auto analytics = environment.start(configureForKills, kWriteKey);
    analytics->track("first");

    EXPECT_FALSE(std::filesystem::exists(folder / "3-lumatix-events.Ab12Cd"));
    EXPECT_FALSE(std::filesystem::exists(folder / "12-lumatix-events.zZ09xY"));
    EXPECT_TRUE(std::filesystem::exists(folder / "notes.txt"));
    EXPECT_TRUE(std::filesystem::exists(folder / "0-lumatix-events"));
}

}  // namespace
}  // namespace qor
