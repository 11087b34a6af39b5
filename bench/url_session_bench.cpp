// Requests per second and client CPU per request through one URLSession, beside a bare libcurl
// multi client doing the same requests against the same loopback server: one after another,
// 100 at once at most 6 per host, and 100 at once without a per-host limit. The server runs in a
// child process, so the process CPU time counted here is the client's alone; it counts the
// connections each run opened (the client ports it saw). Each run is 2,000 requests. After all
// runs the program prints a table per pattern, the session beside the bare client, with the
// ratio's min–max over the runs (--benchmark_repetitions=7
// --benchmark_enable_random_interleaving=true).
//
// For sequential GETs a third client, "hand-offs", is the bare client behind the thread hand-offs
// the session makes on every request (the caller wakes an I/O thread running libcurl, which hands
// the completion to a worker thread, which tells the caller) and nothing else: the session beside
// it is what the session's own code costs, it beside the bare client what the hand-offs cost.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "PairedFigures.h"
#include "Platform/Net/URLSession.h"
#include "testing/LoopbackServer.h"

namespace {

using namespace qor::platform;
using qor::bench::PairedFigures;
using qor::testing::LoopbackServer;
using qor::testing::RecordedRequest;
using qor::testing::ScriptedResponse;

constexpr std::size_t kSequentialBatch = 1000;
constexpr std::size_t kConcurrentRound = 100;
constexpr long kConnectionsPerHost = 6;
constexpr std::size_t kRequestsPerRun = 2000;
constexpr const char* kPatternNames[] = {"sequential GETs", "100 concurrent GETs, 6 per host",
                                         "100 concurrent GETs, no per-host limit"};
enum Pattern { sequential = 0, concurrentLimited = 1, concurrentUnlimited = 2 };

std::string& serverURL() {
    static std::string url;
    return url;
}

// The test server listens with a queue of 5 pending connections: 100 clients connecting at once
// would mostly wait for their handshakes to be retransmitted. Listening again on the same socket
// only resizes its queue.
void widenListenQueue(int port) {
    for (int descriptor = 0; descriptor < 1024; ++descriptor) {
        sockaddr_in address{};
        socklen_t length = sizeof address;
        int listening = 0;
        socklen_t flagLength = sizeof listening;
        if (getsockname(descriptor, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
            address.sin_family != AF_INET || ntohs(address.sin_port) != port ||
            getsockopt(descriptor, SOL_SOCKET, SO_ACCEPTCONN, &listening, &flagLength) != 0 || !listening) {
            continue;
        }
        if (listen(descriptor, SOMAXCONN) != 0) std::_Exit(1);
        return;
    }
    std::_Exit(1);
}

// Forks the server before any thread exists and learns its port through a pipe.
pid_t startServerProcess() {
    int channel[2];
    if (pipe(channel) != 0) std::abort();
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        prctl(PR_SET_PDEATHSIG, SIGTERM);  // never outlive the benchmark
        auto server = LoopbackServer::makeHTTP({.threadCount = 512, .keepAlive = true});
        // The client ports seen since the last "/connections", which answers their count.
        auto* ports = new std::set<int>;
        auto* portsMutex = new std::mutex;
        const auto pong = ScriptedResponse::text(200, R"({"status":"ok"})", "application/json");
        server->route("GET", "/ping", [=](const RecordedRequest& request) {
            std::lock_guard lock(*portsMutex);
            ports->insert(request.remotePort);
            return pong;
        });
        server->route("GET", "/connections", [=](const RecordedRequest&) {
            std::lock_guard lock(*portsMutex);
            const auto count = ports->size();
            ports->clear();
            return ScriptedResponse::text(200, std::to_string(count));
        });
        const int port = server->port();
        widenListenQueue(port);
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

std::size_t collectInto(char* data, std::size_t size, std::size_t count, void* context) {
    static_cast<std::string*>(context)->append(data, size * count);
    return size * count;
}

// The bare clients' request: a fresh easy handle with the same header, its body collected.
void addGet(CURLM* multi, curl_slist* headers, std::string& body) {
    CURL* easy = curl_easy_init();
    curl_easy_setopt(easy, CURLOPT_URL, serverURL().c_str());
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, collectInto);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body);
    curl_multi_add_handle(multi, easy);
}

// The connections the server saw since the last call.
double connectionsSinceLastCall() {
    std::string answer;
    CURL* easy = curl_easy_init();
    const std::string url = serverURL().substr(0, serverURL().rfind('/')) + "/connections";
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, collectInto);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &answer);
    const bool done = curl_easy_perform(easy) == CURLE_OK;
    curl_easy_cleanup(easy);
    return done ? std::strtod(answer.c_str(), nullptr) : -1;
}

double processCPUSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& time) { return static_cast<double>(time.tv_sec) + time.tv_usec * 1e-6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Requests per second come from the real time; CPU per request from the whole process;
// connections from the server. Each run's figures also go to the tables printed at the end.
class CPUCounter {
public:
    CPUCounter(benchmark::State& state, Pattern pattern, const char* client)
        : state_(state), pattern_(pattern), client_(client) {
        (void)connectionsSinceLastCall();
        start_ = processCPUSeconds();
        wallStart_ = std::chrono::steady_clock::now();
    }
    void report(std::size_t requests) {
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart_).count();
        const double used = processCPUSeconds() - start_;
        const double count = static_cast<double>(requests > 0 ? requests : 1);
        state_.SetItemsProcessed(static_cast<std::int64_t>(requests));
        std::map<std::string, double> figures{
            {"us_per_request", wall * 1e6 / count},
            {"cpu_us_per_request", used * 1e6 / count},
            {"connections_per_2000", connectionsSinceLastCall() * 2000 / count},
        };
        for (const auto& [name, value] : figures) state_.counters[name] = value;
        PairedFigures::add(kPatternNames[pattern_], client_, std::move(figures));
    }

private:
    benchmark::State& state_;
    Pattern pattern_;
    const char* client_;
    double start_ = 0;
    std::chrono::steady_clock::time_point wallStart_;
};

// Completions counted as they are told from any thread; the benchmark waits for a number of them.
class CompletionCount {
public:
    void add(bool failed) {
        {
            std::lock_guard lock(mutex_);
            ++completed_;
            if (failed) ++failed_;
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
};

// Counts completions and bytes.
class CountingDelegate : public URLSessionDataDelegate, public CompletionCount {
public:
    void didReceiveData(URLSession&, URLSessionDataTask&, const Data& data) override {
        bytes_.fetch_add(data.size(), std::memory_order_relaxed);
    }
    void didCompleteWithError(URLSession&, URLSessionTask&, std::optional<URLError> error) override {
        add(error.has_value());
    }

private:
    std::atomic<std::size_t> bytes_{0};
};

void runSession(benchmark::State& state, Pattern pattern) {
    const bool concurrent = pattern != sequential;
    const std::size_t batch = concurrent ? kConcurrentRound : kSequentialBatch;
    URLSessionConfiguration configuration;
    if (pattern == concurrentUnlimited) configuration.httpMaximumConnectionsPerHost = 0;
    auto delegate = std::make_shared<CountingDelegate>();
    auto session = URLSession::make(configuration, delegate);
    URLRequest request(URL::make(serverURL()));
    request.setValue("application/json", "Accept");
    std::size_t expected = 0;
    CPUCounter cpu(state, pattern, "session");
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
    // At most `connectionsPerHost` requests in libcurl at once; zero or less: no limit.
    explicit BareClient(long connectionsPerHost)
        : multi_(curl_multi_init()), limit_(connectionsPerHost > 0 ? connectionsPerHost : LONG_MAX) {
        headers_ = curl_slist_append(nullptr, "Accept: application/json");
    }
    ~BareClient() {
        curl_multi_cleanup(multi_);
        curl_slist_free_all(headers_);
    }
    BareClient(const BareClient&) = delete;
    BareClient& operator=(const BareClient&) = delete;

    // Queues a request; at most the limit are in libcurl at once (libcurl's own
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
    void startWaiting() {
        while (waiting_ > 0 && inFlight_ < limit_) {
            --waiting_;
            ++inFlight_;
            addGet(multi_, headers_, body_);
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
    long limit_;
    curl_slist* headers_ = nullptr;
    std::string body_;
    std::size_t failed_ = 0;
    long waiting_ = 0;
    long inFlight_ = 0;
};

void runBare(benchmark::State& state, Pattern pattern) {
    const bool concurrent = pattern != sequential;
    const std::size_t batch = concurrent ? kConcurrentRound : kSequentialBatch;
    BareClient client(pattern == concurrentUnlimited ? 0 : kConnectionsPerHost);
    std::size_t requests = 0;
    CPUCounter cpu(state, pattern, "bare");
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

// The bare client's requests on an I/O thread of their own, woken by the caller through
// curl_multi_wakeup; each completion goes to a worker thread through a condition variable, and the
// worker tells the waiting caller through another, as the session's delegate queue does.
class HandOffClient {
public:
    HandOffClient() : multi_(curl_multi_init()) {
        headers_ = curl_slist_append(nullptr, "Accept: application/json");
        io_ = std::thread([this] { runTransfers(); });
        worker_ = std::thread([this] { runCompletions(); });
    }
    ~HandOffClient() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        curl_multi_wakeup(multi_);
        completionsChanged_.notify_all();
        io_.join();
        worker_.join();
        curl_multi_cleanup(multi_);
        curl_slist_free_all(headers_);
    }
    HandOffClient(const HandOffClient&) = delete;
    HandOffClient& operator=(const HandOffClient&) = delete;

    void get() {
        {
            std::lock_guard lock(mutex_);
            ++posted_;
        }
        curl_multi_wakeup(multi_);
    }
    void waitFor(std::size_t completions) { done_.waitFor(completions); }
    std::size_t failed() { return done_.failed(); }

private:
    // The I/O thread: starts what was posted, drives libcurl, hands completions on.
    void runTransfers() {
        for (;;) {
            std::size_t starting = 0;
            {
                std::lock_guard lock(mutex_);
                if (stopping_) break;
                starting = std::exchange(posted_, 0);
            }
            for (; starting > 0; --starting) {
                addGet(multi_, headers_, body_);
            }
            int running = 0;
            curl_multi_perform(multi_, &running);
            int remaining = 0;
            while (CURLMsg* message = curl_multi_info_read(multi_, &remaining)) {
                if (message->msg != CURLMSG_DONE) continue;
                const bool failed = message->data.result != CURLE_OK;
                curl_multi_remove_handle(multi_, message->easy_handle);
                curl_easy_cleanup(message->easy_handle);
                body_.clear();
                {
                    std::lock_guard lock(mutex_);
                    completions_.push_back(failed);
                }
                completionsChanged_.notify_one();
            }
            curl_multi_poll(multi_, nullptr, 0, 1000, nullptr);
        }
    }

    // The worker: tells the caller of each completion.
    void runCompletions() {
        std::unique_lock lock(mutex_);
        for (;;) {
            completionsChanged_.wait(lock, [&] { return stopping_ || !completions_.empty(); });
            if (completions_.empty()) return;
            const bool failed = completions_.front();
            completions_.pop_front();
            lock.unlock();
            done_.add(failed);
            lock.lock();
        }
    }

    CURLM* multi_;
    curl_slist* headers_ = nullptr;
    std::string body_;  // I/O thread only

    std::mutex mutex_;  // guards posted_, completions_ and stopping_
    std::condition_variable completionsChanged_;
    std::size_t posted_ = 0;
    std::deque<bool> completions_;  // failed or not, in order
    bool stopping_ = false;

    CompletionCount done_;

    std::thread io_;
    std::thread worker_;
};

void runHandOffs(benchmark::State& state) {
    HandOffClient client;
    std::size_t expected = 0;
    CPUCounter cpu(state, sequential, "hand-offs");
    for (auto _ : state) {
        for (std::size_t i = 0; i < kSequentialBatch; ++i) {
            client.get();
            client.waitFor(++expected);
        }
    }
    cpu.report(expected);
    if (client.failed() > 0) state.SkipWithError("some requests failed");
}

void BM_SequentialGets(benchmark::State& state) { runSession(state, sequential); }
void BM_HandOffSequentialGets(benchmark::State& state) { runHandOffs(state); }
void BM_BareCurlSequentialGets(benchmark::State& state) { runBare(state, sequential); }
void BM_ConcurrentGets(benchmark::State& state) { runSession(state, concurrentLimited); }
void BM_BareCurlConcurrentGets(benchmark::State& state) { runBare(state, concurrentLimited); }
void BM_ConcurrentGetsNoHostLimit(benchmark::State& state) { runSession(state, concurrentUnlimited); }
void BM_BareCurlConcurrentGetsNoHostLimit(benchmark::State& state) { runBare(state, concurrentUnlimited); }

constexpr auto kSequentialRounds = static_cast<benchmark::IterationCount>(kRequestsPerRun / kSequentialBatch);
constexpr auto kConcurrentRounds = static_cast<benchmark::IterationCount>(kRequestsPerRun / kConcurrentRound);
BENCHMARK(BM_SequentialGets)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(kSequentialRounds);
BENCHMARK(BM_BareCurlSequentialGets)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(kSequentialRounds);
BENCHMARK(BM_HandOffSequentialGets)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(kSequentialRounds);
BENCHMARK(BM_ConcurrentGets)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(kConcurrentRounds);
BENCHMARK(BM_BareCurlConcurrentGets)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(kConcurrentRounds);
BENCHMARK(BM_ConcurrentGetsNoHostLimit)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(kConcurrentRounds);
BENCHMARK(BM_BareCurlConcurrentGetsNoHostLimit)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(kConcurrentRounds);

}  // namespace

int main(int argc, char** argv) {
    const pid_t server = startServerProcess();
    curl_global_init(CURL_GLOBAL_DEFAULT);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const std::vector<qor::bench::FigureName> figures{{"us_per_request", "time per request (us)"},
                                                      {"cpu_us_per_request", "CPU per request (us)"},
                                                      {"connections_per_2000", "connections per 2,000 requests"}};
    for (const char* pattern : kPatternNames) PairedFigures::print(pattern, "session", "bare", figures);
    PairedFigures::print(kPatternNames[sequential], "hand-offs", "bare", figures);
    PairedFigures::print(kPatternNames[sequential], "session", "hand-offs", figures);
    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);
    return 0;
}
