#include "testing/TempDirectory.h"

#include <stdlib.h>

#include <stdexcept>
#include <system_error>

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

}  // namespace qor::testing
