#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qor::testing {

// How a child process ended.
struct ChildOutcome {
    std::optional<int> exitCode;  // when it exited
    std::optional<int> signal;    // when a signal ended it
    bool timedOut = false;        // killed by the parent after the time-out
    std::string output;           // its standard output and error, together

    bool killedBy(int number) const { return signal && *signal == number; }
};

// Runs this very test program again as a child process, with only the test `filter` (a gtest
// filter), the parent's environment plus `environment` (which wins on equal names), and its
// output gathered. Waits until it ends, or kills it after `timeout`.
//
// The child test finds its orders in the environment and skips itself when they are absent,
// so that it does nothing in a normal run of the suite.
ChildOutcome runTestChild(const std::string& filter, const std::map<std::string, std::string>& environment,
                          std::chrono::milliseconds timeout = std::chrono::seconds(60));

// Runs a program (arguments[0] is its path) with the parent's environment plus `environment`
// (which wins on equal names) and its output gathered; waits until it ends, or kills it after
// `timeout`.
ChildOutcome runProgram(const std::vector<std::string>& arguments,
                        const std::map<std::string, std::string>& environment,
                        std::chrono::milliseconds timeout = std::chrono::seconds(60));

// The value of an environment variable, or nothing.
std::optional<std::string> environmentVariable(const char* name);

}  // namespace qor::testing
