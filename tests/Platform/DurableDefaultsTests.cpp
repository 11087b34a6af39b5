// The defaults suite holds the user id, the anonymous id and the batch counter: its replace must
// survive a power loss (file and folder synchronised), must not leak into processes the host
// starts meanwhile, and a process killed in the middle leaves nothing that stays for ever.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "Platform/Foundation/UserDefaults.h"
#include "testing/ChildProcess.h"
#include "testing/FileHelpers.h"
#include "testing/ScopedFaultHandler.h"
#include "testing/TempDirectory.h"
#include "testing/TestAppHome.h"

// Every fsync and rename of this test program is seen here on its way to the kernel, so the
// order of the replace's steps can be checked while recording is on.
namespace {

std::atomic<bool> recording{false};
std::mutex journalMutex;
std::vector<std::string> journal;

std::string pathOfDescriptor(int fd) {
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd), error).string();
}

void record(std::string entry) {
    if (!recording.load()) return;
    std::lock_guard lock(journalMutex);
    journal.push_back(std::move(entry));
}

}  // namespace

extern "C" int fsync(int fd) {
    record("fsync " + pathOfDescriptor(fd));
    return static_cast<int>(::syscall(SYS_fsync, fd));
}

extern "C" int rename(const char* from, const char* to) {
    record(std::string("rename ") + from + " -> " + to);
    return static_cast<int>(::syscall(SYS_renameat2, AT_FDCWD, from, AT_FDCWD, to, 0));
}

namespace qor::platform {
namespace {

bool isSuiteTemporary(const std::string& name, const std::string& suite) {
    return name.rfind(suite + ".json.", 0) == 0 && name.size() == suite.size() + 6 + 6;
}

TEST(DurableDefaults, TheNewSuiteReachesTheStorageBeforeItsRenameAndItsFolderEntryAfter) {
    testing::TestAppHome home;
    const auto defaults = UserDefaults::make("durable.suite");
    defaults->set("user-1", "lumatix.userId");
    {
        std::lock_guard lock(journalMutex);
        journal.clear();
    }
    recording = true;
    ASSERT_TRUE(defaults->synchronize());
    recording = false;

    const std::string file = defaults->filePath().string();
    const std::string folder = defaults->filePath().parent_path().string();
    std::lock_guard lock(journalMutex);
    ASSERT_EQ(journal.size(), 3u) << ::testing::PrintToString(journal);
    // The temporary's contents first, then the rename over the suite, then the folder.
    EXPECT_TRUE(journal[0].rfind("fsync " + file + ".", 0) == 0) << journal[0];
    EXPECT_TRUE(journal[1].rfind("rename " + file + ".", 0) == 0 && journal[1].ends_with(" -> " + file)) << journal[1];
    EXPECT_EQ(journal[2], "fsync " + folder);
}

// At the point where the temporary is open: start a program, as a host may at any moment, and
// keep what it reports about its own open files.
std::string inheritedListing;

bool startAProgram(const char* point) {
    if (std::strcmp(point, "replaceFileAtomically.temporaryOpen") != 0) return false;
    testing::TempDirectory folder("qor-spawn");
    const std::string output = folder.file("fds").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    char ls[] = "ls";
    char longFormat[] = "-l";
    char fds[] = "/proc/self/fd";
    char* argv[] = {ls, longFormat, fds, nullptr};
    pid_t child = 0;
    if (posix_spawnp(&child, "ls", &actions, nullptr, argv, environ) == 0) {
        int status = 0;
        ::waitpid(child, &status, 0);
    }
    posix_spawn_file_actions_destroy(&actions);
    inheritedListing = testing::readFile(output);
    return false;
}

TEST(DurableDefaults, AProgramStartedDuringAWriteDoesNotInheritTheTemporary) {
    testing::TestAppHome home;
    const auto defaults = UserDefaults::make("inherit.suite");
    defaults->set("user-1", "lumatix.userId");
    inheritedListing.clear();
    const testing::ScopedFaultHandler faultHandler(&startAProgram);
    ASSERT_TRUE(defaults->synchronize());
    ASSERT_NE(inheritedListing.find("/fds"), std::string::npos) << "the program did not run: " << inheritedListing;
    EXPECT_EQ(inheritedListing.find("inherit.suite.json."), std::string::npos) << inheritedListing;
}

// The child: writes a new value and is killed while the replace's temporary is open.
TEST(DurableDefaultsChild, WritesUntilKilled) {
    const auto suite = testing::environmentVariable("QOR_KILL_SUITE");
    if (!suite) GTEST_SKIP() << "the child process of DurableDefaults; it does nothing on its own";
    const testing::ScopedFaultHandler faultHandler([](const char* point) {
        if (std::strcmp(point, "replaceFileAtomically.temporaryOpen") == 0) ::raise(SIGKILL);
        return false;
    });
    const auto defaults = UserDefaults::make(*suite);
    defaults->set("user-2", "lumatix.userId");
    defaults->synchronize();
}

TEST(DurableDefaults, AWriteKilledHalfWayLeavesTheOldSuiteAndNoTemporaryForTheNextStart) {
    testing::TestAppHome home;
    std::filesystem::path folder;
    {
        const auto defaults = UserDefaults::make("killed.suite");
        defaults->set("user-1", "lumatix.userId");
        ASSERT_TRUE(defaults->synchronize());
        folder = defaults->filePath().parent_path();
    }
    const auto outcome =
        testing::runTestChild("DurableDefaultsChild.WritesUntilKilled", {{"QOR_KILL_SUITE", "killed.suite"}});
    ASSERT_TRUE(outcome.killedBy(SIGKILL)) << outcome.output;
    std::size_t temporaries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        temporaries += isSuiteTemporary(entry.path().filename().string(), "killed.suite") ? 1 : 0;
    }
    ASSERT_EQ(temporaries, 1u) << "the kill left the replace's temporary";

    // The next start reads the suite as it was and clears the leftover away.
    const auto restarted = UserDefaults::make("killed.suite");
    EXPECT_EQ(restarted->stringForKey("lumatix.userId"), "user-1");
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        EXPECT_FALSE(isSuiteTemporary(entry.path().filename().string(), "killed.suite")) << entry.path();
    }
}

}  // namespace
}  // namespace qor::platform
