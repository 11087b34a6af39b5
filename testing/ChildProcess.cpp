#include "testing/ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <thread>
#include <vector>

#include "testing/FileHelpers.h"
#include "testing/TempDirectory.h"

extern char** environ;

namespace qor::testing {

std::optional<std::string> environmentVariable(const char* name) {
    if (const char* value = std::getenv(name)) return std::string(value);
    return std::nullopt;
}

ChildOutcome runTestChild(const std::string& filter, const std::map<std::string, std::string>& environment,
                          std::chrono::milliseconds timeout) {
    const std::string program = std::filesystem::read_symlink("/proc/self/exe").string();
    return runProgram({program, "--gtest_filter=" + filter}, environment, timeout);
}

ChildOutcome runProgram(const std::vector<std::string>& programArguments,
                        const std::map<std::string, std::string>& environment, std::chrono::milliseconds timeout) {
    std::vector<std::string> arguments = programArguments;
    const std::string program = arguments.at(0);

    std::map<std::string, std::string> merged;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text(*entry);
        const auto equals = text.find('=');
        if (equals != std::string::npos) merged[text.substr(0, equals)] = text.substr(equals + 1);
    }
    for (const auto& [name, value] : environment) merged[name] = value;
    std::vector<std::string> variables;
    for (const auto& [name, value] : merged) variables.push_back(name + "=" + value);

    std::vector<char*> argv;
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (auto& variable : variables) envp.push_back(variable.data());
    envp.push_back(nullptr);

    TempDirectory folder("qor-child");
    const std::string outputPath = folder.file("output").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    pid_t child = 0;
    const int spawned = posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) throw std::runtime_error("cannot start the child process");

    ChildOutcome outcome;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int status = 0;
    for (;;) {
        const pid_t ended = ::waitpid(child, &status, WNOHANG);
        if (ended == child) break;
        if (ended < 0 && errno != EINTR) throw std::runtime_error("cannot wait for the child process");
        if (std::chrono::steady_clock::now() >= deadline) {
            outcome.timedOut = true;
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (WIFEXITED(status)) outcome.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) outcome.signal = WTERMSIG(status);
    outcome.output = readFile(outputPath);
    return outcome;
}

}  // namespace qor::testing
