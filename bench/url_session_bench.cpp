// Requests per second and client CPU per request through one URLSession, beside a bare libcurl
// multi client doing the same requests against the same loopback server. The server runs in a
// child process, so the process CPU time counted here is the client's alone.
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "Platform/Foundation/URLSession.h"
#include "testing/LoopbackServer.h"

namespace {

using namespace qor::platform;
using qor::testing::LoopbackServer;
using qor::testing::ScriptedResponse;

constexpr std::size_t kSequentialBatch = 1000;
constexpr std::size_t kConcurrentRound = 100;
constexpr long kConnectionsPerHost = 6;

std::string& serverURL() {
    static std::string url;
    return url;
}

// Forks the server before any thread exists and learns its port through a pipe.
pid_t startServerProcess() {
    int channel[2];
    if (pipe(channel) != 0) std::abort();
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        prctl(PR_SET_PDEATHSIG, SIGTERM);  // never outlive the benchmark
        auto server = LoopbackServer::makeHTTP({.threadCount = 64, .keepAlive = true});
        server->route("GET", "/ping", ScriptedResponse::text(200, R"({"status":"ok"})", "application/json"));
        const int port = server->port();
        if (write(channel[1], &port, sizeof port) != sizeof port) std::_Exit(1);
        close(channel[1]);
        while (true) pause();
    }
    close(channel[1]);
    int port = 0;
    if (read(channel[0], &port, sizeof port) != sizeof port) std::abort();
    close(channel[0]);
    serverURL() = "http://127.0.0.1:" + std::to_string(port) + "/ping";
    return child;
}

double processCPUSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& time) { return static_cast<double>(time.tv_sec) + time.tv_usec * 1e-6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Requests per second come from the real time; CPU per request from the whole process.
class CPUCounter {
public:
    explicit CPUCounter(benchmark::State& state) : state_(state), start_(processCPUSeconds()) {}
    void report(std::size_t requests) {
        const double used = processCPUSeconds() - start_;
        state_.SetItemsProcessed(static_cast<std::int64_t>(requests));
        state_.counters["cpu_us_per_request"] = used * 1e6 / static_cast<double>(requests > 0 ? requests : 1);
    }

private:
    benchmark::State& state_;
    double start_;
};

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

void runSession(benchmark::State& state, std::size_t batch, bool concurrent) {
    auto delegate = std::make_shared<CountingDelegate>();
    auto session = URLSession::make(URLSessionConfiguration{}, delegate);
    URLRequest request(URL::make(serverURL()));
    request.setValue("application/json", "Accept");
    std::size_t expected = 0;
    CPUCounter cpu(state);
    for (auto _ : state) {
        for (std::size_t i = 0; i < batch; ++i) {
            session->dataTask(request)->resume();
            ++expected;
            if (!concurrent) delegate->waitFor(expected);
        }
        delegate->waitFor(expected);
    }
    cpu.report(expected);
    if (delegate->failed() > 0) state.SkipWithError("some requests failed");
    session->invalidateAndCancel();
}

// The bare client: one multi handle kept for the run (so connections are reused), a fresh easy
// handle per request with the same header, the body collected, driven on the calling thread.
class BareClient {
public:
    BareClient() : multi_(curl_multi_init()) { headers_ = curl_slist_append(nullptr, "Accept: application/json"); }
    ~BareClient() {
        curl_multi_cleanup(multi_);
        curl_slist_free_all(headers_);
    }
    BareClient(const BareClient&) = delete;
    BareClient& operator=(const BareClient&) = delete;

    // Queues a request; at most kConnectionsPerHost are in libcurl at once (libcurl's own
    // per-host limit leaves the waiting ones stalled in this version), the rest start as
    // earlier ones finish.
    void add() {
        ++waiting_;
        startWaiting();
    }

    // Drives the multi handle until every added request is done.
    void finishAll() {
        while (inFlight_ > 0) {
            int running = 0;
            curl_multi_perform(multi_, &running);
            reap();
            if (inFlight_ > 0) curl_multi_poll(multi_, nullptr, 0, 1000, nullptr);
        }
    }

    std::size_t failed() const { return failed_; }

private:
    static std::size_t collect(char* data, std::size_t size, std::size_t count, void* context) {
        static_cast<std::string*>(context)->append(data, size * count);
        return size * count;
    }

    void startWaiting() {
        while (waiting_ > 0 && inFlight_ < kConnectionsPerHost) {
            --waiting_;
            ++inFlight_;
            CURL* easy = curl_easy_init();
            curl_easy_setopt(easy, CURLOPT_URL, serverURL().c_str());
            curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers_);
            curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
            curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, collect);
            curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body_);
            curl_multi_add_handle(multi_, easy);
        }
    }

    void reap() {
        int remaining = 0;
        while (CURLMsg* message = curl_multi_info_read(multi_, &remaining)) {
            if (message->msg != CURLMSG_DONE) continue;
            if (message->data.result != CURLE_OK) ++failed_;
            CURL* easy = message->easy_handle;
            curl_multi_remove_handle(multi_, easy);
            curl_easy_cleanup(easy);
            body_.clear();
            --inFlight_;
        }
        startWaiting();
    }

    CURLM* multi_;
    curl_slist* headers_ = nullptr;
    std::string body_;
    std::size_t failed_ = 0;
    long waiting_ = 0;
    long inFlight_ = 0;
};

void runBare(benchmark::State& state, std::size_t batch, bool concurrent) {
    BareClient client;
    std::size_t requests = 0;
    CPUCounter cpu(state);
    for (auto _ : state) {
        for (std::size_t i = 0; i < batch; ++i) {
            client.add();
            ++requests;
            if (!concurrent) client.finishAll();
        }
        client.finishAll();
    }
    cpu.report(requests);
    if (client.failed() > 0) state.SkipWithError("some requests failed");
}

void BM_SequentialGets(benchmark::State& state) { runSession(state, kSequentialBatch, false); }
void BM_BareCurlSequentialGets(benchmark::State& state) { runBare(state, kSequentialBatch, false); }
void BM_ConcurrentGets(benchmark::State& state) { runSession(state, kConcurrentRound, true); }
void BM_BareCurlConcurrentGets(benchmark::State& state) { runBare(state, kConcurrentRound, true); }

BENCHMARK(BM_SequentialGets)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BareCurlSequentialGets)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ConcurrentGets)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BareCurlConcurrentGets)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    const pid_t server = startServerProcess();
    curl_global_init(CURL_GLOBAL_DEFAULT);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);
    return 0;
}
