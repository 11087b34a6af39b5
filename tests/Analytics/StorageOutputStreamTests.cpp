#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "Analytics/OutputFileStream.h"
#include "EngineTestSupport.h"
#include "testing/FileHelpers.h"
#include "testing/TestAppHome.h"

namespace qor {
namespace {

using Code = OutputFileStream::OutputStreamError::Code;
using testing::readFile;
using testing::TestAppHome;
using testing::writeFile;

Code codeOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const OutputFileStream::OutputStreamError& error) {
        return error.code;
    }
    ADD_FAILURE() << "no error thrown";
    return Code::invalidPath;
}

TEST(StorageOutputStream, CreatesOpensAppendsAndClosesOnce) {
    TestAppHome home;
    const auto path = home.path() / "events";
    OutputFileStream stream(platform::URL::fileURL(path.string()));
    stream.create();
    EXPECT_TRUE(stream.isOpen());
    stream.write(std::string_view("abc"));
    stream.write(std::string_view(""));
    stream.write(platform::Data{});
    stream.close();
    stream.close();
    EXPECT_FALSE(stream.isOpen());
    // Writes on a closed stream are skipped, not failures.
    stream.write(std::string_view("lost"));
    EXPECT_EQ(readFile(path), "abc");

    // Opening an existing file appends at its end.
    OutputFileStream again(platform::URL::fileURL(path.string()));
    again.open();
    again.open();
    again.write(std::string_view("def"));
    again.close();
    EXPECT_EQ(readFile(path), "abcdef");
}

TEST(StorageOutputStream, FailuresCarryThePath) {
    TestAppHome home;
    const auto existing = home.path() / "existing";
    writeFile(existing, "x");
    OutputFileStream stream(platform::URL::fileURL(existing.string()));
    EXPECT_EQ(codeOf([&] { stream.create(); }), Code::unableToCreate);
    EXPECT_EQ(readFile(existing), "x");

    const auto missing = home.path() / "no-folder" / "file";
    OutputFileStream absent(platform::URL::fileURL(missing.string()));
    EXPECT_EQ(codeOf([&] { absent.open(); }), Code::unableToOpen);
    EXPECT_EQ(codeOf([&] { absent.create(); }), Code::unableToCreate);

    EXPECT_EQ(codeOf([] { OutputFileStream(platform::URL::make("https://host").value()); }), Code::invalidPath);
    try {
        absent.open();
    } catch (const OutputFileStream::OutputStreamError& error) {
        EXPECT_EQ(error.path, missing.string());
        EXPECT_EQ(std::string(error.what()), "unableToOpen(" + missing.string() + ")");
    }
}

// Streams open on one file know its size together, even after it was renamed under one of
// them; a file made again at the old path starts a count of its own.
TEST(StorageOutputStream, StreamsOnOneFileShareItsSizeAcrossARename) {
    TestAppHome home;
    const auto first = home.path() / "0-events";
    const auto renamed = home.path() / "0-events.temp";
    OutputFileStream writer(platform::URL::fileURL(first.string()));
    writer.create();
    writer.write(std::string_view("{ \"batch\": ["));
    std::filesystem::rename(first, renamed);

    OutputFileStream other(platform::URL::fileURL(renamed.string()));
    other.open();
    EXPECT_EQ(other.size(), 12U);
    other.write(std::string_view("{\"a\":1}"));
    EXPECT_EQ(writer.size(), 19U);
    writer.write(std::string_view(",{\"b\":2}"));
    EXPECT_EQ(other.size(), 27U);
    other.truncate(19);
    EXPECT_EQ(writer.size(), 19U);
    EXPECT_EQ(readFile(renamed), "{ \"batch\": [{\"a\":1}");

    OutputFileStream fresh(platform::URL::fileURL(first.string()));
    fresh.create();
    EXPECT_EQ(fresh.size(), 0U);
    fresh.write(std::string_view("x"));
    EXPECT_EQ(writer.size(), 19U);
    writer.close();
    EXPECT_FALSE(writer.size().has_value());
    EXPECT_EQ(other.size(), 19U);
}

}  // namespace
}  // namespace qor
