#pragma once

#include <optional>
#include <string>

namespace qor::testing {

// Sets (or, with nullopt, unsets) an environment variable and puts the earlier value back
// when it goes away. TZ changes are applied to the C library's zone at once, so local-time
// conversions see them without waiting for a call that happens to reread it.
class ScopedEnvironment {
public:
    ScopedEnvironment(std::string name, const std::optional<std::string>& value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    void apply(const std::optional<std::string>& value) const;

    std::string name_;
    std::optional<std::string> previous_;
};

}  // namespace qor::testing
