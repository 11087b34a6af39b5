// The User-Agent is made once per process, at the first request: each case runs in a process of
// its own and looks at the header a loopback server receives.
#include <gtest/gtest.h>
#include <sys/utsname.h>

#include <cstdio>
#include <cstdlib>
#include <regex>
#include <string>

#include "Networking/Client/Session/Session.h"
#include "Platform/Support/DeviceProfile.h"
#include "Platform/Support/ProcessInfo.h"
#include "TestRequests.h"
#include "testing/LoopbackServer.h"
#include "testing/MainLoopPump.h"

namespace qor {
namespace {

using testing::LoopbackServer;
using testing::ScriptedResponse;

// The system version of the User-Agent of the first request this process sends.
std::string systemVersionSent() {
    auto server = LoopbackServer::makeHTTP();
    server->route("GET", "/ua", ScriptedResponse::text(200, "OK"));
    auto session = Session::makeDefault();
    test::ConfigurableRequest<std::string> request;
    request.base = server->baseURL();
    request.pathValue = "ua";
    bool answered = false;
    session->send(request, CallbackQueue::asyncMain{}, [&](Result<std::string>) { answered = true; });
    testing::pumpMainUntil([&] { return answered; });
    const auto header = server->requests().at(0).header("User-Agent").value_or("");
    std::smatch match;
    if (!std::regex_search(header, match, std::regex("; CPU iPhone OS (.*) like Mac OS X\\)$"))) return "?" + header;
    return match[1];
}

// Exits 0 when the process sends `expected` as the User-Agent's system version.
[[noreturn]] void exitSending(const std::string& expected) {
    const auto sent = systemVersionSent();
    if (sent != expected) std::fprintf(stderr, "sent \"%s\", expected \"%s\"\n", sent.c_str(), expected.c_str());
    std::exit(sent == expected ? 0 : 1);
}

std::string underscored(std::string version) {
    for (auto& character : version) character = character == '.' ? '_' : character;
    return version;
}

using UserAgentVersionDeathTest = ::testing::Test;

TEST_F(UserAgentVersionDeathTest, TheSystemVersionIsTheNumericPrefixOfTheKernelReleaseOrWhatTheHostSets) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    utsname info{};
    ASSERT_EQ(uname(&info), 0);
    // "6.1.0-18-amd64" is sent as 6_1_0: digits and underscores only, as a server parses it.
    const std::string numeric = underscored(platform::numericVersionPrefix(info.release));
    ASSERT_FALSE(numeric.empty());
    EXPECT_EXIT(exitSending(numeric), ::testing::ExitedWithCode(0), "");

    // A host that knows better sets the version before its first request.
    EXPECT_EXIT(
        {
            platform::updateDeviceProfile([](platform::DeviceProfile& profile) { profile.systemVersion = "17.4.1"; });
            exitSending("17_4_1");
        },
        ::testing::ExitedWithCode(0), "");
    // Whatever it sets, only the numeric prefix goes out.
    EXPECT_EXIT(
        {
            platform::updateDeviceProfile(
                [](platform::DeviceProfile& profile) { profile.systemVersion = "18.0 beta 2"; });
            exitSending("18_0");
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(SystemVersion, NumericPrefixKeepsLeadingDigitsAndDotsOnly) {
    EXPECT_EQ(platform::numericVersionPrefix("6.18.44-fc-v1403"), "6.18.44");
    EXPECT_EQ(platform::numericVersionPrefix("17.4"), "17.4");
    EXPECT_EQ(platform::numericVersionPrefix("5.15.0."), "5.15.0");
    EXPECT_EQ(platform::numericVersionPrefix("6..1-x"), "6..1");
    EXPECT_EQ(platform::numericVersionPrefix("v6.1"), "");
    EXPECT_EQ(platform::numericVersionPrefix(".5"), "");
    EXPECT_EQ(platform::numericVersionPrefix(""), "");
}

}  // namespace
}  // namespace qor
