#include "testing/ScopedEnvironment.h"

#include <stdlib.h>
#include <time.h>

namespace qor::testing {

ScopedEnvironment::ScopedEnvironment(std::string name, const std::optional<std::string>& value)
    : name_(std::move(name)) {
    if (const char* old = ::getenv(name_.c_str())) previous_ = old;
    apply(value);
}

ScopedEnvironment::~ScopedEnvironment() { apply(previous_); }

void ScopedEnvironment::apply(const std::optional<std::string>& value) const {
    if (value) {
        ::setenv(name_.c_str(), value->c_str(), 1);
    } else {
        ::unsetenv(name_.c_str());
    }
    if (name_ == "TZ") ::tzset();
}

}  // namespace qor::testing
