// What an accepted bid answer near the 4 MiB limit costs in memory, and whether it is given back:
// one endpoint of the unit answers with 32,000 seats of one small bid each ("seats"), one seat of
// 32,000 such bids ("bids"), or one bid whose markup fills the answer ("markup"); the unit's other
// endpoints have no bid. One load (a banner) or four at
// once (banner, interstitial, native and video, each answered so) through the engine, the events
// of the auction recorded and posted as always. Counters (MiB):
// - answer_MiB: the length of one big answer;
// - peak_MiB: the highest resident set from the loads until 3 s after they completed, minus the
//   resident set just before them (a warm-up round with small answers went first, and its events
//   have been posted);
// - settled_MiB: the resident set 3 s after the loads completed, minus the same;
// - heap_kept_MiB: the heap in use then, minus before the loads (what settled_MiB holds beyond it
//   the allocator keeps for later).
// Each case runs in a process of its own, started for it (so no case inherits another's heap);
// the simulated ad network runs in another, so that serving and collecting are not counted.
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "AdNetwork/AdNetworkApiClient.h"
#include "AdNetwork/NativeAssetRequests.h"
#include "AdNetwork/QOR.h"
#include "NetworkProcess.h"
#include "Platform/Foundation/Bundle.h"
#include "testing/ChildProcess.h"
#include "testing/MainLoopPump.h"
#include "testing/SimulatedAdNetwork.h"
#include "testing/TestAppHome.h"

namespace {

using namespace std::chrono;
using qor::testing::BidAnswer;
using qor::testing::BidSpec;
using qor::testing::SimulatedAdNetwork;

constexpr std::size_t kSeats = 32000;
constexpr std::size_t kAnswerLimit = 4 * 1024 * 1024;
// The answer around the markup: ids, price, the seat's name and the brackets.
constexpr std::size_t kMarkupAnswerFrame = 512;
constexpr milliseconds kSettle{3000};
const std::int64_t kUnits[] = {SimulatedAdNetwork::bannerUnit, SimulatedAdNetwork::interstitialUnit,
                               SimulatedAdNetwork::nativeUnit, SimulatedAdNetwork::videoUnit};

BidAnswer bigAnswer(const std::string& shape) {
    if (shape == "seats" || shape == "bids") {
        // 32,000 seats of one bid, or one seat of 32,000 bids.
        std::vector<std::vector<BidSpec>> seats(shape == "seats" ? kSeats : 1);
        for (std::size_t i = 0; i < kSeats; ++i) {
            BidSpec bid;
            bid.markup = "<div>ad</div>";
            bid.id = "bid-" + std::to_string(i);
            seats[shape == "seats" ? i : 0].push_back(std::move(bid));
        }
        return BidAnswer::bids(std::move(seats));
    }
    BidSpec bid;
    bid.markup = std::string(kAnswerLimit - kMarkupAnswerFrame, 'm');
    bid.id = "bid-0";
    return BidAnswer::bids({{std::move(bid)}});
}

// MARK: The network's process

// Serves the container, answers `warmUps` requests of the first demand endpoint with a small bid
// and every later one with the big answer; prints the big answer's length, then serves.
int serveNetwork(const std::string& shape, std::size_t warmUps) {
    auto network = SimulatedAdNetwork::start();
    network->serveContainer("bench-key", network->defaultContainer());
    std::vector<BidAnswer> answers(warmUps, BidAnswer::bid(1.0));
    answers.push_back(bigAnswer(shape));
    network->demand(0).answerInTurn(answers);
    // Request and impression ids are UUIDs.
    const std::string uuid(36, '0');
    std::printf("answer=%zu\n",
                qor::testing::bidResponseText(answers.back(), network->demand(0).name(), uuid, uuid).size());
    qor::bench::announceNetworkAndServe();
    return 0;
}

// MARK: The measured process

double heapMiB() { return static_cast<double>(mallinfo2().uordblks) / (1024.0 * 1024.0); }

// One round: every unit's load at once, pumped until each has completed.
bool loadRound(std::size_t formats) {
    auto& engine = qor::AdNetworkApiClient::shared();
    auto completed = std::make_shared<std::size_t>(0);
    const auto done = [completed](const qor::Result<qor::Bid>&) { ++*completed; };
    for (std::size_t i = 0; i < formats; ++i) {
        const std::int64_t unit = kUnits[i];
        if (unit == SimulatedAdNetwork::bannerUnit) {
            engine.requestBannerAd(unit, std::nullopt, qor::AdType::banner, qor::AdRequest(), done);
        } else if (unit == SimulatedAdNetwork::interstitialUnit) {
            engine.requestInterstitialAd(unit, std::nullopt, qor::AdType::banner, qor::AdRequest(), done);
        } else if (unit == SimulatedAdNetwork::nativeUnit) {
            const auto assets = qor::assetRequestsForUnit(qor::QOR::adNetworkContainer(), unit);
            engine.requestNativeAd(unit, assets.value_or(std::vector<qor::Asset::Request>{}), qor::AdRequest(), done);
        } else {
            auto bidRequest = engine.buildBidRequest(std::nullopt);
            engine.requestVideoAd(unit, bidRequest, qor::AdType::video, std::nullopt,
                                  qor::CallbackQueue::currentMainOrAsync{}, done);
        }
    }
    return qor::testing::pumpMainUntil([&] { return *completed == formats; }, seconds(60));
}

int measureLoads(std::size_t formats) {
    qor::testing::TestAppHome home("qor-answer-memory-bench");
    qor::platform::Bundle::main()->setInfoDictionary(
        qor::platform::PlistDictionary{{"CFBundleIdentifier", "io.qor.bench"}, {"CFBundleShortVersionString", "1"}});
    qor::QOR::start(std::make_shared<qor::QOR::Config>("bench-analytics", "bench-key"));
    if (!qor::testing::pumpMainUntil([] { return qor::QOR::adNetworkContainer().has_value(); }, seconds(20)) ||
        !loadRound(formats)) {
        return 1;
    }
    // The warm-up's events go out 5 s after their recording.
    qor::testing::pumpMainFor(milliseconds(6000));
    const double idle = qor::bench::statusMiB("VmRSS:");
    const double idleHeap = heapMiB();
    qor::bench::resetPeak();
    const auto start = steady_clock::now();
    if (!loadRound(formats)) return 1;
    const double loadSeconds = duration<double>(steady_clock::now() - start).count();
    qor::testing::pumpMainFor(kSettle);
    std::printf("figures %f %f %f %f %f\n", idle, qor::bench::statusMiB("VmHWM:") - idle,
                qor::bench::statusMiB("VmRSS:") - idle, heapMiB() - idleHeap, loadSeconds);
    std::fflush(stdout);
    std::_Exit(0);  // the SDK's workers may still run
}

// MARK: The benchmark's process

void answerMemory(benchmark::State& state, const std::string& shape, std::size_t formats) {
    for (auto _ : state) {
        qor::bench::NetworkProcess network({"--network", shape, std::to_string(formats)});
        const auto answer = network.variables.extract("answer");
        if (answer.empty() || network.variables.empty()) {
            state.SkipWithError("the simulated network did not start");
            return;
        }
        const double answerLength = std::stod(answer.mapped());
        const auto outcome = qor::testing::runProgram({"/proc/self/exe", "--measure", std::to_string(formats)},
                                                      network.variables, minutes(3));
        std::istringstream lines(outcome.output);
        std::string line;
        double idle = -1, peak = 0, settled = 0, heap = 0, loadSeconds = 0;
        while (std::getline(lines, line)) {
            if (line.rfind("figures ", 0) == 0)
                std::sscanf(line.c_str(), "figures %lf %lf %lf %lf %lf", &idle, &peak, &settled, &heap, &loadSeconds);
        }
        if (idle < 0) {
            state.SkipWithError(("the measured process failed: " + outcome.output.substr(0, 2000)).c_str());
            return;
        }
        state.SetIterationTime(loadSeconds);
        state.counters["answer_MiB"] = answerLength / (1024.0 * 1024.0);
        state.counters["idle_MiB"] = idle;
        state.counters["peak_MiB"] = peak;
        state.counters["settled_MiB"] = settled;
        state.counters["heap_kept_MiB"] = heap;
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--network") return serveNetwork(argv[2], std::stoul(argv[3]));
    if (argc == 3 && std::string(argv[1]) == "--measure") return measureLoads(std::stoul(argv[2]));
    // "seats_one", "seats_four", "bids_one", ... ("bids": one seat of 32,000 bids).
    for (const char* shape : {"seats", "bids", "markup"}) {
        for (const std::size_t formats : {1, 4}) {
            const std::string name = std::string("answerMemory/") + shape + (formats == 1 ? "_one" : "_four");
            benchmark::RegisterBenchmark(name.c_str(), answerMemory, std::string(shape), formats)
                ->Iterations(1)
                ->UseManualTime()
                ->Unit(benchmark::kMillisecond);
        }
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
