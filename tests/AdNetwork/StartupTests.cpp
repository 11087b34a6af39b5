#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <mutex>

#include "AdNetwork/AdController.h"
#include "AdNetwork/CappingManager.h"
#include "Analytics/Storage.h"
#include "EngineHarness.h"
#include "Platform/Host/Host.h"
#include "testing/FileHelpers.h"
#include "testing/ScopedEnvironment.h"

namespace qor::enginetest {
namespace {

using StartupTest = EngineTest;

std::size_t countLines(const test::SDKLogCapture& log, const std::string& line) {
    const auto lines = log.lines();
    return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), line));
}

platform::PlistDictionary infoWithConfig(platform::PlistDictionary config) {
    auto info = appInfo();
    info["QORSDKConfig"] = platform::PlistValue(std::move(config));
    return info;
}

TEST_F(StartupTest, StartWithConfigFillsTheSlotsAndDownloadsTheContainerOfTheAdNetworkKey) {
    test::SDKLogCapture log;
    network().serveContainer("ad-key", network().defaultContainer());
    QOR::start(std::make_shared<QOR::Config>("analytics-key", "ad-key"));

    // The download is asynchronous: nothing is there until the main run loop turns.
    EXPECT_FALSE(QOR::adNetworkContainer().has_value());
    EXPECT_EQ(Analytics::sharedInstance()->configuration()->values().writeKey, "analytics-key");
    EXPECT_NE(AdController::sharedInstance(), nullptr);
    EXPECT_FALSE(CappingManager::sharedInstance()->config().has_value());

    ASSERT_TRUE(testing::pumpMainUntil([] { return QOR::adNetworkContainer().has_value(); }));
    const auto container = QOR::adNetworkContainer();
    EXPECT_EQ(container->configurationID, "ad-key");
    EXPECT_EQ(container->id, 12);
    EXPECT_EQ(container->inventories.size(), 4U);
    ASSERT_TRUE(CappingManager::sharedInstance()->config().has_value());
    EXPECT_EQ(CappingManager::sharedInstance()->config()->isBlacklist, 0);
    EXPECT_EQ(countLines(log, "[QORSDK] The QOR SDK setup done.\n"), 1U);

    const auto requests = network().containerRequests();
    ASSERT_EQ(requests.size(), 1U);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].path, "/production/container/ad-key");
    EXPECT_EQ(Json::parse(requests[0].bodyString()), Json::object());
}

TEST_F(StartupTest, InfoPlistFormReadsTheTwoKeysAsTextsAndIgnoresTheRest) {
    struct Case {
        platform::PlistDictionary config;
        std::string analyticsKey;
        std::string containerKey;
    };
    const std::vector<Case> cases = {
        {{{"writeKey", "plist-key"}}, "plist-key", "plist-key"},
        {{{"writeKey", "plist-key"}, {"writeKeyForAdNetwork", "plist-ad"}}, "plist-key", "plist-ad"},
        {{{"writeKey", "plist-key"}, {"writeKeyForAdNetwork", ""}}, "plist-key", ""},
        // Other keys and a non-text ad-network key do not spoil the configuration.
        {{{"writeKey", "plist-key"},
          {"flushAt", platform::PlistValue(std::int64_t{3})},
          {"writeKeyForAdNetwork", platform::PlistValue(true)}},
         "plist-key",
         "plist-key"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.containerKey);
        network().serveContainer(c.containerKey, network().defaultContainer());
        platform::Bundle::main()->setInfoDictionary(infoWithConfig(c.config));
        const auto before = network().containerRequests().size();
        QOR::start(nullptr);
        ASSERT_TRUE(testing::pumpMainUntil([] { return QOR::adNetworkContainer().has_value(); }));
        EXPECT_EQ(Analytics::sharedInstance()->configuration()->values().writeKey, c.analyticsKey);
        EXPECT_EQ(QOR::adNetworkContainer()->configurationID, c.containerKey);
        ASSERT_EQ(network().containerRequests().size(), before + 1);
        EXPECT_EQ(network().containerRequests().back().path, "/production/container/" + c.containerKey);
    }
}

TEST_F(StartupTest, TheEnvironmentChosenBeforeStartPicksTheBaseURL) {
    EXPECT_EQ(QOR::environment(), QOR::Environment::production);
    network().serveContainer(key, network().defaultContainer());
    const std::vector<std::pair<QOR::Environment, std::string>> cases = {
        {QOR::Environment::test, "/test/"},
        {QOR::Environment::staging, "/staging/"},
        {QOR::Environment::production, "/production/"}};
    for (const auto& [environment, prefix] : cases) {
        QOR::setEnvironment(environment);
        QOR::start(std::make_shared<QOR::Config>("analytics-key", key));
        ASSERT_TRUE(testing::pumpMainUntil([] { return QOR::adNetworkContainer().has_value(); }));
        EXPECT_EQ(network().containerRequests().back().path, prefix + "container/" + key);
    }
    // A raw value outside the three cases names no deployment and changes nothing.
    QOR::setEnvironment(static_cast<QOR::Environment>(7));
    EXPECT_EQ(QOR::environment(), QOR::Environment::production);
    EXPECT_EQ(QOR::adNetworkBaseURL(), network().baseURL("production"));
}

TEST_F(StartupTest, AFailedDownloadIsLoggedAndLeavesNoContainer) {
    test::SDKLogCapture log;
    network().serveContainerText(key, "{\"error\":\"unknown key\"}", 500);
    QOR::start(std::make_shared<QOR::Config>("analytics-key", key));
    ASSERT_TRUE(testing::pumpMainUntil([&] { return !log.lines().empty(); }));
    const auto line = log.lines().front();
    EXPECT_EQ(line.rfind("[QORSDK] QORAdNetwork couldn't be initialized due to ", 0), 0U) << line;
    EXPECT_FALSE(QOR::adNetworkContainer().has_value());
    EXPECT_FALSE(CappingManager::sharedInstance()->config().has_value());
    EXPECT_EQ(banner().errorText(), "Not found container");

    // A body that is not a container fails the same way.
    network().serveContainerText("broken", "{\"id\":\"twelve\"}");
    QOR::start(std::make_shared<QOR::Config>("analytics-key", "broken"));
    ASSERT_TRUE(testing::pumpMainUntil([&] { return log.lines().size() == 2; }));
    EXPECT_EQ(log.lines()[1].rfind("[QORSDK] QORAdNetwork couldn't be initialized due to ", 0), 0U);
    EXPECT_FALSE(QOR::adNetworkContainer().has_value());
}

// What a server sends stays inside its own console line: it can neither end that line and print
// one of its own, nor reach the terminal as a control, nor fill the console.
TEST_F(StartupTest, AServersTextCannotForgeAConsoleLine) {
    test::SDKLogCapture log;
    const std::string forged = "[QORSDK] The QOR SDK setup done.\n";
    const std::string controls = "\x1b[2J\x1b]0;owned\x07\x7f";
    const std::string body = "Bad request\n" + forged + controls + std::string(2000, 'x');
    network().serveContainerText(key, body, 400);
    network().collection().answerAlways(200, "ok\n" + forged + controls);
    QOR::start(std::make_shared<QOR::Config>("analytics-key", key));
    QOR::track("Opened");
    host::postEnterBackground();
    const auto printed = [&](std::string_view start) {
        for (const auto& line : log.lines()) {
            if (line.starts_with(start)) return line;
        }
        return std::string();
    };
    const std::string failed = "[QORSDK] QORAdNetwork couldn't be initialized due to ";
    const std::string uploaded = "DMP tracking result: ";
    ASSERT_TRUE(testing::pumpMainUntil([&] { return !printed(failed).empty() && !printed(uploaded).empty(); }));

    const std::string escaped = "[QORSDK] The QOR SDK setup done.\\n\\u{1b}[2J\\u{1b}]0;owned\\u{7}\\u{7f}";
    // The error's own text (the batch uploader reads it) keeps the body whole.
    const std::string description = "Not yet implemented: " + body;
    const auto failure = printed(failed);
    EXPECT_TRUE(failure.starts_with(failed + "Not yet implemented: Bad request\\n" + escaped + "xxx")) << failure;
    const auto cut = std::to_string(description.size() - platform::kConsoleTextLimit);
    EXPECT_TRUE(failure.ends_with("x\u2026 (" + cut + " more bytes)\n")) << failure;
    EXPECT_EQ(printed(uploaded), uploaded + "ok\\n" + escaped + "\n");
    for (const auto& line : log.lines()) {
        EXPECT_EQ(line.find('\n'), line.size() - 1) << line;
        EXPECT_EQ(line.find_first_of("\x1b\x07\x7f"), std::string::npos) << line;
        EXPECT_NE(line, forged);
    }
    EXPECT_FALSE(QOR::adNetworkContainer().has_value());
}

// Standard output while alive goes to a file of its own; nothing reaches the test's output.
class StandardOutputFile {
public:
    StandardOutputFile() : file_(std::tmpfile()) {
        std::fflush(stdout);
        ::dup2(::fileno(file_), STDOUT_FILENO);
    }
    ~StandardOutputFile() { restore(); }
    StandardOutputFile(const StandardOutputFile&) = delete;
    StandardOutputFile& operator=(const StandardOutputFile&) = delete;

    // Puts standard output back and gives what was written to it meanwhile.
    std::string restore() {
        if (file_ == nullptr) return {};
        std::fflush(stdout);
        ::dup2(saved_, STDOUT_FILENO);
        ::close(saved_);
        std::string text;
        std::rewind(file_);
        for (int c = std::fgetc(file_); c != EOF; c = std::fgetc(file_)) text += static_cast<char>(c);
        std::fclose(file_);
        file_ = nullptr;
        return text;
    }

private:
    int saved_ = ::dup(STDOUT_FILENO);
    std::FILE* file_;
};

// The host's writer, set before the start, takes every line the SDK prints, whatever printed
// it and on whatever thread, and standard output gets none.
TEST_F(StartupTest, TheHostsConsoleWriterTakesEveryLineInsteadOfStandardOutput) {
    struct Written {
        std::mutex mutex;
        std::vector<std::string> lines;
        std::vector<std::string> all() {
            std::lock_guard lock(mutex);
            return lines;
        }
    };
    auto written = std::make_shared<Written>();
    host::setConsoleWriter([written](std::string_view line) {
        std::lock_guard lock(written->mutex);
        written->lines.emplace_back(line);
    });
    StandardOutputFile standardOutput;
    startWithDefaultContainer();
    banner();
    QOR::track("Opened");
    host::postEnterBackground();
    const auto printed = [&](std::string_view start) {
        const auto all = written->all();
        return std::any_of(all.begin(), all.end(), [&](const std::string& line) { return line.starts_with(start); });
    };
    const bool uploaded = testing::pumpMainUntil([&] { return printed("DMP tracking result: "); });
    host::setConsoleWriter(nullptr);
    EXPECT_EQ(standardOutput.restore(), "");
    EXPECT_TRUE(uploaded);
    const auto all = written->all();
    EXPECT_EQ(std::count(all.begin(), all.end(), "[QORSDK] The QOR SDK setup done.\n"), 1);
    const auto anonymousId = Analytics::sharedInstance()->storage()->read<std::string>(Storage::Constants::anonymousId);
    EXPECT_EQ(std::count(all.begin(), all.end(), "AdNetwork AnonymousID from Analytics = " + *anonymousId + "\n"), 1);
}

TEST_F(StartupTest, ABlacklistedClientIsSetUpButNeverRequestsAgain) {
    test::SDKLogCapture log;
    auto plan = network().defaultContainer();
    plan.blacklist = 1;
    startWith(plan);
    EXPECT_EQ(countLines(log, "[QORSDK] The QOR SDK setup done.\n"), 1U);
    EXPECT_TRUE(CappingManager::sharedInstance()->isBlacklisted());

    // A second download on the same object sends nothing and never completes.
    bool completed = false;
    const auto before = network().containerRequests().size();
    AdNetwork::sharedInstance()->initializeAdNetwork(key, [&](const Result<Container>&) { completed = true; });
    testing::pumpMainFor(std::chrono::milliseconds(100));
    EXPECT_FALSE(completed);
    EXPECT_EQ(network().containerRequests().size(), before);

    // Any other blacklist value does not bar the client.
    plan.blacklist = 2;
    startWith(plan, "other-key");
    EXPECT_FALSE(CappingManager::sharedInstance()->isBlacklisted());
}

TEST_F(StartupTest, ASecondStartReplacesEverythingAndAnEarlierDownloadCannotBarIt) {
    // The first start's container is blacklisted and held back until the second start is done.
    auto gate = std::make_shared<testing::ResponseGate>();
    auto blacklisted = network().defaultContainer();
    blacklisted.blacklist = 1;
    testing::ScriptedResponse held =
        testing::ScriptedResponse::text(200, containerJSON(blacklisted), "application/json");
    held.gate = gate;
    network().containerServer().route("POST", "/production/container/first", held);

    test::SDKLogCapture log;
    QOR::start(std::make_shared<QOR::Config>("analytics-one", "first"));
    const auto firstNetwork = AdNetwork::sharedInstance();
    const auto firstAnalytics = Analytics::sharedInstance();
    ASSERT_TRUE(network().containerServer().waitForRequests(1));

    startWith(network().defaultContainer(), "second");
    EXPECT_NE(AdNetwork::sharedInstance(), firstNetwork);
    EXPECT_NE(Analytics::sharedInstance(), firstAnalytics);
    EXPECT_EQ(QOR::adNetworkContainer()->configurationID, "second");

    gate->open();
    ASSERT_TRUE(testing::pumpMainUntil([&] { return countLines(log, "[QORSDK] The QOR SDK setup done.\n") == 2; }));
    EXPECT_EQ(firstNetwork->container()->configurationID, "first");  // completed into its own object
    EXPECT_FALSE(CappingManager::sharedInstance()->isBlacklisted());
    EXPECT_EQ(QOR::adNetworkContainer()->configurationID, "second");
    script({BidAnswer::bid(1.0)});
    EXPECT_TRUE(banner().result->isSuccess());
}

TEST_F(StartupTest, AnalyticsCallsAreForwardedToTheSharedInstance) {
    startWithDefaultContainer();
    QOR::track("Opened", platform::AnyDictionary{{"screen", platform::Any(std::string("home"))}});
    QOR::identify(std::string("user-7"));
    QOR::screen("Home", std::optional<platform::AnyDictionary>{});
    QOR::group("group-1");
    QOR::alias("user-8");
    // Each call reaches the shared instance as its own kind of event, in the order made, and
    // lands in its batch files; the lifecycle's own events are left aside.
    std::vector<Json> events;
    ASSERT_TRUE(testing::pumpMainUntil([&] {
        events.clear();
        const auto files = Analytics::sharedInstance()->storage()->read(Storage::Constants::events);
        for (const auto& file : files.value_or(std::vector<platform::URL>{})) {
            auto batch = Json::parse(testing::readFile(file.path()))["batch"];
            for (auto& event : batch) {
                if (!event.value("event", "").starts_with("Application ")) events.push_back(std::move(event));
            }
        }
        return events.size() >= 5;
    }));
    ASSERT_EQ(events.size(), 5U);
    const auto has = [](const Json& event, const Json& expected) {
        for (const auto& [name, value] : expected.items()) {
            if (event.value(name, Json()) != value) return false;
        }
        return true;
    };
    EXPECT_TRUE(has(events[0], {{"type", "track"}, {"event", "Opened"}, {"properties", {{"screen", "home"}}}}));
    EXPECT_TRUE(has(events[1], {{"type", "identify"}, {"userId", "user-7"}}));
    EXPECT_TRUE(has(events[2], {{"type", "screen"}, {"name", "Home"}, {"userId", "user-7"}}));
    EXPECT_TRUE(has(events[3], {{"type", "group"}, {"groupId", "group-1"}, {"userId", "user-7"}}));
    EXPECT_TRUE(has(events[4], {{"type", "alias"}, {"userId", "user-8"}}));
    EXPECT_FALSE(events[4].contains("previousId"));
    for (const auto& event : events) EXPECT_EQ(event["anonymousId"], events[0]["anonymousId"]) << event.dump();
    EXPECT_TRUE(testing::pumpMainUntil([] {
        return Analytics::sharedInstance()->storage()->read<std::string>(Storage::Constants::userId) == "user-8";
    }));
}

// Each of these runs in a fresh process, so no start-up has filled a slot.
class StartupDeathTest : public ::testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

std::string guardMessage(const std::string& component) {
    return "Use " + component + " before setup\\. Please call `QORSDK\\.start\\(\\)`";
}

TEST_F(StartupDeathTest, EverySharedObjectStopsTheProcessBeforeStart) {
    EXPECT_DEATH(QOR::adNetworkContainer(), guardMessage("AdNetwork"));
    EXPECT_DEATH(QOR::track("Opened"), guardMessage("Analytics"));
    EXPECT_DEATH(CappingManager::sharedInstance(), guardMessage("CappingManager"));
    EXPECT_DEATH(AdController::sharedInstance(), guardMessage("AdController"));
    EXPECT_DEATH(AdNetworkApiClient::shared().fireTracker("https://trackers.qor.test/t", nullptr),
                 guardMessage("Session"));
    EXPECT_DEATH(AdNetworkApiClient::shared().requestBannerAd(101, std::nullopt, AdType::banner, AdRequest(), nullptr),
                 guardMessage("CappingManager"));
}

TEST_F(StartupDeathTest, StartWithoutAUsableInfoPlistConfigurationStops) {
    const std::string message =
        "Fatal error: \\[QORSDK\\] The QOR SDK was initialized incorrectly\\. Clients should follow the instructions "
        "to add a valid Write Key inside the Info\\.plist\\. ";
    const std::vector<platform::PlistDictionary> infos = {
        appInfo(),
        infoWithConfig({{"writeKeyForAdNetwork", "ad"}}),
        infoWithConfig({{"writeKey", platform::PlistValue(std::int64_t{42})}}),
    };
    for (const auto& info : infos) {
        EXPECT_DEATH(
            {
                platform::Bundle::main()->setInfoDictionary(info);
                QOR::start(nullptr);
            },
            message);
    }
    auto notADictionary = appInfo();
    notADictionary["QORSDKConfig"] = platform::PlistValue(std::string("writeKey=abc"));
    EXPECT_DEATH(
        {
            platform::Bundle::main()->setInfoDictionary(notADictionary);
            QOR::start(nullptr);
        },
        message);
}

}  // namespace
}  // namespace qor::enginetest
