// What one banner auction costs beside a bare libcurl client doing the same exchange. Five bid
// endpoints on loopback over TLS (four demand endpoints and the core) each answer exactly 20 ms
// after a request has arrived; everything above those 20 ms is the client's (and the loopback's)
// doing. Three clients take turns in one program (random interleaving keeps them fair):
// - "sdk": the app's route, an AdView with a delegate, loadAd, the main run loop pumped until the
//   delegate hears of the page;
// - "engine": the same auction asked of the engine directly, without the view;
// - "bare": libcurl multi posting the SDK's own bodies and headers to all five at once, each
//   answer parsed with nlohmann-json as it arrives, the highest price above the floor picked;
// - "hand-offs": the bare client behind the thread hand-offs the SDK makes and nothing else: the
//   main thread wakes an I/O thread running libcurl, which hands each answer to a worker thread
//   that parses it and hands its best bid to the main run loop, where the auction is decided. The
//   SDK beside it is what the SDK's own code costs; it beside the bare client what the hand-offs
//   cost on this machine.
// Each runs with kept-alive connections and with a new TLS connection per request: the endpoints
// then answer "Connection: close", and the bare client's handles may not reuse a connection
// either (they are kept from one auction to the next, so they may resume their TLS sessions).
//
// Each run is kAuctions auctions (one unmeasured first). The winner moves from endpoint to
// endpoint between auctions; every auction's winner is checked, and so is every body each
// endpoint read (the SDK's, up to their fresh ids, against the first auction's; the bare
// client's byte for byte). Counters, per auction:
// - overhead_ms / overhead_p90_ms: request to winner known, minus the 20 ms (median, p90);
// - out_ms: request to the last bid request read by an endpoint;
// - late_ms: the last answer's release minus its due time (the server's own lateness);
// - back_ms: the last answer released to winner known;
// - cpu_ms: CPU of every thread of the process; server_cpu_ms the endpoints' threads' share and
//   client_cpu_ms the rest;
// - connections: connections the endpoints saw per auction.
// After all runs the program prints, per connection mode, a table of each client beside the bare
// one: medians over the runs and the ratio with its min–max. Run it with
// --benchmark_repetitions=7 --benchmark_enable_random_interleaving=true. The engine prints a line
// per auction on standard output (the anonymous id); filter it out when reading the figures.
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <sys/resource.h>

#include <nlohmann/json.hpp>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "AdNetwork/AdNetworkApiClient.h"
#include "AdNetwork/BatchRecorder.h"
#include "AdNetwork/PostBidRequest.h"
#include "AdNetwork/QOR.h"
#include "Networking/Client/Session/Session.h"
#include "PairedFigures.h"
#include "Platform/Dispatch/DispatchQueue.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/UIKit/UIView.h"
#include "Views/AdView.h"
#include "testing/MainLoopPump.h"
#include "testing/SimulatedAdNetwork.h"
#include "testing/TestAppHome.h"

namespace {

using namespace std::chrono;
using Clock = steady_clock;
using qor::bench::PairedFigures;
using qor::testing::AnsweredBid;
using qor::testing::BidAnswer;
using qor::testing::BidEndpoint;
using qor::testing::SimulatedAdNetwork;

constexpr milliseconds kEndpointDelay{20};
constexpr std::size_t kAuctions = 200;
constexpr const char* kModeNames[] = {"keep-alive connections", "new connection per request"};
enum Mode { keepAlive = 0, newConnections = 1 };

double processCPUSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& time) { return static_cast<double>(time.tv_sec) + time.tv_usec * 1e-6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double inMilliseconds(Clock::duration span) { return duration<double, std::milli>(span).count(); }

// One request as the SDK sent it to an endpoint: what the bare client sends too.
struct BidPost {
    std::string url;
    std::string body;
    std::vector<std::string> headers;  // "Name: value", as the SDK sent them
};

// Hears when the page was handed to the view, or why the load failed.
class TimingDelegate : public qor::AdViewDelegate {
public:
    void adViewDidFailLoad(const std::shared_ptr<qor::AdView>&, const std::string& message) override {
        failure = message;
        heardAt = Clock::now();
    }
    void adView(const std::shared_ptr<qor::AdView>&) override { heardAt = Clock::now(); }

    std::optional<Clock::time_point> heardAt;
    std::optional<std::string> failure;
};

// The network and the started SDK, made once for every run and kept to the end (workers may
// reach them).
struct Fixture {
    qor::testing::TestAppHome home{"qor-auction-bench"};
    std::unique_ptr<SimulatedAdNetwork> network;
    std::vector<BidEndpoint*> endpoints;  // the demand endpoints, then the core
    double floor = 0;
    std::shared_ptr<TimingDelegate> delegate = std::make_shared<TimingDelegate>();
    std::shared_ptr<qor::platform::UIView> superview = std::make_shared<qor::platform::UIView>();
    std::shared_ptr<qor::AdView> view = qor::AdView::make();
    std::vector<std::string> sdkBodies;  // per endpoint, what the SDK's first auction sent
    std::vector<BidPost> posts;          // the same, as the bare client sends it

    Fixture() {
        qor::platform::Bundle::main()->setInfoDictionary(qor::platform::PlistDictionary{
            {"CFBundleIdentifier", "io.qor.bench"}, {"CFBundleShortVersionString", "1"}});
        network = SimulatedAdNetwork::start({.demandCount = 4, .keepAliveBidders = true});
        for (std::size_t i = 0; i < network->demandCount(); ++i) endpoints.push_back(&network->demand(i));
        endpoints.push_back(&network->core());
        for (auto* endpoint : endpoints) endpoint->recordAnswers(true);
        const auto container = network->defaultContainer();
        for (const auto& inventory : container.inventories) {
            if (inventory.id == SimulatedAdNetwork::bannerUnit) floor = inventory.floorPrice.value_or(0);
        }
        network->serveContainer("bench-key", container);
        qor::QOR::start(std::make_shared<qor::QOR::Config>("bench-analytics", "bench-key"));
        qor::testing::pumpMainUntil([] { return qor::QOR::adNetworkContainer().has_value(); }, seconds(20));
        view->setUnitID(SimulatedAdNetwork::bannerUnit);
        view->setAdType(qor::AdType::banner);
        view->setAdSize(qor::AdSize::banner());
        view->setDelegate(delegate);
        superview->addSubview(view);
    }

    // Scripts the answers of auction `round` and returns the endpoint that should win it: each
    // bids above the floor, the winner most, and the winner moves on every auction.
    std::string script(std::size_t round) {
        const std::size_t winner = round % endpoints.size();
        for (std::size_t i = 0; i < endpoints.size(); ++i) {
            const double price = i == winner ? 5.0 : 1.0 + 0.25 * static_cast<double>(i);
            endpoints[i]->answer(
                BidAnswer::bid(price, "<div class=\"ad\">" + endpoints[i]->name() + "</div>").after(kEndpointDelay));
        }
        return endpoints[winner]->name();
    }

    // The endpoint whose markup the text holds; empty when none.
    std::string winnerIn(const std::string& text) const {
        for (const auto* endpoint : endpoints) {
            if (text.find(">" + endpoint->name() + "<") != std::string::npos) return endpoint->name();
        }
        return {};
    }

    std::chrono::nanoseconds serverCPU() const {
        std::chrono::nanoseconds total{0};
        for (const auto* endpoint : endpoints) total += endpoint->servingCPUTime();
        return total;
    }

    // What each endpoint read since the last call, in endpoint order.
    std::vector<std::vector<AnsweredBid>> takeAnswers() {
        std::vector<std::vector<AnsweredBid>> answers;
        for (auto* endpoint : endpoints) answers.push_back(endpoint->takeAnswers());
        return answers;
    }
};

Fixture& fixture();
void capturePosts(Fixture& f);

// MARK: The clients. Each runs one auction and tells when the winner was known and who it is.

struct Outcome {
    Clock::time_point winnerKnown;
    std::string winner;  // empty when the auction failed
    std::string error;
};

Outcome sdkAuction() {
    auto& f = fixture();
    f.delegate->heardAt.reset();
    f.delegate->failure.reset();
    f.view->loadAd(qor::AdRequest());
    if (!qor::testing::pumpMainUntil([&] { return f.delegate->heardAt.has_value(); }, seconds(10))) {
        return {Clock::now(), {}, "the delegate heard nothing"};
    }
    if (f.delegate->failure) return {*f.delegate->heardAt, {}, *f.delegate->failure};
    const auto page = f.view->webView()->currentPage();
    return {*f.delegate->heardAt, page ? f.winnerIn(page->html) : "", {}};
}

Outcome engineAuction() {
    std::optional<Outcome> outcome;
    qor::AdNetworkApiClient::shared().requestBannerAd(
        SimulatedAdNetwork::bannerUnit, std::nullopt, qor::AdType::banner, qor::AdRequest(),
        [&](const qor::Result<qor::Bid>& result) {
            if (result.isSuccess()) {
                outcome = Outcome{Clock::now(), fixture().winnerIn(result.value().adMarkup.value_or("")), {}};
            } else {
                outcome = Outcome{Clock::now(), {}, result.error().errorDescription().value_or("failed")};
            }
        });
    if (!qor::testing::pumpMainUntil([&] { return outcome.has_value(); }, seconds(10))) {
        return {Clock::now(), {}, "the completion never came"};
    }
    return *outcome;
}

// libcurl multi on the calling thread: one handle per endpoint, kept from one auction to the
// next, all sent at once; each answer is parsed as it completes, and the highest bid above the
// floor wins. For new connections the handles may not reuse theirs.
class BareClient {
public:
    BareClient(const std::vector<BidPost>& posts, std::string caFile, double floor)
        : multi_(curl_multi_init()), caFile_(std::move(caFile)), floor_(floor), exchanges_(posts.size()) {
        // libcurl sizes its idle-connection cache by the transfers still in the multi handle: the
        // last of the five to finish would close another's connection.
        curl_multi_setopt(multi_, CURLMOPT_MAXCONNECTS, static_cast<long>(posts.size()));
        for (std::size_t i = 0; i < posts.size(); ++i) {
            auto& exchange = exchanges_[i];
            for (const auto& header : posts[i].headers)
                exchange.headers = curl_slist_append(exchange.headers, header.c_str());
            CURL* easy = exchange.easy = curl_easy_init();
            curl_easy_setopt(easy, CURLOPT_URL, posts[i].url.c_str());
            curl_easy_setopt(easy, CURLOPT_POSTFIELDS, posts[i].body.data());
            curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE, static_cast<long>(posts[i].body.size()));
            curl_easy_setopt(easy, CURLOPT_HTTPHEADER, exchange.headers);
            curl_easy_setopt(easy, CURLOPT_CAINFO, caFile_.c_str());
            curl_easy_setopt(easy, CURLOPT_CAPATH, nullptr);  // the SDK's trust set-up: this CA alone
            curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
            curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, collect);
            curl_easy_setopt(easy, CURLOPT_WRITEDATA, &exchange.answer);
            curl_easy_setopt(easy, CURLOPT_PRIVATE, &exchange);
        }
    }
    ~BareClient() {
        for (auto& exchange : exchanges_) {
            curl_easy_cleanup(exchange.easy);
            curl_slist_free_all(exchange.headers);
        }
        curl_multi_cleanup(multi_);
    }
    BareClient(const BareClient&) = delete;
    BareClient& operator=(const BareClient&) = delete;

    Outcome auction(bool newConnections) {
        double best = floor_;
        std::string winner;
        std::string error;
        exchange(newConnections, [&](std::string answer, std::string failure) {
            if (!failure.empty()) {
                error = std::move(failure);
                return;
            }
            pickBest(answer, best, winner);
        });
        return {Clock::now(), error.empty() ? winner : "", error};
    }

    // Posts to every endpoint at once and drives libcurl on the calling thread until each has
    // answered, handing each answer's text (or why the post failed) to `answered` as it completes.
    void exchange(bool newConnections, const std::function<void(std::string answer, std::string error)>& answered) {
        for (auto& exchange : exchanges_) start(exchange, newConnections);
        std::size_t running = exchanges_.size();
        while (running > 0) {
            int active = 0;
            curl_multi_perform(multi_, &active);
            int queued = 0;
            while (CURLMsg* message = curl_multi_info_read(multi_, &queued)) {
                if (message->msg != CURLMSG_DONE) continue;
                --running;
                CURL* easy = message->easy_handle;
                curl_multi_remove_handle(multi_, easy);
                long status = 0;
                curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
                Exchange* exchange = nullptr;
                curl_easy_getinfo(easy, CURLINFO_PRIVATE, &exchange);
                if (message->data.result != CURLE_OK || status != 200) {
                    answered({}, "a bid post failed: " + std::string(curl_easy_strerror(message->data.result)));
                } else {
                    answered(std::move(exchange->answer), {});
                }
            }
            if (running > 0) curl_multi_poll(multi_, nullptr, 0, 1000, nullptr);
        }
    }

    // Waits until woken (or a second has passed), between exchanges.
    void idle() { curl_multi_poll(multi_, nullptr, 0, 1000, nullptr); }
    // Ends idle() from another thread.
    void wake() { curl_multi_wakeup(multi_); }

    // The highest price in the answer above `best`, and its seat.
    static void pickBest(const std::string& text, double& best, std::string& winner) {
        const auto response = nlohmann::json::parse(text, nullptr, false);
        if (!response.is_object() || !response.contains("seatbid") || !response["seatbid"].is_array()) return;
        for (const auto& seat : response["seatbid"]) {
            if (!seat.is_object() || !seat.contains("bid") || !seat["bid"].is_array()) continue;
            for (const auto& bid : seat["bid"]) {
                if (!bid.is_object() || !bid.contains("price") || !bid["price"].is_number()) continue;
                const double price = bid["price"].get<double>();
                if (price > best && seat.contains("seat") && seat["seat"].is_string()) {
                    best = price;
                    winner = seat["seat"].get<std::string>();
                }
            }
        }
    }

    double floor() const { return floor_; }
    std::size_t endpointCount() const { return exchanges_.size(); }

private:
    struct Exchange {
        curl_slist* headers = nullptr;
        CURL* easy = nullptr;
        std::string answer;
    };

    static std::size_t collect(char* data, std::size_t size, std::size_t count, void* context) {
        static_cast<std::string*>(context)->append(data, size * count);
        return size * count;
    }

    void start(Exchange& exchange, bool newConnections) {
        curl_easy_setopt(exchange.easy, CURLOPT_FORBID_REUSE, newConnections ? 1L : 0L);
        exchange.answer.clear();
        curl_multi_add_handle(multi_, exchange.easy);
    }

    CURLM* multi_;
    std::string caFile_;
    double floor_;
    std::vector<Exchange> exchanges_;
};

BareClient& bareClient() {
    static auto* client =
        new BareClient(fixture().posts, fixture().network->certificate().caFilePath(), fixture().floor);
    return *client;
}

// The bare client's exchange on an I/O thread of its own, woken by the main thread; each answer
// goes to a worker thread through a condition variable, and the worker hands the answer's best bid
// to the main run loop, which knows the winner once every endpoint's bid is in.
class HandOffClient {
public:
    HandOffClient() : exchanges_(fixture().posts, fixture().network->certificate().caFilePath(), fixture().floor) {
        io_ = std::thread([this] { runExchanges(); });
        worker_ = std::thread([this] { runAnswers(); });
    }

    Outcome auction(bool newConnections) {
        struct Decision {
            std::size_t heard = 0;
            double best;
            std::string winner;
            std::string error;
            std::optional<Clock::time_point> known;
        };
        auto decision = std::make_shared<Decision>();
        decision->best = exchanges_.floor();
        {
            std::lock_guard lock(mutex_);
            answered_ = [decision, count = exchanges_.endpointCount()](std::string answer, std::string error) {
                // On the worker: the answer's best bid, then to the main run loop with it.
                double best = 0;
                std::string seat;
                if (error.empty()) BareClient::pickBest(answer, best, seat);
                qor::platform::DispatchQueue::main()->async(
                    [decision, count, best, seat = std::move(seat), error = std::move(error)] {
                        if (!error.empty()) decision->error = error;
                        if (!seat.empty() && best > decision->best) {
                            decision->best = best;
                            decision->winner = seat;
                        }
                        if (++decision->heard == count) decision->known = Clock::now();
                    });
            };
            newConnections_ = newConnections;
            starting_ = true;
        }
        exchanges_.wake();
        if (!qor::testing::pumpMainUntil([&] { return decision->known.has_value(); }, seconds(10))) {
            return {Clock::now(), {}, "not every answer came"};
        }
        return {*decision->known, decision->error.empty() ? decision->winner : "", decision->error};
    }

private:
    using Answered = std::function<void(std::string answer, std::string error)>;

    // The I/O thread: an exchange whenever the main thread asks for one.
    void runExchanges() {
        for (;;) {
            bool start = false;
            bool newConnections = false;
            Answered answered;
            {
                std::lock_guard lock(mutex_);
                start = std::exchange(starting_, false);
                newConnections = newConnections_;
                answered = answered_;
            }
            if (!start) {
                exchanges_.idle();  // a wake-up that came before the wait ends it at once
                continue;
            }
            exchanges_.exchange(newConnections, [&](std::string answer, std::string error) {
                {
                    std::lock_guard lock(mutex_);
                    answers_.push_back({answered, std::move(answer), std::move(error)});
                }
                answerReady_.notify_one();
            });
        }
    }

    // The worker: each answer to the auction it belongs to.
    void runAnswers() {
        std::unique_lock lock(mutex_);
        for (;;) {
            answerReady_.wait(lock, [&] { return !answers_.empty(); });
            auto answer = std::move(answers_.front());
            answers_.pop_front();
            lock.unlock();
            answer.answered(std::move(answer.text), std::move(answer.error));
            lock.lock();
        }
    }

    struct Answer {
        Answered answered;
        std::string text;
        std::string error;
    };

    BareClient exchanges_;
    std::mutex mutex_;  // guards starting_, newConnections_, answered_ and answers_
    std::condition_variable answerReady_;
    bool starting_ = false;
    bool newConnections_ = false;
    Answered answered_;
    std::deque<Answer> answers_;
    std::thread io_;
    std::thread worker_;
};

// Made once and kept to the end of the process: its threads wait for work meanwhile.
HandOffClient& handOffClient() {
    static auto* client = new HandOffClient();
    return *client;
}

// MARK: The run

std::string maskingIDs(const std::string& body) {
    static const std::regex uuid("[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}");
    return std::regex_replace(body, uuid, "<id>");
}

struct Round {
    Clock::time_point start;
    Outcome outcome;
    std::string expected;
    std::vector<std::vector<AnsweredBid>> answers;
};

// Why a run's auctions are not the comparison they should be; empty when they are.
std::string checkRounds(const std::vector<Round>& rounds, bool sameBytes) {
    const auto& sdkBodies = fixture().sdkBodies;
    for (const auto& round : rounds) {
        if (!round.outcome.error.empty()) return round.outcome.error;
        if (round.outcome.winner != round.expected) {
            return "the winner was '" + round.outcome.winner + "', not '" + round.expected + "'";
        }
        for (std::size_t i = 0; i < sdkBodies.size(); ++i) {
            if (round.answers[i].size() != 1) return fixture().endpoints[i]->name() + " did not read one request";
            const auto& body = round.answers[i].front().body;
            if (sameBytes ? body != sdkBodies[i] : maskingIDs(body) != maskingIDs(sdkBodies[i])) {
                return fixture().endpoints[i]->name() + " read another body than the SDK's first";
            }
        }
    }
    return {};
}

void report(benchmark::State& state, const std::vector<Round>& rounds, double cpuSeconds, double serverCPUSeconds,
            Mode mode, const char* client) {
    std::vector<double> overheads, outs, lates, backs;
    std::set<std::pair<std::size_t, int>> connections;
    for (const auto& round : rounds) {
        Clock::time_point lastRead{}, lastDue{}, lastAnswered{};
        for (std::size_t i = 0; i < round.answers.size(); ++i) {
            for (const auto& answer : round.answers[i]) {
                lastRead = std::max(lastRead, answer.received);
                lastDue = std::max(lastDue, answer.due);
                lastAnswered = std::max(lastAnswered, answer.answered);
                connections.insert({i, answer.remotePort});
            }
        }
        overheads.push_back(inMilliseconds(round.outcome.winnerKnown - round.start - kEndpointDelay));
        outs.push_back(inMilliseconds(lastRead - round.start));
        lates.push_back(inMilliseconds(lastAnswered - lastDue));
        backs.push_back(inMilliseconds(round.outcome.winnerKnown - lastAnswered));
    }
    const double auctions = static_cast<double>(rounds.size());
    std::map<std::string, double> figures{
        {"overhead_ms", PairedFigures::median(overheads)},
        {"overhead_p90_ms", PairedFigures::quantile(overheads, 0.9)},
        {"out_ms", PairedFigures::median(outs)},
        {"late_ms", PairedFigures::median(lates)},
        {"back_ms", PairedFigures::median(backs)},
        {"cpu_ms", cpuSeconds * 1e3 / auctions},
        {"server_cpu_ms", serverCPUSeconds * 1e3 / auctions},
        {"client_cpu_ms", (cpuSeconds - serverCPUSeconds) * 1e3 / auctions},
        {"connections", static_cast<double>(connections.size()) / auctions},
    };
    for (const auto& [name, value] : figures) state.counters[name] = value;
    PairedFigures::add(kModeNames[mode], client, figures);
}

// The SDK's work that an auction leaves behind (recording its events, posting them) is finished
// before the run's CPU is read, so that it counts here and not in the next run.
void settleSDK() {
    (void)qor::BatchRecorder::shared()->pendingCount();
    auto session = qor::Session::sharedInstance();
    qor::testing::pumpMainUntil([&] { return session->delegate()->taskCount() == 0; }, seconds(10));
}

void runAuctions(benchmark::State& state, Mode mode, const char* client, const std::function<Outcome()>& auction,
                 bool sameBytes) {
    auto& f = fixture();
    if (f.posts.empty()) capturePosts(f);
    for (auto* endpoint : f.endpoints) endpoint->closeConnections(mode == newConnections);
    // One unmeasured auction: connections from an earlier run may have been closed meanwhile.
    f.script(0);
    (void)auction();
    settleSDK();
    (void)f.takeAnswers();

    std::vector<Round> rounds;
    rounds.reserve(kAuctions);
    const double cpuStart = processCPUSeconds();
    const auto serverStart = f.serverCPU();
    for (auto _ : state) {
        Round round;
        round.expected = f.script(rounds.size() + 1);
        round.start = Clock::now();
        round.outcome = auction();
        state.SetIterationTime(duration<double>(round.outcome.winnerKnown - round.start - kEndpointDelay).count());
        round.answers = f.takeAnswers();
        rounds.push_back(std::move(round));
    }
    settleSDK();
    const double cpu = processCPUSeconds() - cpuStart;
    const double serverCPU = duration<double>(f.serverCPU() - serverStart).count();
    if (const auto problem = checkRounds(rounds, sameBytes); !problem.empty()) {
        state.SkipWithError(problem.c_str());
        return;
    }
    report(state, rounds, cpu, serverCPU, mode, client);
}

Fixture& fixture() {
    static auto* made = new Fixture();
    return *made;
}

// The SDK's first auction gives the bodies and headers the bare client sends.
void capturePosts(Fixture& f) {
    f.script(0);
    if (const auto outcome = sdkAuction(); !outcome.error.empty()) {
        std::fprintf(stderr, "the first auction failed: %s\n", outcome.error.c_str());
        std::abort();
    }
    settleSDK();
    const auto answers = f.takeAnswers();
    for (std::size_t i = 0; i < f.endpoints.size(); ++i) {
        const auto requests = f.endpoints[i]->server().requests();
        if (answers[i].size() != 1 || requests.empty()) std::abort();
        f.sdkBodies.push_back(answers[i].front().body);
        BidPost post{f.endpoints[i]->url(), f.sdkBodies.back(), {}};
        for (const auto& [name, value] : requests.back().headers) {
            if (name != "Host" && name != "Content-Length" && name != "Connection")
                post.headers.push_back(name + ": " + value);
        }
        // The SDK takes out libcurl's "Expect: 100-continue"; the same wire needs the same.
        post.headers.push_back("Expect:");
        f.posts.push_back(std::move(post));
    }
}

void sdk(benchmark::State& state, Mode mode) { runAuctions(state, mode, "sdk", sdkAuction, false); }
void engine(benchmark::State& state, Mode mode) { runAuctions(state, mode, "engine", engineAuction, false); }
void handOffs(benchmark::State& state, Mode mode) {
    runAuctions(
        state, mode, "hand-offs", [mode] { return handOffClient().auction(mode == newConnections); }, true);
}
void bare(benchmark::State& state, Mode mode) {
    runAuctions(
        state, mode, "bare", [mode] { return bareClient().auction(mode == newConnections); }, true);
}

// The synchronous share of one request on the caller's thread: the bid request and its body.
void bidRequestAssembly(benchmark::State& state) {
    for (auto _ : state) {
        auto request = qor::AdNetworkApiClient::shared().buildBidRequest(std::nullopt);
        benchmark::DoNotOptimize(qor::PostBidRequest("https://127.0.0.1/bid", request).encodedJSONBody());
    }
}

template <typename Function>
void registerAuction(const char* name, Function function, Mode mode) {
    benchmark::RegisterBenchmark(name, [function, mode](benchmark::State& state) { function(state, mode); })
        ->Iterations(kAuctions)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
}

}  // namespace

int main(int argc, char** argv) {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    benchmark::RegisterBenchmark("bidRequestAssembly", bidRequestAssembly)->Unit(benchmark::kMicrosecond);
    registerAuction("auction/sdk/keep_alive", sdk, keepAlive);
    registerAuction("auction/engine/keep_alive", engine, keepAlive);
    registerAuction("auction/bare/keep_alive", bare, keepAlive);
    registerAuction("auction/hand-offs/keep_alive", handOffs, keepAlive);
    registerAuction("auction/sdk/new_connection_each", sdk, newConnections);
    registerAuction("auction/engine/new_connection_each", engine, newConnections);
    registerAuction("auction/bare/new_connection_each", bare, newConnections);
    registerAuction("auction/hand-offs/new_connection_each", handOffs, newConnections);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    const std::vector<qor::bench::FigureName> figures{
        {"overhead_ms", "overhead above the 20 ms, median (ms)"},
        {"overhead_p90_ms", "overhead, p90 (ms)"},
        {"cpu_ms", "CPU per auction, all threads (ms)"},
        {"client_cpu_ms", "CPU per auction, endpoints' threads left out (ms)"},
        {"out_ms", "request -> last bid request read (ms)"},
        {"late_ms", "server lateness (ms)"},
        {"back_ms", "last answer sent -> winner known (ms)"},
        {"connections", "connections per auction"},
    };
    for (const char* mode : kModeNames) {
        PairedFigures::print(mode, "sdk", "bare", figures);
        PairedFigures::print(mode, "engine", "bare", figures);
        PairedFigures::print(mode, "hand-offs", "bare", figures);
        PairedFigures::print(mode, "sdk", "hand-offs", figures);
    }
    return 0;
}
