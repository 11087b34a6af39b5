// From spawning a program to its first event on disk: a program that starts the SDK on a fresh
// app home and tracks one event, beside one that only links and sets up libcurl. Each program
// writes one byte to standard output when it is there; the time counted runs from the spawn to
// that byte. The SDK program's batch file is then checked for the event.
#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "testing/TempDirectory.h"

extern char** environ;

namespace {

// Runs `program` with `extra` added to the environment; returns the seconds from the spawn to
// its first byte on standard output, or a negative number when it failed.
double secondsToFirstByte(const std::string& program, const std::vector<std::string>& extra) {
    std::vector<std::string> settings(extra);
    for (char** entry = environ; *entry != nullptr; ++entry) settings.emplace_back(*entry);
    std::vector<char*> environment;
    for (auto& setting : settings) environment.push_back(setting.data());
    environment.push_back(nullptr);

    int output[2];
    if (pipe(output) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, output[0]);
    std::vector<char*> arguments{const_cast<char*>(program.c_str()), nullptr};

    const auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    const int spawned = posix_spawn(&child, program.c_str(), &actions, nullptr, arguments.data(), environment.data());
    posix_spawn_file_actions_destroy(&actions);
    close(output[1]);
    char byte = 0;
    const bool said = spawned == 0 && read(output[0], &byte, 1) == 1;
    const auto elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    close(output[0]);
    int status = 0;
    if (spawned == 0) waitpid(child, &status, 0);
    const bool exitedWell = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return said && exitedWell ? elapsed : -1;
}

bool folderHolds(const std::filesystem::path& folder, const std::string& text) {
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file()) continue;
        std::ifstream file(entry.path(), std::ios::binary);
        const std::string content((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        if (content.find(text) != std::string::npos) return true;
    }
    return false;
}

void firstEventOnDisk(benchmark::State& state) {
    // Port 9 on loopback: nothing listens, so the container download and the IP lookup fail at once.
    const std::string closed = "http://127.0.0.1:9";
    for (auto _ : state) {
        qor::testing::TempDirectory home("qor-startup-bench");
        const double seconds = secondsToFirstByte(
            QOR_FIRST_EVENT_PROGRAM, {"QOR_APP_HOME=" + home.path().string(), "QOR_AD_NETWORK_PRODUCTION_URL=" + closed,
                                      "QOR_COLLECTION_URL=" + closed + "/v1/b", "QOR_IP_ECHO_URL=" + closed});
        if (seconds < 0 || !folderHolds(home.path(), "\"First Event\"")) {
            state.SkipWithError("the program did not put its event on disk");
            return;
        }
        state.SetIterationTime(seconds);
    }
}

void curlOnly(benchmark::State& state) {
    for (auto _ : state) {
        const double seconds = secondsToFirstByte(QOR_CURL_ONLY_PROGRAM, {});
        if (seconds < 0) {
            state.SkipWithError("the program failed");
            return;
        }
        state.SetIterationTime(seconds);
    }
}

}  // namespace

BENCHMARK(firstEventOnDisk)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(curlOnly)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2);

BENCHMARK_MAIN();
