// The memory a banner that refreshes for an app's whole life costs: 10,000 loads of a 100 KB
// page into one web view, and 10,000 winning bids with 100 KB of markup shown by one banner view
// (the view's side of a banner load: the ad page built and loaded, the close button revealed).
// A view keeps its current page only, so both should end where they began. Counters: the
// resident set and the heap in use after the loads, minus before them (MB). The program records
// nothing for the tests (testing/UIProbes is not linked in), as a shipped app.
//
// Also what checking an image at the pixel budget (4096x4096) costs, for each format: the
// read of its header and compressed data that decides whether the data holds an image.
#include <benchmark/benchmark.h>

#include <malloc.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <memory>
#include <string>

#include "AdNetwork/QOR.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/UIKit/UIImage.h"
#include "Platform/WebKit/WKWebView.h"
#include "Views/AdView.h"
#include "testing/MainLoopPump.h"
#include "testing/SimulatedAdNetwork.h"
#include "testing/TestAppHome.h"
#include "testing/TestImages.h"

namespace {

using namespace qor;

constexpr std::int64_t kLoads = 10000;
constexpr std::size_t kPageBytes = 100 * 1024;

double residentMB() {
    std::ifstream statm("/proc/self/statm");
    std::uint64_t size = 0;
    std::uint64_t resident = 0;
    statm >> size >> resident;
    return static_cast<double>(resident * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE))) / (1024.0 * 1024.0);
}

double heapMB() { return static_cast<double>(mallinfo2().uordblks) / (1024.0 * 1024.0); }

// A page of `kPageBytes` that differs from the one before it, as a new ad's would.
std::string page(std::int64_t index) {
    std::string text = "<div>" + std::to_string(index) + "</div>";
    text.resize(kPageBytes, 'x');
    return text;
}

// Runs `load` once per iteration after a warm-up one and reports what the loads kept.
template <class Load>
void measureLoads(benchmark::State& state, const Load& load) {
    load(-1);
    const double residentBefore = residentMB();
    const double heapBefore = heapMB();
    std::int64_t index = 0;
    for (auto _ : state) load(index++);
    state.counters["rss_growth_MB"] = residentMB() - residentBefore;
    state.counters["heap_kept_MB"] = heapMB() - heapBefore;
    state.counters["page_KB"] = static_cast<double>(kPageBytes) / 1024.0;
    state.SetItemsProcessed(state.iterations());
}

void BM_WebViewPageLoads(benchmark::State& state) {
    const auto webView = std::make_shared<platform::WKWebView>(platform::CGRect{}, nullptr);
    measureLoads(state, [&](std::int64_t index) {
        benchmark::DoNotOptimize(webView->loadHTMLString(page(index), std::nullopt));
    });
}
BENCHMARK(BM_WebViewPageLoads)->Iterations(kLoads)->Unit(benchmark::kMicrosecond);

// The SDK started against the simulated ad network, made once and kept to the end (workers may
// reach it while the process exits).
struct StartedSDK {
    testing::TestAppHome home{"qor-views-bench"};
    std::unique_ptr<testing::SimulatedAdNetwork> network = testing::SimulatedAdNetwork::start();

    StartedSDK() {
        platform::Bundle::main()->setInfoDictionary(
            platform::PlistDictionary{{"CFBundleIdentifier", "io.qor.bench"}, {"CFBundleShortVersionString", "1"}});
        network->serveContainer("bench-key", network->defaultContainer());
        QOR::start(std::make_shared<QOR::Config>("bench-analytics", "bench-key"));
        testing::pumpMainUntil([] { return QOR::adNetworkContainer().has_value(); }, std::chrono::seconds(20));
    }
};

void BM_BannerLoadsOnOneView(benchmark::State& state) {
    static const auto* sdk = new StartedSDK;
    if (!QOR::adNetworkContainer()) {
        state.SkipWithError("the SDK did not start against the simulated network");
        return;
    }
    (void)sdk;
    const auto view = AdView::make();
    view->setAdType(AdType::banner);
    view->setAdSize(AdSize::banner());
    view->setUnitID(testing::SimulatedAdNetwork::bannerUnit);
    measureLoads(state, [&](std::int64_t index) {
        const Bid bid("bid-" + std::to_string(index), "imp", 1.0F, page(index), "request");
        view->handleLoadResult(Result<Bid>::success(bid), AdSize::banner(), AdType::banner);
    });
    testing::pumpMainFor(std::chrono::milliseconds(10));
}
BENCHMARK(BM_BannerLoadsOnOneView)->Iterations(kLoads)->Unit(benchmark::kMicrosecond);

// One image at the budget on each side, made once per format.
const platform::Data& imageAtTheBudget(std::int64_t format) {
    constexpr int side = platform::UIImage::maxPixelsPerSide;
    static const platform::Data gif = testing::makeGIF(side, side);
    static const platform::Data png = testing::makePNG(side, side);
    static const platform::Data jpeg = testing::makeJPEG(side, side, true);
    return format == 0 ? gif : format == 1 ? png : jpeg;
}

void BM_ImageCheckAtTheBudget(benchmark::State& state) {
    const auto& data = imageAtTheBudget(state.range(0));
    state.SetLabel(state.range(0) == 0 ? "gif" : state.range(0) == 1 ? "png" : "progressive jpeg");
    for (auto _ : state) {
        const auto image = platform::UIImage::withData(data);
        if (!image) state.SkipWithError("the image was refused");
        benchmark::DoNotOptimize(image);
    }
    state.counters["MB"] = static_cast<double>(data.size()) / 1e6;
}
BENCHMARK(BM_ImageCheckAtTheBudget)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
