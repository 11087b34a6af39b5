// For the memory benchmarks: the simulated ad network served by a process of its own (this very
// program started again), so that serving and collecting are not counted in the measured
// process, and the measured process's own resident set.
#pragma once

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

extern char** environ;

namespace qor::bench {

// The deployment variables the simulated network sets, for the network's process to print and
// the measured process to be started with.
inline constexpr const char* kNetworkVariables[] = {"QOR_AD_NETWORK_TEST_URL",
                                                    "QOR_AD_NETWORK_STAGING_URL",
                                                    "QOR_AD_NETWORK_PRODUCTION_URL",
                                                    "QOR_COLLECTION_URL",
                                                    "QOR_IP_ECHO_URL",
                                                    "QOR_CA_FILE",
                                                    "QOR_CONNECT_TO"};

// In the network's process, once it serves: prints the deployment variables, then "ready", and
// serves until its standard input closes.
inline void announceNetworkAndServe() {
    for (const char* name : kNetworkVariables) {
        if (const char* value = std::getenv(name)) std::printf("%s=%s\n", name, value);
    }
    std::printf("ready\n");
    std::fflush(stdout);
    char byte = 0;
    while (read(STDIN_FILENO, &byte, 1) > 0) {
    }
}

// A field of /proc/self/status ("VmRSS:", "VmHWM:") in MiB.
inline double statusMiB(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0) return std::stod(line.substr(std::strlen(field))) / 1024.0;
    }
    return 0;
}

// The kernel's high-water mark of the resident set starts again from the current one.
inline void resetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

// This program started again with `arguments` (after its path) as the network's process, its
// standard input and output on pipes. Every "NAME=value" line it prints before "ready" is kept
// in `variables`; closing its input ends it.
struct NetworkProcess {
    pid_t pid = 0;
    int input = -1;
    std::map<std::string, std::string> variables;

    explicit NetworkProcess(std::vector<std::string> arguments) {
        int toChild[2];
        int fromChild[2];
        if (pipe(toChild) != 0 || pipe(fromChild) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, toChild[1]);
        posix_spawn_file_actions_addclose(&actions, fromChild[0]);
        std::string self = "/proc/self/exe";
        std::vector<char*> argv{self.data()};
        for (auto& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid, self.c_str(), &actions, nullptr, argv.data(), environ) != 0) pid = 0;
        posix_spawn_file_actions_destroy(&actions);
        close(toChild[0]);
        close(fromChild[1]);
        input = toChild[1];
        FILE* output = fdopen(fromChild[0], "r");
        char line[4096];
        while (pid != 0 && std::fgets(line, sizeof line, output) != nullptr) {
            std::string text(line);
            if (!text.empty() && text.back() == '\n') text.pop_back();
            if (text == "ready") break;
            const auto equals = text.find('=');
            if (equals != std::string::npos) variables[text.substr(0, equals)] = text.substr(equals + 1);
        }
        std::fclose(output);
    }
    ~NetworkProcess() {
        if (input >= 0) close(input);
        int status = 0;
        if (pid != 0) waitpid(pid, &status, 0);
    }
    NetworkProcess(const NetworkProcess&) = delete;
    NetworkProcess& operator=(const NetworkProcess&) = delete;
};

}  // namespace qor::bench
