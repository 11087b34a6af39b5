#include "Platform/Foundation/UserDefaults.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <thread>

#include "testing/FileHelpers.h"
#include "testing/TestAppHome.h"

namespace qor::platform {
namespace {

using qor::testing::TestAppHome;

ino_t inodeOf(const std::filesystem::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

TEST(UserDefaults, KeepsEveryKindAcrossARestart) {
    TestAppHome home;
    const PlistDictionary nested{{"flag", true}, {"list", PlistArray{1, "two", 3.0}}};
    {
        const auto defaults = UserDefaults::make("io.qor.storage.abc");
        ASSERT_TRUE(defaults);
        EXPECT_EQ(defaults->filePath(), home.path() / "Preferences" / "io.qor.storage.abc.json");
        defaults->set("user-1", "lumatix.userId");
        defaults->set(7, "lumatix.events");
        defaults->set(1.0, "real");
        defaults->set(true, "bool");
        defaults->set(Data{0, 1, 0xfe, 0xff}, "data");
        defaults->set(nested, "nested");
        defaults->set(std::nan(""), "nan");
        ASSERT_TRUE(defaults->synchronize());
    }
    // A new object after every old one is gone reads the file again, as a new process would.
    const auto reloaded = UserDefaults::make("io.qor.storage.abc");
    EXPECT_EQ(reloaded->stringForKey("lumatix.userId"), "user-1");
    EXPECT_EQ(reloaded->objectForKey("lumatix.events"), PlistValue(7));
    EXPECT_TRUE(reloaded->objectForKey("real")->isReal()) << "1.0 must not come back as an integer";
    EXPECT_TRUE(reloaded->objectForKey("bool")->isBool()) << "true must not come back as 1";
    EXPECT_EQ(reloaded->dataForKey("data"), (Data{0, 1, 0xfe, 0xff}));
    EXPECT_FALSE(reloaded->stringForKey("data")) << "data is not text";
    EXPECT_EQ(reloaded->dictionaryForKey("nested"), nested);
    EXPECT_TRUE(std::isnan(reloaded->doubleForKey("nan")));
}

TEST(UserDefaults, ObjectsOfOneSuiteShareValuesAndOtherSuitesDoNot) {
    TestAppHome home;
    const auto first = UserDefaults::make("suite");
    const auto second = UserDefaults::make("suite");
    const auto other = UserDefaults::make("other");
    first->set("a", "key");
    EXPECT_EQ(second->stringForKey("key"), "a");
    EXPECT_FALSE(other->objectForKey("key"));
    second->removeObject("key");
    EXPECT_FALSE(first->objectForKey("key"));
    first->set(std::nullopt, "missing");
    EXPECT_TRUE(first->dictionaryRepresentation().empty());
}

TEST(UserDefaults, SynchronizeWritesOnlyAfterAChange) {
    TestAppHome home;
    const auto defaults = UserDefaults::make("suite");
    EXPECT_TRUE(defaults->synchronize());
    EXPECT_FALSE(std::filesystem::exists(defaults->filePath())) << "nothing to write yet";

    defaults->set(1, "counter");
    ASSERT_TRUE(defaults->synchronize());
    const ino_t written = inodeOf(defaults->filePath());
    ASSERT_NE(written, 0u);
    EXPECT_EQ(std::filesystem::status(defaults->filePath()).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write)
        << "stored values are readable by this user only";

    defaults->set(1, "counter");  // the same value is no change
    ASSERT_TRUE(defaults->synchronize());
    EXPECT_EQ(inodeOf(defaults->filePath()), written);

    defaults->set(2, "counter");
    ASSERT_TRUE(defaults->synchronize());
    EXPECT_NE(inodeOf(defaults->filePath()), written) << "a change is written as a new file renamed into place";
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(home.path() / "Preferences"),
                            std::filesystem::directory_iterator()),
              1)
        << "no temporary file left behind";
}

TEST(UserDefaults, PendingChangesAreWrittenWhenTheLastObjectGoesAway) {
    TestAppHome home;
    std::filesystem::path file;
    {
        const auto defaults = UserDefaults::make("suite");
        defaults->set("kept", "key");
        file = defaults->filePath();
    }
    EXPECT_TRUE(std::filesystem::exists(file));
    EXPECT_EQ(UserDefaults::make("suite")->stringForKey("key"), "kept");
}

TEST(UserDefaults, TypedReadersConvertLikeThePlatform) {
    TestAppHome home;
    const auto defaults = UserDefaults::make("suite");
    EXPECT_EQ(defaults->integerForKey("missing"), 0);
    EXPECT_FALSE(defaults->boolForKey("missing"));
    EXPECT_EQ(defaults->doubleForKey("missing"), 0.0);
    defaults->set(2.9, "real");
    defaults->set(true, "bool");
    defaults->set("12", "text");
    defaults->set("YES", "yes");
    EXPECT_EQ(defaults->integerForKey("real"), 2);
    EXPECT_EQ(defaults->integerForKey("bool"), 1);
    EXPECT_EQ(defaults->integerForKey("text"), 12);
    EXPECT_TRUE(defaults->boolForKey("yes"));
    EXPECT_TRUE(defaults->boolForKey("real"));
    EXPECT_EQ(defaults->doubleForKey("text"), 12.0);
    EXPECT_FALSE(defaults->stringForKey("real"));
    EXPECT_FALSE(defaults->arrayForKey("text"));
}

TEST(UserDefaults, RefusesUnusableSuiteNamesAndSurvivesACorruptFile) {
    TestAppHome home;
    for (const std::string& name :
         std::vector<std::string>{"", "NSGlobalDomain", "..", "a/b", std::string("a\0b", 3)}) {
        EXPECT_FALSE(UserDefaults::make(name)) << name;
    }
    const auto file = home.path() / "Preferences" / "broken.json";
    qor::testing::writeFile(file, "{ not json");
    const auto defaults = UserDefaults::make("broken");
    EXPECT_TRUE(defaults->dictionaryRepresentation().empty());
    EXPECT_TRUE(std::filesystem::exists(file.string() + ".unreadable")) << "the unreadable file is kept aside";
    defaults->set("fresh", "key");
    EXPECT_TRUE(defaults->synchronize());
}

TEST(UserDefaults, StandardSuiteFollowsTheAppHome) {
    TestAppHome home;
    const auto defaults = UserDefaults::standard();
    defaults->set("1.0", "VersionKey");
    defaults->synchronize();
    EXPECT_EQ(defaults->filePath().parent_path(), home.path() / "Preferences");
    EXPECT_EQ(UserDefaults::standard()->stringForKey("VersionKey"), "1.0");
}

TEST(UserDefaults, ConcurrentWritersLoseNothing) {
    TestAppHome home;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            const auto defaults = UserDefaults::make("shared");
            for (int i = 0; i < 50; ++i) {
                defaults->set(i, "t" + std::to_string(t) + "-" + std::to_string(i));
                defaults->synchronize();
            }
        });
    }
    for (auto& thread : threads) thread.join();
    const auto reloaded = UserDefaults::make("shared");
    EXPECT_EQ(reloaded->dictionaryRepresentation().size(), 200u);
    EXPECT_EQ(reloaded->integerForKey("t3-49"), 49);
}

}  // namespace
}  // namespace qor::platform
