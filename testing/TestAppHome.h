#pragma once

#include <filesystem>
#include <string_view>

#include "testing/ScopedEnvironment.h"
#include "testing/TempDirectory.h"

namespace qor::testing {

// A fresh app home (documents and defaults) for one test: QOR_APP_HOME points at a new
// temporary folder while the object lives; the earlier value comes back and the folder
// goes away at the end.
class TestAppHome {
public:
    explicit TestAppHome(std::string_view prefix = "qor-home");

    const std::filesystem::path& path() const { return folder_.path(); }
    // The documents folder the system derives from the app home (not created).
    std::filesystem::path documents() const { return folder_.path() / "Documents"; }

private:
    TempDirectory folder_;
    ScopedEnvironment variable_;
};

}  // namespace qor::testing
