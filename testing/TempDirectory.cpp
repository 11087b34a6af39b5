#include "testing/TempDirectory.h"

#include <stdlib.h>

#include <cerrno>
#include <system_error>

#include "testing/FileHelpers.h"

namespace qor::testing {

TempDirectory::TempDirectory(std::string_view prefix) {
    std::string pattern = (std::filesystem::temp_directory_path() / (std::string(prefix) + "-XXXXXX")).string();
    if (!mkdtemp(pattern.data())) {
        throw std::system_error(errno, std::generic_category(), "cannot create a temporary folder");
    }
    path_ = pattern;
}

TempDirectory::~TempDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path TempDirectory::write(std::string_view name, std::string_view contents) const {
    auto target = file(name);
    writeFile(target, contents);
    return target;
}

}  // namespace qor::testing
