#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Analytics/Analytics.h"
#include "Analytics/AnalyticsError.h"
#include "Analytics/OutputFileStream.h"
#include "Core/SDKLogCapture.h"
#include "EngineTestSupport.h"
#include "testing/TestAppHome.h"

namespace qor {
namespace {

using enginetest::drainMainQueue;
using enginetest::SystemLogCapture;
using testing::TestAppHome;

class CollectingTarget : public LogTarget {
public:
    void parseLog(const LogMessage& log) override {
        std::lock_guard<std::mutex> guard(mutex_);
        received.push_back(log.logType());
        kinds.push_back(log.kind());
    }
    std::vector<LoggingType::LogDestination> received;
    std::vector<LogFilterKind> kinds;

private:
    std::mutex mutex_;
};

class EngineLogTest : public ::testing::Test {
protected:
    void TearDown() override {
        setLogDeliveryEnabled(false);
        drainMainQueue();
    }
    TestAppHome home;
    SystemLogCapture systemLog;
    std::shared_ptr<Analytics> analytics = Analytics::make(enginetest::configuration("key"));
};

TEST_F(EngineLogTest, SystemLogLinesCarryLevelLocationAndMessage) {
    analytics->dispatchLog("hello", LogFilterKind::warning, "f", 3);
    analytics->dispatchLog("bad", LogFilterKind::error, "g", 12);
    analytics->dispatchLog("plain", std::nullopt, "h", 1);

    const auto entries = systemLog.entries();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].subsystem, "Lumatix");
    EXPECT_EQ(entries[0].category, "Log");
    // A warning goes below debug in the system log.
    EXPECT_EQ(entries[0].type, platform::OSLogType::debug);
    EXPECT_EQ(entries[0].message, "[Lumatix WARNING  - f:3]\nhello\n");
    EXPECT_EQ(entries[1].type, platform::OSLogType::error);
    EXPECT_EQ(entries[1].message, "[Lumatix ERROR  - g:12]\nbad\n");
    // Without a kind the plugin's own (debug) applies, written at the info level.
    EXPECT_EQ(entries[2].type, platform::OSLogType::info);
    EXPECT_EQ(entries[2].message, "[Lumatix DEBUG  - h:1]\nplain\n");
}

TEST_F(EngineLogTest, TargetsReceiveOnlyTheDestinationsTheyAreRegisteredFor) {
    auto logAndHistory = std::make_shared<CollectingTarget>();
    analytics->add(logAndHistory,
                   LoggingType({LoggingType::LogDestination::log, LoggingType::LogDestination::history}));

    // Off by default: the public calls deliver nothing.
    analytics->log("quiet");
    analytics->metric(MetricType::counter, "count", 1);
    EXPECT_TRUE(logAndHistory->received.empty());

    setLogDeliveryEnabled(true);
    analytics->log("loud", LogFilterKind::debug);
    analytics->metric(MetricType::gauge, "level", 0.5);
    analytics->history(TrackEvent("e", std::nullopt), nullptr);
    EXPECT_EQ(logAndHistory->received, (std::vector<LoggingType::LogDestination>{
                                           LoggingType::LogDestination::log, LoggingType::LogDestination::history}));
    // The metric never reached the system target, which takes log messages only.
    EXPECT_EQ(systemLog.entries().size(), 1u);
    EXPECT_EQ(systemLog.entries()[0].message.rfind("[Lumatix DEBUG  - ", 0), 0u);
}

TEST_F(EngineLogTest, ASecondTargetOfTheSameTypeIsRefusedAndTheRefusalLogged) {
    analytics->add(std::make_shared<SystemTarget>(), LoggingType({LoggingType::LogDestination::metric}));
    ASSERT_EQ(systemLog.entries().size(), 1u);
    EXPECT_EQ(systemLog.entries()[0].message,
              "[Lumatix ERROR  - add(target:type:):195]\nCould not add target: The operation couldn\xE2\x80\x99t be "
              "completed. (Target already exists error 2002.)\n");

    QORLog logger;
    logger.add(std::make_shared<ConsoleTarget>(), LoggingType({LoggingType::LogDestination::log}));
    try {
        logger.add(std::make_shared<ConsoleTarget>(), LoggingType({LoggingType::LogDestination::history}));
        FAIL() << "a second console target was accepted";
    } catch (const LogTargetError& error) {
        EXPECT_EQ(error.domain, "Target already exists");
        EXPECT_EQ(error.code, 2002);
    }
    // Another type under an equal logging type replaces the one stored there.
    auto collecting = std::make_shared<CollectingTarget>();
    logger.add(collecting, LoggingType({LoggingType::LogDestination::log}));
    ASSERT_EQ(logger.targets().size(), 1u);
    EXPECT_EQ(logger.targets()[0].second, collecting);
}

TEST_F(EngineLogTest, TheConsoleTargetPrintsThroughTheDebugPrint) {
    test::SDKLogCapture console;
    ConsoleTarget target;
    LogFactory::GenericLog log;
    log.kindValue = LogFilterKind::warning;
    log.messageValue = "text";
    log.functionValue = "fn";
    log.lineValue = 7;
    target.parseLog(log);
    LogFactory::MetricLog metric;  // no location
    metric.messageValue = "m";
    target.parseLog(metric);
    EXPECT_EQ(console.lines(),
              (std::vector<std::string>{"[QORSDK] [WARNING - fn:7]\ntext\n\n", "[QORSDK] [DEBUG]\nm\n\n"}));
}

TEST_F(EngineLogTest, InternalErrorsAreTranslatedHandedToTheHandlerAndLogged) {
    std::vector<std::exception_ptr> handled;
    analytics->configuration()->modifyValues([&handled](Configuration::Values& values) {
        values.errorHandler = [&handled](std::exception_ptr error) { handled.push_back(error); };
    });
    using StreamError = OutputFileStream::OutputStreamError;
    analytics->reportInternalError(std::make_exception_ptr(StreamError(StreamError::Code::unableToWrite, "/f")), true);
    analytics->reportInternalError(std::make_exception_ptr(JSON::JSONError(JSON::JSONError::Code::unknown)), false);
    analytics->reportInternalError(std::make_exception_ptr(JSON::JSONError::incorrectType()), false);
    analytics->reportInternalError(std::make_exception_ptr(std::runtime_error("foreign")), false);
    ASSERT_EQ(handled.size(), 4u);

    auto codeOf = [](const std::exception_ptr& error) -> std::optional<AnalyticsError::Code> {
        try {
            std::rethrow_exception(error);
        } catch (const AnalyticsError& analyticsError) {
            return analyticsError.code;
        } catch (...) {
            return std::nullopt;
        }
    };
    EXPECT_EQ(codeOf(handled[0]), AnalyticsError::Code::storageUnableToWrite);
    EXPECT_EQ(codeOf(handled[1]), AnalyticsError::Code::jsonUnknown);
    EXPECT_EQ(codeOf(handled[2]), AnalyticsError::Code::jsonUnableToDeserialize);
    EXPECT_FALSE(codeOf(handled[3]).has_value());
    EXPECT_EQ(describeError(handled[3]), "foreign");

    const auto entries = systemLog.messages();
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(
        entries[0],
        "[Lumatix ERROR  - reportInternalError(_:fatal:):67]\nAn internal error occurred: storageUnableToWrite(/f)\n");
    EXPECT_EQ(entries[3], "[Lumatix ERROR  - reportInternalError(_:fatal:):67]\nAn internal error occurred: foreign\n");

    // Without an instance: no handler, the log line names line 77.
    Analytics::reportInternalErrorWithoutInstance(std::make_exception_ptr(std::runtime_error("static")), true);
    EXPECT_EQ(handled.size(), 4u);
    EXPECT_EQ(systemLog.messages().back(),
              "[Lumatix ERROR  - reportInternalError(_:fatal:):77]\nAn internal error occurred: static\n");
}

}  // namespace
}  // namespace qor
