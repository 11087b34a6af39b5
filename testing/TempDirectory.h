#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace qor::testing {

// A fresh, empty folder under the system's temporary directory, removed with
// everything in it when the object goes away.
class TempDirectory {
public:
    explicit TempDirectory(std::string_view prefix = "qor-test");
    ~TempDirectory();
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The path of an entry inside the folder (not created).
    std::filesystem::path file(std::string_view name) const { return path_ / std::string(name); }
    // Writes `contents` to the entry `name`, creating the folders on the way; returns its path.
    std::filesystem::path write(std::string_view name, std::string_view contents) const;

private:
    std::filesystem::path path_;
};

}  // namespace qor::testing
