#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Analytics/Analytics.h"
#include "Analytics/Timeline.h"
#include "EngineTestSupport.h"
#include "testing/TestAppHome.h"

namespace qor {
namespace {

using enginetest::drainMainQueue;
using enginetest::RecordingDestination;
using enginetest::RecordingPlugin;
using testing::TestAppHome;

class TimelinePluginTest : public ::testing::Test {
protected:
    void SetUp() override { enginetest::removeDeliveryPlugins(*analytics); }
    void TearDown() override { drainMainQueue(); }
    TestAppHome home;
    std::shared_ptr<Analytics> analytics = Analytics::make(enginetest::configuration("key"));
};

TEST_F(TimelinePluginTest, AddingTwiceRunsTwiceAndRemovingShutsDownEachEntry) {
    auto plugin = std::make_shared<RecordingPlugin>(PluginType::before);
    analytics->add(plugin);
    analytics->add(plugin);
    // Each add offers the settings once.
    EXPECT_EQ(plugin->updateCount(), 2u);
    analytics->track("twice");
    EXPECT_EQ(plugin->seen().size(), 2u);

    analytics->remove(plugin);
    EXPECT_EQ(plugin->shutdowns(), 2);
    analytics->track("gone");
    EXPECT_EQ(plugin->seen().size(), 2u);

    auto stranger = std::make_shared<RecordingPlugin>(PluginType::after);
    analytics->remove(stranger);
    EXPECT_EQ(stranger->shutdowns(), 0);
}

TEST(TimelineWithoutSettings, APluginAddedWithoutSettingsGetsNoUpdate) {
    Timeline timeline;
    auto plugin = std::make_shared<RecordingPlugin>(PluginType::before);
    timeline.add(plugin);  // no analytics reference
    EXPECT_EQ(plugin->updateCount(), 0u);
    EXPECT_FALSE(timeline.runStage(PluginType::before, std::optional<AnyRawEvent>()).has_value());
    EXPECT_TRUE(plugin->seen().empty());
}

TEST_F(TimelinePluginTest, FindLooksThroughTheStagesInOrderAndKeysOnlyInTheDestinationStage) {
    auto inUtility = std::make_shared<RecordingPlugin>(PluginType::utility);
    auto inBefore = std::make_shared<RecordingPlugin>(PluginType::before);
    analytics->add(inUtility);
    analytics->add(inBefore);
    EXPECT_EQ(analytics->find<RecordingPlugin>(), inBefore);
    EXPECT_NE(analytics->find<QORLog>(), nullptr);

    // A destination placed in another stage is not found by its key.
    class MisplacedDestination : public RecordingDestination {
    public:
        using RecordingDestination::RecordingDestination;
        PluginType type() const override { return PluginType::after; }
    };
    analytics->add(std::make_shared<MisplacedDestination>("qor.io"));
    EXPECT_EQ(analytics->find("qor.io"), nullptr);
    auto destination = std::make_shared<RecordingDestination>("qor.io");
    analytics->add(destination);
    EXPECT_EQ(analytics->find("qor.io"), destination);
    EXPECT_EQ(analytics->find("QOR.IO"), nullptr);
}

TEST_F(TimelinePluginTest, ApplyVisitsADestinationsOwnPluginsRightAfterIt) {
    auto before = std::make_shared<RecordingPlugin>(PluginType::before);
    auto destination = std::make_shared<RecordingDestination>("qor.io");
    auto own1 = std::make_shared<RecordingPlugin>(PluginType::before);
    auto own2 = std::make_shared<RecordingPlugin>(PluginType::after);
    auto after = std::make_shared<RecordingPlugin>(PluginType::after);
    analytics->add(before);
    analytics->add(destination);
    destination->add(own1);
    destination->add(own2);
    analytics->add(after);
    // Own plugins are configured with the destination's analytics.
    EXPECT_EQ(own1->analytics(), analytics);

    std::vector<const Plugin*> visited;
    analytics->apply([&visited](const std::shared_ptr<Plugin>& plugin) { visited.push_back(plugin.get()); });
    const auto logger = analytics->find<QORLog>();
    EXPECT_EQ(visited, (std::vector<const Plugin*>{before.get(), destination.get(), own1.get(), own2.get(), after.get(),
                                                   logger.get()}));

    // Events pass the destination's own before and after plugins around its handler.
    analytics->track("through");
    EXPECT_EQ(own1->seen().size(), 1u);
    EXPECT_EQ(own2->seen().size(), 1u);
    EXPECT_EQ(destination->tracked().size(), 1u);
}

TEST_F(TimelinePluginTest, TheEventsIntegrationsCanSwitchADestinationOffAtTheDottedPath) {
    enginetest::SystemLogCapture log;
    auto destination = std::make_shared<RecordingDestination>("qor.io");
    analytics->add(destination);
    auto eventWith = [](JSON integrations) {
        TrackEvent event("e", std::nullopt);
        event.integrations = std::move(integrations);
        return event;
    };

    EXPECT_TRUE(destination->accepts(TrackEvent("no integrations", std::nullopt)));
    EXPECT_FALSE(destination->accepts(eventWith(JSON(JSON::Object{{"qor", JSON(JSON::Object{{"io", JSON(false)}})}}))));
    // Empty integrations, as every new event has them, and an explicit true switch nothing off.
    EXPECT_TRUE(destination->accepts(eventWith(JSON(JSON::Object{}))));
    EXPECT_TRUE(destination->accepts(eventWith(JSON(JSON::Object{{"qor", JSON(JSON::Object{{"io", JSON(true)}})}}))));
    // The flat member is not read.
    EXPECT_TRUE(destination->accepts(eventWith(JSON(JSON::Object{{"qor.io", JSON(false)}}))));
    // An object where a flag belongs is logged once and counts as on.
    EXPECT_TRUE(destination->accepts(
        eventWith(JSON(JSON::Object{{"qor", JSON(JSON::Object{{"io", JSON(JSON::Object{{"x", JSON(1)}})}})}}))));
    EXPECT_EQ(log.count("Unable to decode object ("), 1u);

    // Integrations that are not an object switch nothing off.
    EXPECT_TRUE(destination->accepts(eventWith(JSON("text"))));

    // A destination whose key has no entry in the settings refuses everything.
    auto unknown = std::make_shared<RecordingDestination>("elsewhere");
    analytics->add(unknown);
    EXPECT_FALSE(unknown->accepts(TrackEvent("e", std::nullopt)));
    // Without an analytics reference too.
    RecordingDestination orphan("qor.io");
    EXPECT_FALSE(orphan.accepts(TrackEvent("e", std::nullopt)));
}

TEST_F(TimelinePluginTest, PluginListsMayChangeWhileOtherThreadsRunEvents) {
    std::atomic<bool> stop{false};
    std::thread producer([&] {
        while (!stop) analytics->track("busy");
    });
    for (int round = 0; round < 50; ++round) {
        auto plugin = std::make_shared<RecordingPlugin>(PluginType::enrichment);
        analytics->add(plugin);
        analytics->remove(plugin);
        EXPECT_EQ(plugin->shutdowns(), 1);
    }
    stop = true;
    producer.join();
}

}  // namespace
}  // namespace qor
