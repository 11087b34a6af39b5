#include "Platform/Foundation/FileManager.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "Platform/Foundation/AppDirectories.h"
#include "Platform/Foundation/FileHandle.h"
#include "Platform/Foundation/PlatformError.h"
#include "testing/FileHelpers.h"
#include "testing/ScopedEnvironment.h"
#include "testing/TempDirectory.h"
#include "testing/TestAppHome.h"

namespace qor::platform {
namespace {

using qor::testing::readFile;
using qor::testing::ScopedEnvironment;
using qor::testing::TempDirectory;
using qor::testing::TestAppHome;

template <class F>
PlatformError::Code failureCode(F&& operation) {
    try {
        operation();
    } catch (const PlatformError& error) {
        EXPECT_FALSE(std::string(error.what()).empty());
        return error.code();
    }
    ADD_FAILURE() << "no PlatformError thrown";
    return PlatformError::Code::fileReadFailed;
}

FileManager& files() { return FileManager::defaultManager(); }

TEST(AppDirectories, FollowTheAppHomeVariableAtEveryCall) {
    TestAppHome home;
    EXPECT_EQ(applicationHomeDirectory(), home.path());
    EXPECT_EQ(files().urls(SearchPathDirectory::documentDirectory, SearchPathDomainMask::userDomainMask),
              std::vector<std::filesystem::path>{home.path() / "Documents"});
    {
        TestAppHome other;
        EXPECT_EQ(documentsDirectory(), other.path() / "Documents");
    }
    ScopedEnvironment unset("QOR_APP_HOME", std::nullopt);
    ScopedEnvironment xdg("XDG_DATA_HOME", "/srv/data");
    EXPECT_EQ(applicationHomeDirectory().parent_path(), "/srv/data");
    ScopedEnvironment relativeXdg("XDG_DATA_HOME", "relative/data");
    ScopedEnvironment userHome("HOME", "/home/someone");
    EXPECT_EQ(applicationHomeDirectory().parent_path(), "/home/someone/.local/share");
}

TEST(FileManager, CreatesFoldersWithOrWithoutIntermediates) {
    TempDirectory dir;
    const auto deep = dir.file("a/b/c");
    EXPECT_EQ(failureCode([&] { files().createDirectory(deep, false); }), PlatformError::Code::fileNoSuchFile);
    files().createDirectory(deep, true);
    files().createDirectory(deep, true);  // already there: fine with intermediates
    bool isDirectory = false;
    EXPECT_TRUE(files().fileExists(deep, isDirectory));
    EXPECT_TRUE(isDirectory);
    EXPECT_EQ(failureCode([&] { files().createDirectory(deep, false); }), PlatformError::Code::fileExists);

    const auto file = dir.write("plain", "x");
    EXPECT_EQ(failureCode([&] { files().createDirectory(file, true); }), PlatformError::Code::fileExists);
    EXPECT_TRUE(files().fileExists(file, isDirectory));
    EXPECT_FALSE(isDirectory);
    EXPECT_FALSE(files().fileExists(dir.file("none"), isDirectory));
}

TEST(FileManager, MoveNeverReplacesAnExistingTarget) {
    TempDirectory dir;
    const auto source = dir.write("0-events", "new");
    const auto target = dir.write("0-events.temp", "old");
    EXPECT_EQ(failureCode([&] { files().moveItem(source, target); }), PlatformError::Code::fileExists);
    EXPECT_EQ(readFile(source), "new");
    EXPECT_EQ(readFile(target), "old");

    files().removeItem(target);
    files().moveItem(source, target);
    EXPECT_FALSE(files().fileExists(source));
    EXPECT_EQ(readFile(target), "new");

    EXPECT_EQ(failureCode([&] { files().moveItem(dir.file("gone"), dir.file("elsewhere")); }),
              PlatformError::Code::fileNoSuchFile);
}

TEST(FileManager, ListsSortedEntriesWithoutHiddenOnes) {
    TempDirectory dir;
    dir.write("2-events.temp", "");
    dir.write("10-events.temp", "");
    dir.write(".hidden", "");
    files().createDirectory(dir.file(".cache"), false);
    files().createDirectory(dir.file("sub"), false);

    EXPECT_EQ(
        files().contentsOfDirectory(dir.path()),
        (std::vector<std::filesystem::path>{dir.file("10-events.temp"), dir.file("2-events.temp"), dir.file("sub")}));
    EXPECT_EQ(files().contentsOfDirectory(dir.path(), false).size(), 5u);
    EXPECT_EQ(failureCode([&] { files().contentsOfDirectory(dir.file("missing")); }),
              PlatformError::Code::fileNoSuchFile);
}

TEST(FileManager, RemovesFoldersWholeAndReportsMissingItems) {
    TempDirectory dir;
    dir.write("folder/inner/file", "x");
    files().removeItem(dir.file("folder"));
    EXPECT_FALSE(files().fileExists(dir.file("folder")));
    EXPECT_EQ(failureCode([&] { files().removeItem(dir.file("folder")); }), PlatformError::Code::fileNoSuchFile);
    EXPECT_EQ(failureCode([&] { files().removeItem(""); }), PlatformError::Code::fileInvalidName);
}

TEST(FileManager, CreateFileReplacesContentsAndReportsFailure) {
    TempDirectory dir;
    const auto file = dir.file("f");
    EXPECT_TRUE(files().createFile(file, dataFromString("first")));
    EXPECT_TRUE(files().createFile(file, dataFromString("2nd")));
    EXPECT_EQ(readFile(file), "2nd");
    EXPECT_EQ(files().attributesOfItem(file).size, 3u);
    EXPECT_EQ(std::filesystem::status(file).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    EXPECT_FALSE(files().createFile(dir.file("no/such/folder/f")));
    EXPECT_EQ(files().contentsOfDirectory(dir.path()).size(), 1u) << "no temporary file left behind";
    EXPECT_EQ(failureCode([&] { files().attributesOfItem(dir.file("none")); }), PlatformError::Code::fileNoSuchFile);
}

TEST(FileHandle, AppendedBytesAreOnDiskAsSoonAsWriteReturns) {
    TempDirectory dir;
    const auto file = dir.file("batch");
    const auto handle = FileHandle::forAppending(file);  // creates the file
    EXPECT_EQ(files().attributesOfItem(file).size, 0u);
    handle->write(dataFromString("{ \"batch\": ["));
    EXPECT_EQ(files().attributesOfItem(file).size, 12u);
    handle->write(Data(1000, 'x'));
    EXPECT_EQ(files().attributesOfItem(file).size, 1012u);
    handle->write(Data{});
    handle->close();
    handle->close();  // closing twice is harmless
    EXPECT_FALSE(handle->isOpen());
    EXPECT_EQ(failureCode([&] { handle->write(dataFromString("late")); }), PlatformError::Code::fileNotOpen);

    // Reopening an existing file appends at its end.
    const auto again = FileHandle::forAppending(file);
    again->write(dataFromString("]}"));
    EXPECT_EQ(files().attributesOfItem(file).size, 1014u);
    EXPECT_TRUE(readFile(file).ends_with("x]}"));
}

TEST(FileHandle, WritingHandleSeeksTruncatesAndRefusesMissingFiles) {
    TempDirectory dir;
    EXPECT_FALSE(FileHandle::forWritingAtPath(dir.file("missing")));
    EXPECT_EQ(failureCode([&] { FileHandle::forWriting(dir.file("missing")); }), PlatformError::Code::fileNoSuchFile);

    const auto file = dir.write("f", "hello");
    const auto handle = FileHandle::forWriting(file);
    EXPECT_EQ(handle->offset(), 0u);
    EXPECT_EQ(handle->seekToEndOfFile(), 5u);
    handle->write(dataFromString(" world"));
    handle->synchronize();
    EXPECT_EQ(readFile(file), "hello world");
    handle->truncate(4);
    handle->write(dataFromString("!"));
    EXPECT_EQ(readFile(file), "hell!");
}

}  // namespace
}  // namespace qor::platform
