#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <future>
#include <map>
#include <mutex>
#include <random>
#include <thread>

#include "Platform/Dispatch/OperationQueue.h"
#include "Platform/Foundation/HTTPURLResponse.h"
#include "Platform/Net/RemoteReach.h"
#include "Platform/Net/URLSession.h"
#include "testing/LoopbackServer.h"
#include "testing/ScopedEnvironment.h"
#include "testing/TempDirectory.h"
#include "testing/TestCertificate.h"
#include "testing/WriterlessFIFO.h"

namespace qor::platform {
namespace {

using namespace std::chrono_literals;
using testing::LoopbackServer;
using testing::ResponseGate;
using testing::ScriptedResponse;

// Records every event with the thread facts a test wants to check.
class RecordingDelegate : public URLSessionDataDelegate {
public:
    struct Completion {
        std::optional<URLError> error;
        URLSessionTask::State stateInside;
        std::shared_ptr<URLResponse> response;
        bool onDelegateQueue;
    };

    explicit RecordingDelegate(std::shared_ptr<OperationQueue> queue = nullptr) : queue_(std::move(queue)) {}

    void didReceiveData(URLSession& session, URLSessionDataTask& task, const Data& data) override {
        std::lock_guard lock(mutex_);
        chunks_[task.taskIdentifier()].push_back(data);
        events_[task.taskIdentifier()].push_back("data");
        offQueueEvents_ += session.delegateQueue()->isCurrent() ? 0 : 1;
    }

    void didCompleteWithError(URLSession& session, URLSessionTask& task, std::optional<URLError> error) override {
        {
            std::lock_guard lock(mutex_);
            completions_[task.taskIdentifier()].push_back(
                {error, task.state(), task.response(), session.delegateQueue()->isCurrent()});
            events_[task.taskIdentifier()].push_back("complete");
        }
        changed_.notify_all();
    }

    bool waitForCompletion(const URLSessionTask& task, std::chrono::milliseconds timeout = 5s) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return completions_.count(task.taskIdentifier()) > 0; });
    }

    Completion completion(const URLSessionTask& task) {
        std::lock_guard lock(mutex_);
        return completions_.at(task.taskIdentifier()).front();
    }

    std::size_t completionCount(const URLSessionTask& task) {
        std::lock_guard lock(mutex_);
        auto found = completions_.find(task.taskIdentifier());
        return found == completions_.end() ? 0 : found->second.size();
    }

    std::vector<Data> chunks(const URLSessionTask& task) {
        std::lock_guard lock(mutex_);
        return chunks_[task.taskIdentifier()];
    }

    Data body(const URLSessionTask& task) {
        Data whole;
        for (const auto& chunk : chunks(task)) whole.insert(whole.end(), chunk.begin(), chunk.end());
        return whole;
    }

    std::vector<std::string> events(const URLSessionTask& task) {
        std::lock_guard lock(mutex_);
        return events_[task.taskIdentifier()];
    }

    int offQueueEvents() {
        std::lock_guard lock(mutex_);
        return offQueueEvents_;
    }

private:
    std::shared_ptr<OperationQueue> queue_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<std::int64_t, std::vector<Data>> chunks_;
    std::map<std::int64_t, std::vector<std::string>> events_;
    std::map<std::int64_t, std::vector<Completion>> completions_;
    int offQueueEvents_ = 0;
};

// The outcome of a completion-handler task, waited for.
struct HandlerResult {
    std::mutex mutex;
    std::condition_variable changed;
    bool done = false;
    std::optional<Data> data;
    std::shared_ptr<URLResponse> response;
    std::optional<URLError> error;
    int calls = 0;

    URLSessionCompletionHandler handler() {
        return [this](std::optional<Data> data, std::shared_ptr<URLResponse> response, std::optional<URLError> error) {
            std::lock_guard lock(mutex);
            this->data = std::move(data);
            this->response = std::move(response);
            this->error = std::move(error);
            ++calls;
            done = true;
            changed.notify_all();
        };
    }

    bool wait(std::chrono::milliseconds timeout = 5s) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, timeout, [&] { return done; });
    }
};

URL urlOf(const std::string& text) { return URL::make(text).value(); }

std::shared_ptr<HTTPURLResponse> httpResponse(const std::shared_ptr<URLResponse>& response) {
    return std::dynamic_pointer_cast<HTTPURLResponse>(response);
}

// The names of the fields a request arrived with, less the two the transport must add.
std::vector<std::string> sentFieldNames(const testing::RecordedRequest& request) {
    std::vector<std::string> names;
    for (const auto& [name, value] : request.headers) {
        if (!net::headerNamesEqual(name, "Host") && !net::headerNamesEqual(name, "Content-Length")) {
            std::string lower;
            for (char c : name) lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
            names.push_back(lower);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

class URLSessionTests : public ::testing::Test {
protected:
    URLSessionConfiguration plainConfiguration() {
        URLSessionConfiguration configuration;  // no CA file or routing from the environment
        return configuration;
    }

    std::unique_ptr<LoopbackServer> server = LoopbackServer::makeHTTP();
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
    std::shared_ptr<URLSession> session = URLSession::make(plainConfiguration(), delegate);
};

TEST_F(URLSessionTests, PostSendsExactlyTheRequestsHeadersAndBody) {
    server->route("POST", "/bid", ScriptedResponse::text(201, R"({"ok":true})", "application/json"));
    const std::string json = R"({"id":"a1","imp":[{"w":320,"h":50}],"note":"caf\u00e9 & co"})";
    URLRequest request(urlOf(server->url("/bid?x=1")), URLRequestCachePolicy::reloadIgnoringLocalCacheData, 30);
    request.setHTTPMethod("POST");
    request.setValue("application/json", "Accept");
    request.setValue("private, no-store, no-cache, must-revalidate", "Cache-Control");
    request.setValue("app/1.0 QOR SDK /0.1.19", "User-Agent");
    request.setValue("text/plain", "Content-Type");
    request.setHTTPBody(dataFromString(json));

    auto task = session->dataTask(request);
    EXPECT_EQ(task->state(), URLSessionTask::State::suspended);
    task->resume();
    ASSERT_TRUE(delegate->waitForCompletion(*task));

    auto recorded = server->requests();
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_EQ(recorded[0].method, "POST");
    EXPECT_EQ(recorded[0].path, "/bid");
    EXPECT_EQ(recorded[0].query, "x=1");
    EXPECT_EQ(recorded[0].bodyString(), json);
    EXPECT_EQ(recorded[0].header("Content-Length"), std::to_string(json.size()));
    EXPECT_EQ(recorded[0].header("Content-Type"), "text/plain");
    EXPECT_EQ(sentFieldNames(recorded[0]),
              (std::vector<std::string>{"accept", "cache-control", "content-type", "user-agent"}));

    auto completion = delegate->completion(*task);
    EXPECT_FALSE(completion.error);
    EXPECT_TRUE(completion.onDelegateQueue);
    EXPECT_EQ(delegate->offQueueEvents(), 0);
    auto response = httpResponse(task->response());
    ASSERT_TRUE(response);
    EXPECT_EQ(response->statusCode(), 201);
    EXPECT_EQ(response->mimeType(), "application/json");
    EXPECT_EQ(stringFromData(delegate->body(*task)), R"({"ok":true})");
}

TEST_F(URLSessionTests, RequestsWithoutBodyOrFieldsSendNoneOfTheTransportsDefaults) {
    server->route("DELETE", "/item", ScriptedResponse::text(204, ""));
    URLRequest get(urlOf(server->url("/nothing")));
    URLRequest remove(urlOf(server->url("/item")));
    remove.setHTTPMethod("DELETE");
    URLRequest emptyPost(urlOf(server->url("/nothing")));
    emptyPost.setHTTPMethod("POST");
    for (const auto& request : {get, remove, emptyPost}) {
        auto task = session->dataTask(request);
        task->resume();
        ASSERT_TRUE(delegate->waitForCompletion(*task));
        EXPECT_FALSE(delegate->completion(*task).error);
    }
    auto recorded = server->requests();
    ASSERT_EQ(recorded.size(), 3u);
    EXPECT_EQ(recorded[0].method, "GET");
    EXPECT_EQ(recorded[1].method, "DELETE");
    EXPECT_EQ(recorded[2].method, "POST");
    EXPECT_EQ(recorded[2].header("Content-Length"), "0");
    for (const auto& request : recorded) EXPECT_TRUE(sentFieldNames(request).empty()) << request.method;
}

TEST_F(URLSessionTests, UploadStreamsTheFileWithItsExactLength) {
    testing::TempDirectory folder;
    Data bytes(600'000);
    std::mt19937 random(7);
    for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random());
    auto path = folder.write("batch 1.json", stringFromData(bytes));
    server->route("POST", "/collect", ScriptedResponse::text(200, "stored"));

    URLRequest request(urlOf(server->url("/collect")));
    request.setHTTPMethod("POST");
    request.setValue("text/plain", "Content-Type");
    auto task = session->uploadTask(request, URL::fileURL(path.string()));
    task->resume();
    ASSERT_TRUE(delegate->waitForCompletion(*task));
    EXPECT_FALSE(delegate->completion(*task).error);

    auto recorded = server->requests();
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_EQ(recorded[0].method, "POST");
    EXPECT_EQ(recorded[0].header("Content-Length"), "600000");
    EXPECT_EQ(recorded[0].header("Expect"), std::nullopt);
    EXPECT_EQ(recorded[0].header("Transfer-Encoding"), std::nullopt);
    EXPECT_EQ(recorded[0].header("Content-Type"), "text/plain");
    EXPECT_TRUE(recorded[0].body == bytes);
    EXPECT_EQ(stringFromData(delegate->body(*task)), "stored");

    // Without a Content-Type of its own the upload carries none (no form type).
    URLRequest bare(urlOf(server->url("/collect")));
    bare.setHTTPMethod("POST");
    auto second = session->uploadTask(bare, URL::fileURL(path.string()));
    second->resume();
    ASSERT_TRUE(delegate->waitForCompletion(*second));
    ASSERT_EQ(server->requestCount(), 2u);
    EXPECT_EQ(server->requests()[1].header("Content-Type"), std::nullopt);
    EXPECT_TRUE(server->requests()[1].body == bytes);
}

TEST_F(URLSessionTests, UploadOfAFileThatCannotBeReadFailsWithoutSending) {
    testing::TempDirectory folder;
    URLRequest request(urlOf(server->url("/collect")));
    request.setHTTPMethod("POST");
    auto missing = session->uploadTask(request, URL::fileURL(folder.file("gone.json").string()));
    auto directory = session->uploadTask(request, URL::fileURL(folder.path().string(), true));
    missing->resume();
    directory->resume();
    ASSERT_TRUE(delegate->waitForCompletion(*missing));
    ASSERT_TRUE(delegate->waitForCompletion(*directory));
    ASSERT_TRUE(delegate->completion(*missing).error);
    EXPECT_EQ(delegate->completion(*missing).error->code(), URLError::Code::fileDoesNotExist);
    ASSERT_TRUE(delegate->completion(*directory).error);
    EXPECT_EQ(server->requestCount(), 0u);
}

TEST_F(URLSessionTests, AnAnswerInDelayedPiecesArrivesWholeAndInOrder) {
    std::string body;
    for (int i = 0; i < 5000; ++i) body += static_cast<char>('a' + i % 26);
    auto script = ScriptedResponse::text(200, body);
    script.chunkCount = 5;
    // Wide gaps, so that a loaded machine (sanitizers, parallel suites) still reads each piece
    // before the next one is sent.
    script.delayBetweenChunks = 120ms;
    server->route("GET", "/slow", script);
    // The session is used once first: under a sanitizer its first delivery can come later than a
    // gap, and the pieces that arrived meanwhile would be handed over as one.
    server->route("GET", "/warm", ScriptedResponse::text(200, "warm"));
    auto warm = session->dataTask(URLRequest(urlOf(server->url("/warm"))));
    warm->resume();
    ASSERT_TRUE(delegate->waitForCompletion(*warm));

    auto first = session->dataTask(URLRequest(urlOf(server->url("/slow"))));
    auto second = session->dataTask(URLRequest(urlOf(server->url("/slow"))));
    EXPECT_LT(first->taskIdentifier(), second->taskIdentifier());
    first->resume();
    second->resume();
    ASSERT_TRUE(delegate->waitForCompletion(*first));
    ASSERT_TRUE(delegate->waitForCompletion(*second));
    for (const auto& task : {first, second}) {
        EXPECT_EQ(stringFromData(delegate->body(*task)), body);
        EXPECT_GE(delegate->chunks(*task).size(), 5u);
        auto events = delegate->events(*task);
        EXPECT_EQ(events.back(), "complete");
        EXPECT_EQ(std::count(events.begin(), events.end(), "complete"), 1);
        EXPECT_EQ(task->state(), URLSessionTask::State::completed);
    }
}

TEST_F(URLSessionTests, TransportErrorsCompleteTheTaskOnce) {
    URLRequest request(urlOf("http://127.0.0.1:" + std::to_string(LoopbackServer::unusedPort()) + "/x"));
    auto task = session->dataTask(request);
    task->resume();
    task->resume();  // a second resume changes nothing
    ASSERT_TRUE(delegate->waitForCompletion(*task));
    auto completion = delegate->completion(*task);
    ASSERT_TRUE(completion.error);
    EXPECT_EQ(completion.error->code(), URLError::Code::cannotConnectToHost);
    EXPECT_FALSE(std::string(completion.error->what()).empty());
    EXPECT_EQ(completion.stateInside, URLSessionTask::State::completed);
    EXPECT_EQ(completion.response, nullptr);

    HandlerResult result;
    session->dataTask(request, result.handler())->resume();
    ASSERT_TRUE(result.wait());
    EXPECT_FALSE(result.data);
    ASSERT_TRUE(result.error);
    EXPECT_EQ(result.error->code(), URLError::Code::cannotConnectToHost);
    task->cancel();  // already completed: no second completion
    EXPECT_EQ(delegate->completionCount(*task), 1u);
}

TEST_F(URLSessionTests, CancelEndsRunningAndSuspendedTasksAsCancelled) {
    auto gate = std::make_shared<ResponseGate>();
    auto held = ScriptedResponse::text(200, "late");
    held.gate = gate;
    server->route("GET", "/held", held);

    auto running = session->dataTask(URLRequest(urlOf(server->url("/held"))));
    running->resume();
    ASSERT_TRUE(server->waitForRequests(1));
    running->cancel();
    EXPECT_NE(running->state(), URLSessionTask::State::running);  // canceling, or already completed
    ASSERT_TRUE(delegate->waitForCompletion(*running));
    auto completion = delegate->completion(*running);
    ASSERT_TRUE(completion.error);
    EXPECT_EQ(completion.error->code(), URLError::Code::cancelled);
    EXPECT_STREQ(completion.error->what(), "cancelled");
    gate->open();

    auto suspended = session->dataTask(URLRequest(urlOf(server->url("/held"))));
    suspended->cancel();
    suspended->resume();  // too late: it stays cancelled
    ASSERT_TRUE(delegate->waitForCompletion(*suspended));
    EXPECT_EQ(delegate->completion(*suspended).error->code(), URLError::Code::cancelled);
    EXPECT_EQ(server->requestCount(), 1u);
}

TEST_F(URLSessionTests, IdleTimeoutEndsAStalledAnswerButNotASlowOne) {
    auto gate = std::make_shared<ResponseGate>();
    auto held = ScriptedResponse::text(200, "never");
    held.gate = gate;
    server->route("GET", "/stalled", held);
    auto paced = ScriptedResponse::text(200, std::string(4000, 'x'));
    paced.chunkCount = 4;
    paced.delayBetweenChunks = 300ms;
    server->route("GET", "/paced", paced);

    URLRequest stalled(urlOf(server->url("/stalled")));
    stalled.setTimeoutInterval(0.3);
    auto started = std::chrono::steady_clock::now();
    auto task = session->dataTask(stalled);
    task->resume();
    ASSERT_TRUE(delegate->waitForCompletion(*task));
    auto elapsed = std::chrono::steady_clock::now() - started;
    ASSERT_TRUE(delegate->completion(*task).error);
    EXPECT_EQ(delegate->completion(*task).error->code(), URLError::Code::timedOut);
    EXPECT_GE(elapsed, 300ms);
    EXPECT_LT(elapsed, 3s);
    gate->open();

    // 900 ms in total, never more than 300 ms without a byte: longer than the timeout in all,
    // with room for a loaded machine in every gap.
    URLRequest slow(urlOf(server->url("/paced")));
    slow.setTimeoutInterval(0.8);
    auto slowTask = session->dataTask(slow);
    slowTask->resume();
    ASSERT_TRUE(delegate->waitForCompletion(*slowTask));
    EXPECT_FALSE(delegate->completion(*slowTask).error);
    EXPECT_EQ(delegate->body(*slowTask).size(), 4000u);
}

// A whole-load time-out runs from resume(): neither an answer that never goes idle nor a wait for
// a free connection outlasts it.
TEST_F(URLSessionTests, AWholeLoadTimeOutBoundsATrickleAndAWaitForAConnection) {
    auto trickle = ScriptedResponse::text(200, std::string(100, 't'));
    trickle.chunked = true;
    trickle.chunkCount = 100;  // a byte every 100 ms: 10 s in all, never idle for long
    trickle.delayBetweenChunks = 100ms;
    server->route("GET", "/trickle", trickle);
    auto gate = std::make_shared<ResponseGate>();
    auto held = ScriptedResponse::text(200, "held");
    held.gate = gate;
    server->route("GET", "/held", held);
    auto configuration = plainConfiguration();
    configuration.httpMaximumConnectionsPerHost = 1;
    auto waits = std::make_shared<RecordingDelegate>();  // task identifiers are per session
    auto limited = URLSession::make(configuration, waits);

    URLRequest trickling(urlOf(server->url("/trickle")));
    trickling.setTimeoutIntervalForResource(0.5);
    auto trickled = session->dataTask(trickling);
    trickled->resume();
    ASSERT_TRUE(delegate->waitForCompletion(*trickled));
    ASSERT_TRUE(delegate->completion(*trickled).error);
    EXPECT_EQ(delegate->completion(*trickled).error->code(), URLError::Code::timedOut);
    EXPECT_STREQ(delegate->completion(*trickled).error->what(), "The request timed out.");
    EXPECT_LT(delegate->body(*trickled).size(), 100u);

    // The first load holds the only connection; the second's time runs out while it waits.
    auto holding = limited->dataTask(URLRequest(urlOf(server->url("/held"))));
    holding->resume();
    ASSERT_TRUE(server->waitForRequests(2));
    URLRequest waiting(urlOf(server->url("/held")));
    waiting.setTimeoutIntervalForResource(0.3);
    auto waited = limited->dataTask(waiting);
    waited->resume();
    ASSERT_TRUE(waits->waitForCompletion(*waited));
    EXPECT_EQ(waits->completion(*waited).error->code(), URLError::Code::timedOut);
    EXPECT_EQ(waits->completionCount(*holding), 0u);
    gate->open();
    ASSERT_TRUE(waits->waitForCompletion(*holding));
    EXPECT_FALSE(waits->completion(*holding).error);
    EXPECT_EQ(server->requestCount(), 2u);  // the one that timed out waiting was never sent
}

// An answer past the request's limit ends the load before more of it is read: at its first byte
// when its length is announced, where it passes the limit when it is not.
TEST_F(URLSessionTests, AnAnswerLongerThanTheLimitIsRefused) {
    auto announced = ScriptedResponse::text(200, std::string(5000, 'a'));
    server->route("GET", "/announced", announced);
    auto unannounced = announced;
    unannounced.chunked = true;
    unannounced.chunkCount = 10;
    server->route("GET", "/unannounced", unannounced);
    server->route("GET", "/fits", ScriptedResponse::text(200, std::string(1000, 'f')));
    auto limited = [&](const std::string& path) {
        URLRequest request(urlOf(server->url(path)));
        request.setMaximumResponseLength(1000);
        return request;
    };

    for (const char* path : {"/announced", "/unannounced"}) {
        SCOPED_TRACE(path);
        auto task = session->dataTask(limited(path));
        task->resume();
        ASSERT_TRUE(delegate->waitForCompletion(*task));
        ASSERT_TRUE(delegate->completion(*task).error);
        EXPECT_EQ(delegate->completion(*task).error->code(), URLError::Code::dataLengthExceedsMaximum);
        EXPECT_STREQ(delegate->completion(*task).error->what(), "The answer is longer than the limit of 1000 bytes.");
        EXPECT_LE(delegate->body(*task).size(), 1000u);
        EXPECT_EQ(delegate->body(*task).empty(), std::string(path) == "/announced");
    }
    HandlerResult refused;
    session->dataTask(limited("/announced"), refused.handler())->resume();
    ASSERT_TRUE(refused.wait());
    EXPECT_FALSE(refused.data);
    EXPECT_EQ(refused.error->code(), URLError::Code::dataLengthExceedsMaximum);

    HandlerResult fits;  // the limit itself is allowed
    session->dataTask(limited("/fits"), fits.handler())->resume();
    ASSERT_TRUE(fits.wait());
    EXPECT_FALSE(fits.error);
    EXPECT_EQ(fits.data->size(), 1000u);
}

TEST_F(URLSessionTests, ConnectionsAreReusedAndRedirectsFollowed) {
    server = LoopbackServer::makeHTTP({.keepAlive = true});
    server->route("GET", "/old", [this](const testing::RecordedRequest&) {
        ScriptedResponse moved = ScriptedResponse::text(302, "moved");
        moved.headers.emplace_back("Location", server->url("/new?y=2"));
        return moved;
    });
    server->route("GET", "/new", ScriptedResponse::text(200, "here"));
    for (int i = 0; i < 2; ++i) {
        auto task = session->dataTask(URLRequest(urlOf(server->url("/old"))));
        task->resume();
        ASSERT_TRUE(delegate->waitForCompletion(*task));
        EXPECT_EQ(stringFromData(delegate->body(*task)), "here");
        auto response = httpResponse(task->response());
        ASSERT_TRUE(response);
        EXPECT_EQ(response->statusCode(), 200);
        EXPECT_EQ(response->url()->absoluteString(), server->url("/new?y=2"));
        EXPECT_EQ(response->value("Location"), std::nullopt);  // the redirect's fields are not mixed in
    }
    auto recorded = server->requests();
    ASSERT_EQ(recorded.size(), 4u);
    for (const auto& request : recorded) EXPECT_EQ(request.remotePort, recorded[0].remotePort);
    session->invalidateAndCancel();  // closes the kept connection before the server stops
}

// A fan-out to more hosts than the transfers left in flight when its last answer comes: every
// host's connection is still kept for the next round (no new connection, no new handshake).
TEST_F(URLSessionTests, KeptConnectionsToSeveralHostsOutlastAFanOut) {
    constexpr std::size_t kHosts = 6;
    std::mutex gatesMutex;
    std::vector<std::shared_ptr<ResponseGate>> gates(kHosts);
    std::vector<std::unique_ptr<LoopbackServer>> servers;
    for (std::size_t host = 0; host < kHosts; ++host) {
        servers.push_back(LoopbackServer::makeHTTP({.keepAlive = true}));
        servers.back()->route("GET", "/held", [&, host](const testing::RecordedRequest&) {
            auto answer = ScriptedResponse::text(200, "ok");
            std::lock_guard lock(gatesMutex);
            answer.gate = gates[host];
            return answer;
        });
    }
    for (std::size_t round = 1; round <= 2; ++round) {
        {
            std::lock_guard lock(gatesMutex);
            for (auto& gate : gates) gate = std::make_shared<ResponseGate>();
        }
        std::vector<std::shared_ptr<URLSessionDataTask>> tasks;
        for (const auto& server : servers) {
            tasks.push_back(session->dataTask(URLRequest(urlOf(server->url("/held")))));
            tasks.back()->resume();
        }
        for (const auto& server : servers) ASSERT_TRUE(server->waitForRequests(round));
        // One answer at a time, so each completes with fewer transfers left in flight.
        for (std::size_t host = 0; host < kHosts; ++host) {
            gates[host]->open();
            ASSERT_TRUE(delegate->waitForCompletion(*tasks[host]));
            EXPECT_FALSE(delegate->completion(*tasks[host]).error);
        }
    }
    for (const auto& server : servers) {
        const auto recorded = server->requests();
        ASSERT_EQ(recorded.size(), 2u);
        EXPECT_EQ(recorded[0].remotePort, recorded[1].remotePort) << server->baseURL();
    }
    session->invalidateAndCancel();  // closes the kept connections before the servers stop
}

TEST_F(URLSessionTests, RequestsBeyondTheConnectionLimitWaitTheirTurn) {
    auto gate = std::make_shared<ResponseGate>();
    auto held = ScriptedResponse::text(200, "done");
    held.gate = gate;
    server->route("GET", "/held", held);
    auto configuration = plainConfiguration();
    configuration.httpMaximumConnectionsPerHost = 2;
    auto limited = URLSession::make(configuration, delegate);

    std::vector<std::shared_ptr<URLSessionDataTask>> tasks;
    for (int i = 0; i < 6; ++i) {
        tasks.push_back(limited->dataTask(URLRequest(urlOf(server->url("/held")))));
        tasks.back()->resume();
    }
    ASSERT_TRUE(server->waitForRequests(2));
    EXPECT_FALSE(server->waitForRequests(3, 200ms));  // the others wait for a free connection
    gate->open();
    for (const auto& task : tasks) {
        ASSERT_TRUE(delegate->waitForCompletion(*task));
        EXPECT_FALSE(delegate->completion(*task).error);
    }
    EXPECT_EQ(server->requestCount(), 6u);
}

// Loads that wait for a free connection are set up only when their turn comes: each still
// sends exactly its own method, fields, body or file, and one cancelled in line never goes out.
TEST_F(URLSessionTests, LoadsWaitingTheirTurnSendTheirOwnRequestOrNothingWhenCancelled) {
    testing::TempDirectory folder;
    auto path = folder.write("upload.bin", std::string(70'000, 'u'));
    auto gate = std::make_shared<ResponseGate>();
    auto held = ScriptedResponse::text(200, "first");
    held.gate = gate;
    server->route("GET", "/held", held);
    server->route("POST", "/post", ScriptedResponse::text(201, "posted"));
    server->route("PUT", "/upload", ScriptedResponse::text(200, "uploaded"));
    auto configuration = plainConfiguration();
    configuration.httpMaximumConnectionsPerHost = 1;
    auto limited = URLSession::make(configuration, delegate);

    auto first = limited->dataTask(URLRequest(urlOf(server->url("/held"))));
    URLRequest post(urlOf(server->url("/post")));
    post.setHTTPMethod("POST");
    post.setValue("application/json", "Content-Type");
    post.setValue("yes", "X-Waited");
    post.setHTTPBody(dataFromString(R"({"n":1})"));
    auto posted = limited->dataTask(post);
    auto dropped = limited->dataTask(URLRequest(urlOf(server->url("/held"))));
    URLRequest put(urlOf(server->url("/upload")));
    put.setHTTPMethod("PUT");
    auto uploaded = limited->uploadTask(put, URL::fileURL(path.string()));
    for (const auto& task : std::vector<std::shared_ptr<URLSessionTask>>{first, posted, dropped, uploaded}) {
        task->resume();
    }
    ASSERT_TRUE(server->waitForRequests(1));
    dropped->cancel();
    ASSERT_TRUE(delegate->waitForCompletion(*dropped));
    EXPECT_EQ(delegate->completion(*dropped).error->code(), URLError::Code::cancelled);
    gate->open();
    for (const auto& task : std::vector<std::shared_ptr<URLSessionTask>>{first, posted, uploaded}) {
        ASSERT_TRUE(delegate->waitForCompletion(*task));
        EXPECT_FALSE(delegate->completion(*task).error);
    }
    EXPECT_EQ(stringFromData(delegate->body(*posted)), "posted");
    EXPECT_EQ(httpResponse(posted->response())->statusCode(), 201);

    auto recorded = server->requests();
    ASSERT_EQ(recorded.size(), 3u);  // the cancelled one never went out
    EXPECT_EQ(recorded[1].method, "POST");
    EXPECT_EQ(recorded[1].bodyString(), R"({"n":1})");
    EXPECT_EQ(recorded[1].header("X-Waited"), "yes");
    EXPECT_EQ(recorded[1].header("Content-Type"), "application/json");
    EXPECT_EQ(recorded[2].method, "PUT");
    EXPECT_EQ(recorded[2].header("Content-Length"), "70000");
    EXPECT_EQ(recorded[2].bodyString(), std::string(70'000, 'u'));
}

TEST_F(URLSessionTests, CompletionHandlerTasksGetTheWholeBodyAndSkipTheDelegate) {
    Data image(70'000);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 31);
    ScriptedResponse png;
    png.headers.emplace_back("Content-Type", "image/png");
    png.body = image;
    png.chunkCount = 3;
    server->route("GET", "/close.png", png);
    server->route("GET", "/missing.png", ScriptedResponse::text(404, "no"));

    auto plain = URLSession::make(plainConfiguration());
    HandlerResult ok;
    auto task = plain->dataTask(URLRequest(urlOf(server->url("/close.png"))), ok.handler());
    task->resume();
    ASSERT_TRUE(ok.wait());
    ASSERT_TRUE(ok.data);
    EXPECT_TRUE(*ok.data == image);
    EXPECT_FALSE(ok.error);
    EXPECT_EQ(ok.response->mimeType(), "image/png");
    EXPECT_EQ(task->state(), URLSessionTask::State::completed);

    HandlerResult notFound;  // an HTTP error status is an answer, not a transport error
    session->dataTask(URLRequest(urlOf(server->url("/missing.png"))), notFound.handler())->resume();
    ASSERT_TRUE(notFound.wait());
    EXPECT_FALSE(notFound.error);
    EXPECT_EQ(httpResponse(notFound.response)->statusCode(), 404);
    EXPECT_EQ(stringFromData(*notFound.data), "no");
    EXPECT_EQ(delegate->offQueueEvents(), 0);
}

// A host's delegate queue that is busy holds the events back behind its own operation; an idle
// one gets them at once. Either way they arrive whole, in order and on that queue.
TEST_F(URLSessionTests, EventsWaitBehindABusyDelegateQueueAndStayOnIt) {
    auto paced = ScriptedResponse::text(200, std::string(3000, 'p'));
    paced.chunkCount = 3;
    server->route("GET", "/paced", paced);
    auto queue = OperationQueue::make("host delegate queue");
    auto hostDelegate = std::make_shared<RecordingDelegate>(queue);
    auto hosted = URLSession::make(plainConfiguration(), hostDelegate, queue);

    std::promise<void> release;
    std::atomic<bool> hostOperationDone{false};
    queue->addOperation([&, released = release.get_future().share()] {
        released.wait();
        hostOperationDone = true;
    });
    auto held = hosted->dataTask(URLRequest(urlOf(server->url("/paced"))));
    held->resume();
    EXPECT_FALSE(hostDelegate->waitForCompletion(*held, 300ms));  // the answer is in; the queue is not free
    release.set_value();
    ASSERT_TRUE(hostDelegate->waitForCompletion(*held));
    EXPECT_TRUE(hostOperationDone);

    auto idle = hosted->dataTask(URLRequest(urlOf(server->url("/paced"))));
    idle->resume();
    ASSERT_TRUE(hostDelegate->waitForCompletion(*idle));
    for (const auto& task : {held, idle}) {
        EXPECT_EQ(hostDelegate->body(*task).size(), 3000u);
        EXPECT_EQ(hostDelegate->events(*task).back(), "complete");
        EXPECT_TRUE(hostDelegate->completion(*task).onDelegateQueue);
    }
    EXPECT_EQ(hostDelegate->offQueueEvents(), 0);
    hosted->invalidateAndCancel();
}

// Says on which thread it was destroyed.
struct DestructionThread {
    std::shared_ptr<std::promise<std::thread::id>> where = std::make_shared<std::promise<std::thread::id>>();
    ~DestructionThread() { where->set_value(std::this_thread::get_id()); }
};

// Handlers run on the delegate queue's worker, never on the I/O thread: while one blocks, the
// session's other loads still go out. What a handler holds ends there too (or with the host),
// also for a task that ends in the turn of the I/O loop that started it: a file: URL, a load on
// a session already invalidated, a request without a URL.
TEST_F(URLSessionTests, CompletionHandlersNeitherHoldUpOtherLoadsNorEndOnTheIOThread) {
    server->route("GET", "/first", ScriptedResponse::text(200, "first"));
    server->route("GET", "/second", ScriptedResponse::text(200, "second"));
    auto plain = URLSession::make(plainConfiguration());
    std::promise<void> entered;
    std::promise<void> release;
    auto released = release.get_future().share();
    plain
        ->dataTask(URLRequest(urlOf(server->url("/first"))),
                   [&, released](std::optional<Data>, std::shared_ptr<URLResponse>, std::optional<URLError>) {
                       entered.set_value();
                       released.wait();
                   })
        ->resume();
    ASSERT_EQ(entered.get_future().wait_for(5s), std::future_status::ready);
    HandlerResult second;
    plain->dataTask(URLRequest(urlOf(server->url("/second"))), second.handler())->resume();
    EXPECT_TRUE(server->waitForRequests(2));  // while the first handler still blocks
    release.set_value();
    ASSERT_TRUE(second.wait());
    EXPECT_EQ(stringFromData(*second.data), "second");

    const auto capturesEndOffTheIOThread = [&](const std::shared_ptr<URLSession>& on, const URLRequest& request) {
        auto held = std::make_shared<DestructionThread>();
        auto destroyedOn = held->where->get_future();
        auto ran = std::make_shared<std::promise<std::thread::id>>();
        auto ranOn = ran->get_future();
        on->dataTask(request, [held = std::move(held), ran](std::optional<Data>, std::shared_ptr<URLResponse>,
                                                            std::optional<URLError>) {
              ran->set_value(std::this_thread::get_id());
          })->resume();
        ASSERT_EQ(ranOn.wait_for(5s), std::future_status::ready);
        const auto handlerThread = ranOn.get();
        if (destroyedOn.wait_for(100ms) != std::future_status::ready) {
            HandlerResult later;  // wakes the I/O thread, were it still holding the task
            on->dataTask(URLRequest(urlOf(server->url("/second"))), later.handler())->resume();
            EXPECT_TRUE(later.wait());
        }
        ASSERT_EQ(destroyedOn.wait_for(5s), std::future_status::ready);
        const auto destroyer = destroyedOn.get();
        EXPECT_TRUE(destroyer == handlerThread || destroyer == std::this_thread::get_id())
            << (request.url() ? request.url()->absoluteString() : "no URL");
    };
    testing::TempDirectory folder;
    capturesEndOffTheIOThread(plain, URLRequest(URL::fileURL(folder.write("page.html", "<p>").string())));
    capturesEndOffTheIOThread(plain, URLRequest());
    capturesEndOffTheIOThread(plain, URLRequest(urlOf(server->url("/second"))));
    auto finished = URLSession::make(plainConfiguration());
    finished->finishTasksAndInvalidate();
    capturesEndOffTheIOThread(finished, URLRequest(urlOf(server->url("/second"))));
}

// Only the web is fetched: a URL naming a local file (a pipe nothing writes to above all, which
// would block the I/O thread), or another scheme, fails at once and alike whatever it names,
// while the session's other loads go on.
TEST_F(URLSessionTests, URLsOfOtherSchemesFailAtOnceAndAlikeWhateverTheyName) {
    testing::TempDirectory folder;
    testing::WriterlessFIFO pipe;
    server->route("GET", "/after", ScriptedResponse::text(200, "after"));
    const std::vector<std::string> urls = {
        pipe.url(),
        URL::fileURL(folder.write("page.html", "<html></html>").string()).absoluteString(),
        URL::fileURL(folder.file("missing").string()).absoluteString(),
        "ftp://127.0.0.1:" + std::to_string(server->port()) + "/page.html",
    };
    std::optional<std::string> firstText;
    for (const auto& url : urls) {
        SCOPED_TRACE(url);
        // Shared with the handler: a load that blocks completes after this scope has failed.
        auto result = std::make_shared<HandlerResult>();
        session
            ->dataTask(URLRequest(urlOf(url)),
                       [result, handler = result->handler()](auto data, auto response, auto error) {
                           handler(std::move(data), std::move(response), std::move(error));
                       })
            ->resume();
        ASSERT_TRUE(result->wait(2s));
        ASSERT_TRUE(result->error);
        EXPECT_EQ(result->error->code(), URLError::Code::unsupportedURL);
        EXPECT_EQ(result->response, nullptr);
        EXPECT_FALSE(result->data);
        if (!firstText) firstText = result->error->localizedDescription();
        EXPECT_EQ(result->error->localizedDescription(), *firstText);
    }
    HandlerResult after;
    session->dataTask(URLRequest(urlOf(server->url("/after"))), after.handler())->resume();
    ASSERT_TRUE(after.wait(2s));
    EXPECT_EQ(stringFromData(*after.data), "after");
    EXPECT_EQ(server->requestCount(), 1u);  // the ftp URL sent nothing to the port it named
}

// Where a redirect may lead: never further into the device's surroundings than the address the
// request began at (public, then a local network, then this host), and never off TLS once used.
TEST(RedirectGuardTests, RanksAddressesAndRefusesHopsThatReachFurtherOrLeaveTLS) {
    using net::AddressReach;
    const std::vector<std::pair<std::string, std::optional<AddressReach>>> addresses = {
        {"93.184.216.34", AddressReach::publicNetwork},
        {"172.32.0.1", AddressReach::publicNetwork},
        {"100.128.0.1", AddressReach::publicNetwork},
        {"2606:2800:220:1::1", AddressReach::publicNetwork},
        {"::ffff:8.8.8.8", AddressReach::publicNetwork},
        {"10.1.2.3", AddressReach::localNetwork},
        {"172.16.0.1", AddressReach::localNetwork},
        {"172.31.255.255", AddressReach::localNetwork},
        {"192.168.1.1", AddressReach::localNetwork},
        {"100.64.0.1", AddressReach::localNetwork},
        {"169.254.169.254", AddressReach::localNetwork},
        {"fd00::1", AddressReach::localNetwork},
        {"fe80::1", AddressReach::localNetwork},
        {"::ffff:192.168.0.10", AddressReach::localNetwork},
        {"::ffff:169.254.169.254", AddressReach::localNetwork},
        {"127.0.0.1", AddressReach::loopback},
        {"127.8.9.10", AddressReach::loopback},
        {"0.0.0.0", AddressReach::loopback},
        {"::1", AddressReach::loopback},
        {"::", AddressReach::loopback},
        {"::ffff:127.0.0.1", AddressReach::loopback},
        {"localhost", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [text, reach] : addresses) EXPECT_EQ(net::reachOf(text), reach) << text;

    struct Case {
        std::string begun;
        bool begunSecure;
        std::string next;
        bool nextSecure;
        bool follows;
    };
    const std::vector<Case> cases = {
        {"93.184.216.34", true, "93.184.216.35", true, true},
        {"93.184.216.34", true, "93.184.216.34", false, false},  // off TLS
        {"93.184.216.34", false, "93.184.216.35", false, true},
        {"93.184.216.34", false, "10.0.0.1", false, false},
        {"93.184.216.34", true, "::ffff:10.0.0.1", true, false},
        {"93.184.216.34", true, "169.254.169.254", true, false},
        {"93.184.216.34", true, "127.0.0.1", true, false},
        {"93.184.216.34", true, "not an address", true, false},
        {"192.168.1.1", true, "10.0.0.1", true, true},
        {"192.168.1.1", true, "93.184.216.34", true, true},
        {"192.168.1.1", true, "::1", true, false},
        {"127.0.0.1", true, "127.0.0.1", true, true},  // a request begun on this host may stay there
        {"127.0.0.1", true, "127.0.0.1", false, false},
        {"127.0.0.1", false, "::1", false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.begun + (c.begunSecure ? " https" : " http") + " -> " + c.next +
                     (c.nextSecure ? " https" : " http"));
        net::RedirectGuard guard;
        EXPECT_TRUE(guard.mayConnect(net::reachOf(c.begun)));  // the first connection goes anywhere
        ASSERT_TRUE(guard.maySend(net::reachOf(c.begun), c.begunSecure));
        EXPECT_EQ(guard.mayConnect(net::reachOf(c.next)), c.follows || c.begunSecure != c.nextSecure);
        EXPECT_EQ(guard.maySend(net::reachOf(c.next), c.nextSecure), c.follows);
    }
    net::RedirectGuard upgraded;  // http, then https: plain HTTP no more
    ASSERT_TRUE(upgraded.maySend(net::reachOf("93.184.216.34"), false));
    ASSERT_TRUE(upgraded.maySend(net::reachOf("93.184.216.34"), true));
    EXPECT_FALSE(upgraded.maySend(net::reachOf("93.184.216.34"), false));
}

// Signals when the session lets go of it.
class WatchedDelegate : public RecordingDelegate {
public:
    ~WatchedDelegate() override { destroyed_.set_value(); }
    std::future<void> destroyed() { return destroyed_.get_future(); }

private:
    std::promise<void> destroyed_;
};

TEST_F(URLSessionTests, InvalidationCancelsOrDrainsThenReleasesTheDelegate) {
    auto gate = std::make_shared<ResponseGate>();
    auto held = ScriptedResponse::text(200, "late");
    held.gate = gate;
    server->route("GET", "/held", held);
    server->route("GET", "/fine", ScriptedResponse::text(200, "fine"));

    auto cancelling = std::make_shared<WatchedDelegate>();
    auto cancellingReleased = cancelling->destroyed();
    auto first = URLSession::make(plainConfiguration(), cancelling);
    auto running = first->dataTask(URLRequest(urlOf(server->url("/held"))));
    auto suspended = first->dataTask(URLRequest(urlOf(server->url("/held"))));
    running->resume();
    ASSERT_TRUE(server->waitForRequests(1));
    first->invalidateAndCancel();
    ASSERT_TRUE(cancelling->waitForCompletion(*running));
    ASSERT_TRUE(cancelling->waitForCompletion(*suspended));
    EXPECT_EQ(cancelling->completion(*running).error->code(), URLError::Code::cancelled);
    EXPECT_EQ(cancelling->completion(*suspended).error->code(), URLError::Code::cancelled);
    cancelling.reset();
    EXPECT_EQ(cancellingReleased.wait_for(5s), std::future_status::ready);
    EXPECT_TRUE(first);  // released while the session itself lives on
    gate->open();

    auto draining = std::make_shared<WatchedDelegate>();
    auto drainingReleased = draining->destroyed();
    auto second = URLSession::make(plainConfiguration(), draining);
    auto task = second->dataTask(URLRequest(urlOf(server->url("/fine"))));
    task->resume();
    second->finishTasksAndInvalidate();
    ASSERT_TRUE(draining->waitForCompletion(*task));
    EXPECT_FALSE(draining->completion(*task).error);
    EXPECT_EQ(stringFromData(draining->body(*task)), "fine");
    draining.reset();
    EXPECT_EQ(drainingReleased.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(second->delegate(), nullptr);
}

class URLSessionTLSTests : public ::testing::Test {
protected:
    testing::TestCertificate certificate{{"localhost", "ads.example.test", "*.example.test"}};
    std::unique_ptr<LoopbackServer> server = LoopbackServer::makeHTTPS(certificate);

    std::string route() const { return "ads.example.test:443:127.0.0.1:" + std::to_string(server->port()); }

    std::optional<URLError> fetch(const URLSessionConfiguration& configuration, const std::string& url) {
        auto session = URLSession::make(configuration);
        HandlerResult result;
        session->dataTask(URLRequest(urlOf(url)), result.handler())->resume();
        EXPECT_TRUE(result.wait());
        if (!result.error) {
            EXPECT_EQ(stringFromData(*result.data), "tracked");
        }
        return result.error;
    }

    void SetUp() override { server->route("GET", "/x", ScriptedResponse::text(200, "tracked")); }
};

TEST_F(URLSessionTLSTests, ReachesARenamedHostThroughRoutingAndATrustedTestCA) {
    URLSessionConfiguration configuration;
    configuration.caFile = certificate.caFilePath();
    configuration.connectTo = {route()};
    EXPECT_EQ(fetch(configuration, "https://ads.example.test/x"), std::nullopt);
    EXPECT_EQ(fetch(configuration, server->url("/x")), std::nullopt);  // 127.0.0.1 is named too
    ASSERT_EQ(server->requestCount(), 2u);
    EXPECT_EQ(server->requests()[0].header("Host"), "ads.example.test");

    const auto fromEnvironment = [&] {
        testing::ScopedEnvironment caFile("QOR_CA_FILE", certificate.caFilePath());
        testing::ScopedEnvironment connectTo("QOR_CONNECT_TO", "unused.example.test:443:127.0.0.1:1, " + route());
        return URLSessionConfiguration::defaultConfiguration();
    }();
    EXPECT_EQ(fromEnvironment.caFile, certificate.caFilePath());
    EXPECT_EQ(fromEnvironment.connectTo.size(), 2u);
    EXPECT_EQ(fetch(fromEnvironment, "https://ads.example.test/x"), std::nullopt);
}

TEST_F(URLSessionTLSTests, RefusesACertificateItDoesNotTrust) {
    testing::TestCertificate stranger{{"ads.example.test"}};
    URLSessionConfiguration otherCA;
    otherCA.caFile = stranger.caFilePath();
    otherCA.connectTo = {route()};
    auto error = fetch(otherCA, "https://ads.example.test/x");
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), URLError::Code::serverCertificateUntrusted);

    URLSessionConfiguration systemRoots;
    systemRoots.connectTo = {route()};
    EXPECT_TRUE(fetch(systemRoots, "https://ads.example.test/x"));

    URLSessionConfiguration wrongName;  // trusted CA, but the certificate does not name this host
    wrongName.caFile = certificate.caFilePath();
    wrongName.connectTo = {"ads.other.test:443:127.0.0.1:" + std::to_string(server->port())};
    EXPECT_TRUE(fetch(wrongName, "https://ads.other.test/x"));
    EXPECT_EQ(server->requestCount(), 0u);
}

// A request begun on plain HTTP may be led to TLS, but from there never back: the redirect
// decides by the hop it leaves, not by where the request began.
TEST_F(URLSessionTLSTests, ARedirectChainThatReachedTLSNeverLeavesIt) {
    auto plain = LoopbackServer::makeHTTP();
    const auto movedTo = [](std::string location) {
        return [location](const testing::RecordedRequest&) {
            auto moved = ScriptedResponse::text(302, "moved");
            moved.headers.emplace_back("Location", location);
            return moved;
        };
    };
    plain->route("GET", "/start", movedTo("https://ads.example.test/hop"));
    server->route("GET", "/hop", movedTo(plain->url("/end")));
    plain->route("GET", "/end", ScriptedResponse::text(200, "end"));
    URLSessionConfiguration configuration;
    configuration.caFile = certificate.caFilePath();
    configuration.connectTo = {route()};
    auto session = URLSession::make(configuration);
    HandlerResult result;
    session->dataTask(URLRequest(urlOf(plain->url("/start"))), result.handler())->resume();
    ASSERT_TRUE(result.wait());
    ASSERT_TRUE(result.error);
    EXPECT_EQ(result.error->code(), URLError::Code::badServerResponse);
    EXPECT_EQ(server->requestCount(), 1u);
    ASSERT_EQ(plain->requestCount(), 1u);
    EXPECT_EQ(plain->requests()[0].path, "/start");
}

}  // namespace
}  // namespace qor::platform
