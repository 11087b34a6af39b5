// Objects that detached threads can reach (the queues' workers, the transfer engine, a host
// thread still recording events) follow one exit-time rule: they are never destroyed at exit.
// A child process takes hold of them weakly, returns from its work with exit(), and looks at them
// again after every exit-time destructor has run.
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Analytics/Analytics.h"
#include "Networking/Client/Request/ParsePipelines.h"
#include "Networking/Client/Session/Session.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UIKit/UIApplication.h"
#include "Platform/UIKit/UIDevice.h"
#include "Platform/UIKit/UIScreen.h"
#include "testing/TestAppHome.h"

namespace qor {
namespace {

// What the child watches; set only in the child, never destroyed.
using Watched = std::vector<std::pair<std::string, std::weak_ptr<const void>>>;
Watched* watched = nullptr;

// Runs after every exit-time destructor (the executable's finalisers come last): whatever was
// destroyed at exit is gone by now.
[[gnu::destructor]] void lookAfterExit() {
    if (watched == nullptr) return;
    int gone = 0;
    for (const auto& [name, object] : *watched) {
        if (object.expired()) {
            std::fprintf(stderr, "destroyed at exit: %s\n", name.c_str());
            ++gone;
        }
    }
    std::fflush(stderr);
    ::_exit(gone == 0 ? 0 : 3);
}

void watch(std::string name, std::weak_ptr<const void> object) { watched->emplace_back(std::move(name), object); }

using ExitLifetimeDeathTest = ::testing::Test;

TEST_F(ExitLifetimeDeathTest, SharedObjectsAndSlotsOutliveTheExitTimeDestructors) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            watched = new Watched();
            testing::TestAppHome home;
            watch("UIApplication::shared", platform::UIApplication::shared());
            watch("NotificationCenter::defaultCenter", platform::NotificationCenter::defaultCenter());
            watch("Bundle::main", platform::Bundle::main());
            watch("Bundle::frameworkBundle", platform::Bundle::frameworkBundle());
            watch("the shared JSON decoder", sharedJSONDecoder());
            watch("UIDevice::current", platform::UIDevice::current());
            watch("UIScreen::main", platform::UIScreen::main());
            Session::setSharedInstance(Session::makeDefault());
            watch("the shared Session", Session::sharedInstance());
            auto analytics = Analytics::make(Configuration::make("exit-key"));
            Analytics::setSharedInstance(analytics);
            watch("the shared Analytics", analytics);
            analytics.reset();
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace qor
