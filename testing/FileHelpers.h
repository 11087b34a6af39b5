#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace qor::testing {

// The whole contents of a file as bytes in a string; empty when it cannot be read.
std::string readFile(const std::filesystem::path& path);

// Replaces the contents of a file, creating the folders on the way.
void writeFile(const std::filesystem::path& path, std::string_view contents);

}  // namespace qor::testing
