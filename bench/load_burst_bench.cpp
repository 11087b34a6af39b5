// What 1,000 banner loads started at once cost in memory, round after round: the engine asks the
// simulated network's four bid endpoints (three demand endpoints bidding, the core without a bid)
// for each load, and the auction events are recorded and posted as always. After a warm-up load,
// ten rounds; each starts its 1,000 loads in one turn of the main run loop, pumps until all have
// completed, then for kSettle (the recorder's 5 s wait and its uploads). Counters (MiB, the
// process's whole resident set):
// - idle_MiB: after the warm-up's events have been posted, before the first round;
// - peak_MiB: the highest of any round;
// - rNN_peak_MiB: round NN's high-water mark, from its start to the end of its settling;
// - rNN_settled_MiB: the resident set at the end of its settling.
// The rounds run in a process of its own, started for the run; the simulated ad network in
// another, so that serving and collecting are not counted.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "AdNetwork/AdNetworkApiClient.h"
#include "AdNetwork/QOR.h"
#include "NetworkProcess.h"
#include "Platform/Foundation/Bundle.h"
#include "testing/ChildProcess.h"
#include "testing/MainLoopPump.h"
#include "testing/SimulatedAdNetwork.h"
#include "testing/TestAppHome.h"

namespace {

using namespace std::chrono;
using qor::bench::statusMiB;
using qor::testing::BidAnswer;
using qor::testing::SimulatedAdNetwork;

constexpr std::size_t kLoads = 1000;
constexpr std::size_t kRounds = 10;
constexpr milliseconds kSettle{6000};

int serveNetwork() {
    auto network = SimulatedAdNetwork::start();
    network->serveContainer("bench-key", network->defaultContainer());
    for (std::size_t i = 0; i < network->demandCount(); ++i) {
        network->demand(i).answer(BidAnswer::bid(1.0 + static_cast<double>(i) / 10));
    }
    qor::bench::announceNetworkAndServe();
    return 0;
}

// `loads` banner loads started in one turn, pumped until each has completed.
bool loadRound(std::size_t loads) {
    auto completed = std::make_shared<std::size_t>(0);
    for (std::size_t i = 0; i < loads; ++i) {
        qor::AdNetworkApiClient::shared().requestBannerAd(SimulatedAdNetwork::bannerUnit, std::nullopt,
                                                          qor::AdType::banner, qor::AdRequest(),
                                                          [completed](const qor::Result<qor::Bid>&) { ++*completed; });
    }
    return qor::testing::pumpMainUntil([&] { return *completed == loads; }, minutes(3));
}

int measureRounds() {
    qor::testing::TestAppHome home("qor-load-burst-bench");
    qor::platform::Bundle::main()->setInfoDictionary(
        qor::platform::PlistDictionary{{"CFBundleIdentifier", "io.qor.bench"}, {"CFBundleShortVersionString", "1"}});
    qor::QOR::start(std::make_shared<qor::QOR::Config>("bench-analytics", "bench-key"));
    if (!qor::testing::pumpMainUntil([] { return qor::QOR::adNetworkContainer().has_value(); }, seconds(20)) ||
        !loadRound(1)) {
        return 1;
    }
    qor::testing::pumpMainFor(kSettle);
    std::printf("idle %f\n", statusMiB("VmRSS:"));
    const auto start = steady_clock::now();
    for (std::size_t round = 0; round < kRounds; ++round) {
        qor::bench::resetPeak();
        if (!loadRound(kLoads)) return 1;
        qor::testing::pumpMainFor(kSettle);
        std::printf("round %zu %f %f\n", round + 1, statusMiB("VmHWM:"), statusMiB("VmRSS:"));
    }
    std::printf("seconds %f\n", duration<double>(steady_clock::now() - start).count());
    std::fflush(stdout);
    std::_Exit(0);  // the SDK's workers may still run
}

std::string roundName(std::size_t round, const char* figure) {
    char name[32];
    std::snprintf(name, sizeof name, "r%02zu_%s_MiB", round, figure);
    return name;
}

void loadBurst(benchmark::State& state) {
    for (auto _ : state) {
        qor::bench::NetworkProcess network({"--network"});
        if (network.variables.empty()) {
            state.SkipWithError("the simulated network did not start");
            return;
        }
        const auto outcome = qor::testing::runProgram({"/proc/self/exe", "--measure"}, network.variables, minutes(10));
        std::istringstream lines(outcome.output);
        std::string line;
        double idle = -1, seconds = 0, highest = 0;
        std::size_t rounds = 0;
        while (std::getline(lines, line)) {
            std::size_t round = 0;
            double peak = 0, settled = 0;
            if (std::sscanf(line.c_str(), "round %zu %lf %lf", &round, &peak, &settled) == 3) {
                state.counters[roundName(round, "peak")] = peak;
                state.counters[roundName(round, "settled")] = settled;
                highest = std::max(highest, peak);
                ++rounds;
            } else {
                std::sscanf(line.c_str(), "idle %lf", &idle);
                std::sscanf(line.c_str(), "seconds %lf", &seconds);
            }
        }
        if (idle < 0 || rounds != kRounds) {
            state.SkipWithError(("the measured process failed: " + outcome.output.substr(0, 2000)).c_str());
            return;
        }
        state.SetIterationTime(seconds);
        state.counters["idle_MiB"] = idle;
        state.counters["peak_MiB"] = highest;
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "--network") return serveNetwork();
    if (argc == 2 && std::string(argv[1]) == "--measure") return measureRounds();
    benchmark::RegisterBenchmark("loadBurst/1000_banners_10_rounds", loadBurst)
        ->Iterations(1)
        ->UseManualTime()
        ->Unit(benchmark::kSecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
