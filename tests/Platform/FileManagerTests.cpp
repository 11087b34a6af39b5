#include "Platform/Foundation/FileManager.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "Platform/Foundation/AppDirectories.h"
#include "Platform/Foundation/FileHandle.h"
#include "Platform/Foundation/PlatformError.h"
#include "Platform/TestTempDir.h"

namespace qor::platform {
namespace {

using test::ScopedEnvironment;
using test::TestAppHome;
using test::TestTempDir;

std::string readFile(const std::filesystem::path& path) {
  std::ifstream stream(path, std::ios::binary);
  std::ostringstream contents;
  contents << stream.rdbuf();
  return contents.str();
}

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
  TestTempDir dir;
  const auto deep = dir / "a/b/c";
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
  EXPECT_FALSE(files().fileExists(dir / "none", isDirectory));
}

TEST(FileManager, MoveNeverReplacesAnExistingTarget) {
  TestTempDir dir;
  const auto source = dir.write("0-events", "new");
  const auto target = dir.write("0-events.temp", "old");
  EXPECT_EQ(failureCode([&] { files().moveItem(source, target); }), PlatformError::Code::fileExists);
  EXPECT_EQ(readFile(source), "new");
  EXPECT_EQ(readFile(target), "old");

  files().removeItem(target);
  files().moveItem(source, target);
  EXPECT_FALSE(files().fileExists(source));
  EXPECT_EQ(readFile(target), "new");

  EXPECT_EQ(failureCode([&] { files().moveItem(dir / "gone", dir / "elsewhere"); }),
            PlatformError::Code::fileNoSuchFile);
}

TEST(FileManager, ListsSortedEntriesWithoutHiddenOnes) {
  TestTempDir dir;
  dir.write("2-events.temp", "");
  dir.write("10-events.temp", "");
  dir.write(".hidden", "");
  files().createDirectory(dir / ".cache", false);
  files().createDirectory(dir / "sub", false);

  EXPECT_EQ(files().contentsOfDirectory(dir.path()),
            (std::vector<std::filesystem::path>{dir / "10-events.temp", dir / "2-events.temp", dir / "sub"}));
  EXPECT_EQ(files().contentsOfDirectory(dir.path(), false).size(), 5u);
  EXPECT_EQ(failureCode([&] { files().contentsOfDirectory(dir / "missing"); }), PlatformError::Code::fileNoSuchFile);
}

TEST(FileManager, RemovesFoldersWholeAndReportsMissingItems) {
  TestTempDir dir;
  dir.write("folder/inner/file", "x");
  files().removeItem(dir / "folder");
  EXPECT_FALSE(files().fileExists(dir / "folder"));
  EXPECT_EQ(failureCode([&] { files().removeItem(dir / "folder"); }), PlatformError::Code::fileNoSuchFile);
  EXPECT_EQ(failureCode([&] { files().removeItem(""); }), PlatformError::Code::fileInvalidName);
}

TEST(FileManager, CreateFileReplacesContentsAndReportsFailure) {
  TestTempDir dir;
  const auto file = dir / "f";
  EXPECT_TRUE(files().createFile(file, dataFromString("first")));
  EXPECT_TRUE(files().createFile(file, dataFromString("2nd")));
  EXPECT_EQ(readFile(file), "2nd");
  EXPECT_EQ(files().attributesOfItem(file).size, 3u);
  EXPECT_EQ(std::filesystem::status(file).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                std::filesystem::perms::group_read | std::filesystem::perms::others_read);
  EXPECT_FALSE(files().createFile(dir / "no/such/folder/f"));
  EXPECT_EQ(files().contentsOfDirectory(dir.path()).size(), 1u) << "no temporary file left behind";
  EXPECT_EQ(failureCode([&] { files().attributesOfItem(dir / "none"); }), PlatformError::Code::fileNoSuchFile);
}

TEST(FileHandle, AppendedBytesAreOnDiskAsSoonAsWriteReturns) {
  TestTempDir dir;
  const auto file = dir / "batch";
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
  TestTempDir dir;
  EXPECT_FALSE(FileHandle::forWritingAtPath(dir / "missing"));
  EXPECT_EQ(failureCode([&] { FileHandle::forWriting(dir / "missing"); }), PlatformError::Code::fileNoSuchFile);

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
