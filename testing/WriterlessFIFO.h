#pragma once

#include <filesystem>
#include <string>

#include "testing/TempDirectory.h"

namespace qor::testing {

// A named pipe in a fresh temporary folder that nothing writes to: opening it for reading blocks
// until a writer comes. Going away, it lets every reader still waiting in open() go (with an
// empty read), so that a test that fails for having opened it still ends.
class WriterlessFIFO {
public:
    WriterlessFIFO();
    ~WriterlessFIFO();
    WriterlessFIFO(const WriterlessFIFO&) = delete;
    WriterlessFIFO& operator=(const WriterlessFIFO&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // "file://localhost" followed by the path.
    std::string url() const { return "file://localhost" + path_.string(); }

private:
    TempDirectory folder_{"qor-fifo"};
    std::filesystem::path path_;
};

}  // namespace qor::testing
