// The auction's own overhead: one banner request against five bid endpoints on loopback (four
// demand endpoints and the core) that all answer after the same fixed delay. The time that
// counts is from the request to its completion minus that delay: building the bid request,
// recording the auction events, encoding and posting five requests, decoding five answers and
// running the auction. Reported as manual time per auction; the CPU time of the whole process
// per auction is a counter. The engine prints one line per request on standard output (the
// anonymous id); filter it out when reading the figures. "caller_ms" is the median time the
// request holds the calling (main) thread before it returns: the requests go out during it.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <memory>
#include <set>
#include <vector>

#include "AdNetwork/AdNetworkApiClient.h"
#include "AdNetwork/PostBidRequest.h"
#include "AdNetwork/QOR.h"
#include "Platform/Foundation/Bundle.h"
#include "testing/MainLoopPump.h"
#include "testing/SimulatedAdNetwork.h"
#include "testing/TestAppHome.h"

namespace {

using namespace std::chrono;
using qor::testing::BidAnswer;
using qor::testing::SimulatedAdNetwork;

constexpr milliseconds kEndpointDelay{20};

double processCPUSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// The network and the started SDK, made once for every run.
struct Fixture {
    qor::testing::TestAppHome home{"qor-auction-bench"};
    std::unique_ptr<SimulatedAdNetwork> network;

    explicit Fixture(bool keepAlive) {
        qor::platform::Bundle::main()->setInfoDictionary(qor::platform::PlistDictionary{
            {"CFBundleIdentifier", "io.qor.bench"}, {"CFBundleShortVersionString", "1"}});
        network = SimulatedAdNetwork::start({.demandCount = 4, .keepAliveBidders = keepAlive});
        for (std::size_t i = 0; i < network->demandCount(); ++i) {
            network->demand(i).answer(BidAnswer::bid(1.0 + static_cast<double>(i)).after(kEndpointDelay));
        }
        network->core().answer(BidAnswer::bid(0.5).after(kEndpointDelay));
        network->serveContainer("bench-key", network->defaultContainer());
        qor::QOR::start(std::make_shared<qor::QOR::Config>("bench-analytics", "bench-key"));
        qor::testing::pumpMainUntil([] { return qor::QOR::adNetworkContainer().has_value(); });
    }
};

void auction(benchmark::State& state, bool keepAlive) {
    static Fixture* fixtures[2] = {nullptr, nullptr};  // kept to the end: workers may reach them
    if (!fixtures[keepAlive]) fixtures[keepAlive] = new Fixture(keepAlive);

    std::vector<double> overheads;
    std::vector<double> callerTimes;
    const double cpuStart = processCPUSeconds();
    for (auto _ : state) {
        bool done = false;
        bool won = false;
        const auto start = steady_clock::now();
        qor::AdNetworkApiClient::shared().requestBannerAd(SimulatedAdNetwork::bannerUnit, std::nullopt,
                                                          qor::AdType::banner, qor::AdRequest(),
                                                          [&](const qor::Result<qor::Bid>& result) {
                                                              done = true;
                                                              won = result.isSuccess();
                                                          });
        callerTimes.push_back(duration<double>(steady_clock::now() - start).count());
        qor::testing::pumpMainUntil([&] { return done; }, seconds(10));
        const auto overhead = duration<double>(steady_clock::now() - start - kEndpointDelay).count();
        if (!won) state.SkipWithError("the auction found no winner");
        overheads.push_back(overhead);
        state.SetIterationTime(std::max(overhead, 0.0));
    }
    std::sort(overheads.begin(), overheads.end());
    if (!overheads.empty()) {
        state.counters["median_overhead_ms"] = overheads[overheads.size() / 2] * 1e3;
        state.counters["p90_overhead_ms"] = overheads[overheads.size() * 9 / 10] * 1e3;
        std::nth_element(callerTimes.begin(), callerTimes.begin() + callerTimes.size() / 2, callerTimes.end());
        state.counters["caller_ms"] = callerTimes[callerTimes.size() / 2] * 1e3;
    }
    std::set<int> ports;
    for (const auto& request : fixtures[keepAlive]->network->core().server().requests())
        ports.insert(request.remotePort);
    state.counters["core_connections"] = static_cast<double>(ports.size());
    state.counters["cpu_ms_per_auction"] =
        (processCPUSeconds() - cpuStart) * 1e3 / static_cast<double>(std::max<std::size_t>(overheads.size(), 1));
}

// The synchronous share of one request on the caller's thread: the bid request and its body.
void bidRequestAssembly(benchmark::State& state) {
    for (auto _ : state) {
        auto request = qor::AdNetworkApiClient::shared().buildBidRequest(std::nullopt);
        benchmark::DoNotOptimize(qor::PostBidRequest("https://127.0.0.1/bid", request).parameters());
    }
}

}  // namespace

BENCHMARK(bidRequestAssembly)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(auction, keep_alive_bidders, true)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK_CAPTURE(auction, new_connection_each, false)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(3);

BENCHMARK_MAIN();
