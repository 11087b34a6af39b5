#include "testing/TestAppHome.h"

namespace qor::testing {

TestAppHome::TestAppHome(std::string_view prefix)
    : folder_(prefix), variable_("QOR_APP_HOME", folder_.path().string()) {}

}  // namespace qor::testing
