#include "Core/Delegate.h"
#include "Core/DeploymentValues.h"
#include "Core/Flattenable.h"
#include "SDKLogCapture.h"
#include "testing/ScopedEnvironment.h"

#include <gtest/gtest.h>

#include <thread>

namespace qor {
namespace {

TEST(SDKLog, PrintsPrefixAndItemsRunTogether) {
    test::SDKLogCapture capture;
    sdkLog("a b", "c", " d");
    sdkLog();
    sdkLog(3, "x");
    sdkLog(true, ' ', 1.5, ' ', 2.0, ' ', std::optional<int>(), ' ', std::optional<std::string>("s"));
    EXPECT_EQ(capture.lines(), (std::vector<std::string>{"[QORSDK] a bc d\n", "[QORSDK] \n", "[QORSDK] 3x\n",
                                                         "[QORSDK] true 1.5 2.0 nil Optional(s)\n"}));
}

TEST(SDKLog, WritesToStandardOutputByDefault) {
    ::testing::internal::CaptureStdout();
    sdkLog("Couldn't detect IP Address: ", 42);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "[QORSDK] Couldn't detect IP Address: 42\n");
}

TEST(SDKLog, LinesFromManyThreadsStayWhole) {
    test::SDKLogCapture capture;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 50; ++i) sdkLog("thread ", t, " line ", i);
        });
    }
    for (auto& thread : threads) thread.join();
    const auto lines = capture.lines();
    ASSERT_EQ(lines.size(), 200u);
    for (const auto& line : lines) {
        EXPECT_EQ(line.rfind("[QORSDK] thread ", 0), 0u) << line;
        EXPECT_EQ(line.back(), '\n');
    }
}

TEST(Flattenable, CollapsesEveryDepthOfOptional) {
    const std::optional<std::optional<std::optional<int>>> deep(std::optional<std::optional<int>>(7));
    EXPECT_EQ(flattened(deep), std::optional<int>(7));
    const std::optional<std::optional<int>> innerEmpty(std::optional<int>{});
    EXPECT_EQ(flattened(innerEmpty), std::nullopt);
    EXPECT_EQ(flattened(std::optional<std::optional<int>>{}), std::nullopt);
    static_assert(std::is_same_v<decltype(flattened(deep)), std::optional<int>>);
    static_assert(!Flattenable<int>);
}

struct Target {
    int calls = 0;
};

TEST(Delegate, CallsHandlerOnlyWhileTargetLives) {
    Delegate<int, int> empty;
    EXPECT_EQ(empty.invoke(1), std::nullopt);

    auto target = std::make_shared<Target>();
    Delegate<int, int> delegate;
    delegate.bind(target, [](Target& t, int input) {
        ++t.calls;
        return input * 2;
    });
    EXPECT_EQ(delegate.invoke(21), std::optional<int>(42));
    EXPECT_EQ(target->calls, 1);
    EXPECT_EQ(target.use_count(), 1) << "the delegate must not keep its target alive";

    target.reset();
    EXPECT_EQ(delegate.invoke(21), std::nullopt);

    auto voidTarget = std::make_shared<Target>();
    Delegate<std::string> voidDelegate;
    voidDelegate.bind(voidTarget, [](Target& t, std::string) { ++t.calls; });
    EXPECT_TRUE(voidDelegate.invoke("x").has_value());
    EXPECT_EQ(voidTarget->calls, 1);
}

// Every deployment variable is unset for the test and put back afterwards.
class DeploymentValuesTest : public ::testing::Test {
protected:
    testing::ScopedEnvironment adNetworkTest_{deployment::kAdNetworkTestURLVariable, std::nullopt};
    testing::ScopedEnvironment adNetworkStaging_{deployment::kAdNetworkStagingURLVariable, std::nullopt};
    testing::ScopedEnvironment adNetworkProduction_{deployment::kAdNetworkProductionURLVariable, std::nullopt};
    testing::ScopedEnvironment collection_{deployment::kCollectionURLVariable, std::nullopt};
    testing::ScopedEnvironment ipEcho_{deployment::kIPEchoURLVariable, std::nullopt};
};

TEST_F(DeploymentValuesTest, DefaultsAreHttpsAndVariablesOverrideThemWhenRead) {
    for (const auto& value :
         {deployment::adNetworkTestBaseURL(), deployment::adNetworkStagingBaseURL(),
          deployment::adNetworkProductionBaseURL(), deployment::collectionEndpointURL(), deployment::ipEchoBaseURL()}) {
        EXPECT_EQ(value.rfind("https://", 0), 0u) << value;
    }
    const auto collection = deployment::collectionEndpointURL();
    EXPECT_EQ(collection.substr(collection.size() - 5), "/v1/b");

    testing::ScopedEnvironment stagingVariable(deployment::kAdNetworkStagingURLVariable, "http://127.0.0.1:9/staging/");
    testing::ScopedEnvironment collectionVariable(deployment::kCollectionURLVariable, "http://127.0.0.1:9/v1/b");
    testing::ScopedEnvironment ipEchoVariable(deployment::kIPEchoURLVariable, "");
    EXPECT_EQ(deployment::adNetworkStagingBaseURL(), "http://127.0.0.1:9/staging/");
    EXPECT_EQ(deployment::collectionEndpointURL(), "http://127.0.0.1:9/v1/b");
    EXPECT_EQ(deployment::ipEchoBaseURL(), deployment::kDefaultIPEchoURL) << "an empty variable keeps the default";
    EXPECT_EQ(deployment::adNetworkProductionBaseURL(), deployment::kDefaultAdNetworkProductionURL);
}

}  // namespace
}  // namespace qor
