// Requests per second through one URLSession against a loopback server.
#include <benchmark/benchmark.h>

#include <condition_variable>
#include <mutex>

#include "Platform/Foundation/URLSession.h"
#include "testing/LoopbackServer.h"

namespace {

using namespace qor::platform;
using qor::testing::LoopbackServer;
using qor::testing::ScriptedResponse;

// Counts completions and bytes; the benchmark waits for a number of completions.
class CountingDelegate : public URLSessionDataDelegate {
public:
    void didReceiveData(URLSession&, URLSessionDataTask&, const Data& data) override {
        std::lock_guard lock(mutex_);
        bytes_ += data.size();
    }
    void didCompleteWithError(URLSession&, URLSessionTask&, std::optional<URLError> error) override {
        {
            std::lock_guard lock(mutex_);
            ++completed_;
            if (error) ++failed_;
        }
        changed_.notify_all();
    }
    void waitFor(std::size_t completions) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return completed_ >= completions; });
    }
    std::size_t failed() {
        std::lock_guard lock(mutex_);
        return failed_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t completed_ = 0;
    std::size_t failed_ = 0;
    std::size_t bytes_ = 0;
};

LoopbackServer& server() {
    static auto instance = [] {
        auto made = LoopbackServer::makeHTTP({.threadCount = 64, .keepAlive = true});
        made->route("GET", "/ping", ScriptedResponse::text(200, R"({"status":"ok"})", "application/json"));
        return made;
    }();
    return *instance;
}

void run(benchmark::State& state, std::size_t batch, bool concurrent) {
    auto delegate = std::make_shared<CountingDelegate>();
    auto session = URLSession::make(URLSessionConfiguration{}, delegate);
    URLRequest request(URL::make(server().url("/ping")));
    request.setValue("application/json", "Accept");
    std::size_t expected = 0;
    for (auto _ : state) {
        for (std::size_t i = 0; i < batch; ++i) {
            session->dataTask(request)->resume();
            ++expected;
            if (!concurrent) delegate->waitFor(expected);
        }
        delegate->waitFor(expected);
    }
    if (delegate->failed() > 0) state.SkipWithError("some requests failed");
    state.SetItemsProcessed(static_cast<std::int64_t>(expected));
    session->invalidateAndCancel();
}

void BM_SequentialGets(benchmark::State& state) { run(state, 1000, false); }
void BM_ConcurrentGets(benchmark::State& state) { run(state, 100, true); }

BENCHMARK(BM_SequentialGets)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ConcurrentGets)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
