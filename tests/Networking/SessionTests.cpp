#include "Networking/Client/Request/PassBackRequest.h"
#include "Networking/Client/Request/Redirectors.h"
#include "Networking/Client/Request/UserAgent.h"
#include "Networking/Client/Session/Session.h"
#include "Platform/Dispatch/Thread.h"
#include "TestRequests.h"
#include "testing/LoopbackServer.h"
#include "testing/MainLoopPump.h"
#include "testing/ScopedEnvironment.h"
#include "testing/TempDirectory.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace qor {
namespace {

using qor::testing::LoopbackServer;
using qor::testing::ScriptedResponse;
using Reason = QORSDKError::ResponseErrorReason;
using Action = ResponsePipelineRedirectorAction;

struct Unit {
    std::string name;
    std::int64_t count = 0;
    static Unit decode(const platform::KeyedDecodingContainer& container) {
        return Unit{container.decode<std::string>("name"), container.decode<std::int64_t>("count")};
    }
};

// What one completion received, and where.
template <class T>
struct Received {
    std::mutex mutex;
    std::optional<Result<T>> result;
    bool onMainThread = false;
    int calls = 0;

    Completion<T> completion() {
        return [this](Result<T> outcome) {
            std::lock_guard lock(mutex);
            result.emplace(std::move(outcome));
            onMainThread = platform::Thread::isMainThread();
            ++calls;
        };
    }
    bool arrived() {
        std::lock_guard lock(mutex);
        return result.has_value();
    }
    bool wait() {
        return qor::testing::pumpMainUntil([this] { return arrived(); });
    }
    // Only after arrived(): the result is written once.
    const Result<T>& get() {
        std::lock_guard lock(mutex);
        return *result;
    }
};

const QORSDKError::ResponseErrorReason& responseReason(const QORSDKError& error) {
    return error.as<QORSDKError::responseFailed>()->reason;
}

class SessionTest : public ::testing::Test {
protected:
    test::ConfigurableRequest<> textRequest(const std::string& path) {
        test::ConfigurableRequest<> request;
        request.base = server_->baseURL();
        request.pathValue = path;
        request.dataParserValue = std::make_shared<StringParsePipeline>();
        return request;
    }
    bool tasksDrained() {
        return qor::testing::pumpMainUntil([this] { return session_->delegate()->taskCount() == 0; });
    }

    std::unique_ptr<LoopbackServer> server_ = LoopbackServer::makeHTTP();
    std::shared_ptr<Session> session_ = Session::makeDefault();
};

TEST_F(SessionTest, SendDeliversTypedResultsOnTheMainThread) {
    server_->route("GET", "/text", ScriptedResponse::text(200, "hello\nworld"));
    Received<std::string> text;
    const auto task = session_->send(textRequest("text"), CallbackQueue::currentMainOrAsync{}, text.completion());
    ASSERT_NE(task, nullptr);
    ASSERT_TRUE(text.wait());
    ASSERT_TRUE(text.get().isSuccess());
    EXPECT_EQ(text.get().value(), "hello\nworld");
    EXPECT_TRUE(text.onMainThread);
    EXPECT_EQ(session_->delegate()->taskCount(), 0u);
    EXPECT_EQ(task->request().url()->absoluteString(), server_->url("/text"));

    ScriptedResponse pieces =
        ScriptedResponse::text(200, R"({"name":"banner","count":3,"extra":[1]})", "application/json");
    pieces.chunkCount = 4;
    pieces.delayBetweenChunks = std::chrono::milliseconds(5);
    server_->route("POST", "/unit", pieces);
    test::ConfigurableRequest<Unit> post;
    post.base = server_->baseURL();
    post.pathValue = "unit";
    post.methodValue = HTTPMethod::post;
    post.contentTypeValue = ContentType::json;
    post.parametersValue = Parameters{{"id", "u1"}};
    Received<Unit> unit;
    session_->send(post, CallbackQueue::asyncMain{}, unit.completion());
    ASSERT_TRUE(unit.wait());
    ASSERT_TRUE(unit.get().isSuccess()) << unit.get().error().description();
    EXPECT_EQ(unit.get().value().name, "banner");
    EXPECT_EQ(unit.get().value().count, 3);

    const auto recorded = server_->requests().back();
    EXPECT_EQ(recorded.method, "POST");
    EXPECT_EQ(recorded.bodyString(), R"({"id":"u1"})");
    EXPECT_EQ(recorded.header("Content-Type"), "text/plain");
    EXPECT_EQ(recorded.header("Accept"), "application/json");
    EXPECT_EQ(recorded.header("Cache-Control"), "private, no-store, no-cache, must-revalidate");
    EXPECT_EQ(recorded.header("User-Agent"), defaultUserAgent());
    EXPECT_TRUE(tasksDrained());
}

TEST_F(SessionTest, UploadSendsTheFileAndDeliversTheAnswer) {
    qor::testing::TempDirectory folder;
    const std::string content = R"({"batch":[{"event":"a"}],"writeKey":"k@ios"})";
    const auto file = folder.write("batch.json", content);
    server_->route("POST", "/v1/b", ScriptedResponse::text(200, "OK"));

    auto request = textRequest("v1/b");
    request.methodValue = HTTPMethod::post;
    request.contentTypeValue = ContentType::json;
    Received<std::string> received;
    const auto task = session_->upload(request, CallbackQueue::currentMainOrAsync{}, platform::URL::fileURL(file),
                                       received.completion());
    ASSERT_NE(task, nullptr);
    ASSERT_TRUE(received.wait());
    EXPECT_EQ(received.get().value(), "OK");
    EXPECT_EQ(server_->requests().back().bodyString(), content);
    EXPECT_TRUE(tasksDrained());

    Received<std::string> missingFile;
    session_->upload(request, CallbackQueue::currentMainOrAsync{}, platform::URL::fileURL(folder.file("none")),
                     missingFile.completion());
    ASSERT_TRUE(missingFile.wait());
    ASSERT_TRUE(missingFile.get().isFailure());
    EXPECT_NE(responseReason(missingFile.get().error()).as<Reason::URLSessionError>(), nullptr);
}

TEST_F(SessionTest, EachFailureKindReachesTheCompletion) {
    // Transport error, with untouch: the completion runs on the session's delegate queue.
    auto refused = textRequest("x");
    refused.base = "http://127.0.0.1:" + std::to_string(LoopbackServer::unusedPort());
    Received<std::string> transport;
    session_->send(refused, CallbackQueue::untouch{}, transport.completion());
    ASSERT_TRUE(transport.wait());
    EXPECT_NE(responseReason(transport.get().error()).as<Reason::URLSessionError>(), nullptr);
    EXPECT_FALSE(transport.onMainThread);
    EXPECT_EQ(transport.get().error().errorDescription(), "Not yet implemented: ");

    // A local file is never read: it fails as a transport failure, with the same text.
    qor::testing::TempDirectory folder;
    folder.write("local.txt", "local");
    auto local = textRequest("");
    local.base = platform::URL::fileURL(folder.file("local.txt")).absoluteString();
    Received<std::string> file;
    session_->send(local, CallbackQueue::currentMainOrAsync{}, file.completion());
    ASSERT_TRUE(file.wait());
    EXPECT_NE(responseReason(file.get().error()).as<Reason::URLSessionError>(), nullptr);
    EXPECT_EQ(file.get().error().errorDescription(), "Not yet implemented: ");

    // A bad status with its decoded error body; the terminator never runs.
    server_->route(
        "GET", "/missing",
        ScriptedResponse::text(404, R"({"error":"not_found","error_description":"gone"})", "application/json"));
    Received<std::string> badStatus;
    session_->send(textRequest("missing"), CallbackQueue::currentMainOrAsync{}, badStatus.completion());
    ASSERT_TRUE(badStatus.wait());
    const auto* status = responseReason(badStatus.get().error()).as<Reason::invalidHTTPStatusAPIError>();
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->detail.code(), 404);
    EXPECT_EQ(status->detail.error(), APIError("not_found", std::string("gone")));

    // A parse failure.
    server_->route("GET", "/broken", ScriptedResponse::text(200, "{not json"));
    test::ConfigurableRequest<Unit> broken;
    broken.base = server_->baseURL();
    broken.pathValue = "broken";
    Received<Unit> parse;
    session_->send(broken, CallbackQueue::currentMainOrAsync{}, parse.completion());
    ASSERT_TRUE(parse.wait());
    const auto* parsing = responseReason(parse.get().error()).as<Reason::dataParsingFailed>();
    ASSERT_NE(parsing, nullptr);
    EXPECT_EQ(platform::stringFromData(parsing->data), "{not json");
    EXPECT_EQ(parsing->type, std::type_index(typeid(Unit)));
    EXPECT_TRUE(tasksDrained());
}

TEST_F(SessionTest, BuildingFailuresNeverMakeATask) {
    // From the main thread with currentMainOrAsync the failure has arrived when send returns.
    Received<std::string> fromMain;
    EXPECT_EQ(
        session_->send(PassBackRequest("::not a url"), CallbackQueue::currentMainOrAsync{}, fromMain.completion()),
        nullptr);
    ASSERT_TRUE(fromMain.arrived());
    EXPECT_EQ(fromMain.get().error().errorDescription(), "Not yet implemented: missingURL");

    // From another thread it arrives later, on the main thread.
    Received<std::string> fromWorker;
    std::shared_ptr<SessionTask> task = std::make_shared<SessionTask>(
        session_->session(), platform::URLRequest(platform::URL::make("http://127.0.0.1:9/")), std::nullopt);
    auto token = textRequest("x");
    token.authenticationValue = AuthenticationMethod::token("t");
    token.suffixAdaptersValue = RequestAdapterList{std::make_shared<AnyRequestAdapter>(
        [](platform::URLRequest) -> platform::URLRequest { throw std::runtime_error("refused by adapter"); })};
    std::thread([&] {
        task = session_->send(token, CallbackQueue::currentMainOrAsync{}, fromWorker.completion());
    }).join();
    EXPECT_EQ(task, nullptr);
    EXPECT_FALSE(fromWorker.arrived());
    ASSERT_TRUE(fromWorker.wait());
    EXPECT_TRUE(fromWorker.onMainThread);
    EXPECT_EQ(fromWorker.get().error().errorDescription(),
              "An error not type in Lumatix Universal SDK refused by adapter");
    EXPECT_EQ(session_->delegate()->taskCount(), 0u);
    EXPECT_EQ(server_->requestCount(), 0u);

    // A missing completion is fine.
    EXPECT_EQ(session_->send(PassBackRequest(""), CallbackQueue::untouch{}), nullptr);
}

// A redirector that applies to every answer and answers with what a script decides.
class ScriptedRedirector final : public ResponsePipelineRedirector {
public:
    using Script = std::function<void(int call, const platform::Data&, RedirectorDone)>;
    explicit ScriptedRedirector(Script script) : script_(std::move(script)) {}
    bool shouldApply(const AnyRequest&, const platform::Data&, const HTTPResponse&) override { return true; }
    void redirect(const AnyRequest&, const platform::Data& data, const HTTPResponse&, RedirectorDone done) override {
        script_(++calls, data, std::move(done));
    }
    std::atomic<int> calls{0};

private:
    Script script_;
};

TEST_F(SessionTest, RedirectorActionsOverTheWire) {
    server_->route("GET", "/r", ScriptedResponse::text(200, "answer"));
    const auto parser = ResponsePipeline::terminator(std::make_shared<StringParsePipeline>());

    // restart: the request goes out again with its normal list.
    auto restartOnce = std::make_shared<ScriptedRedirector>([](int call, const platform::Data&, RedirectorDone done) {
        done(call == 1 ? Action::restart() : Action::continue_());
    });
    auto request = textRequest("r");
    request.pipelinesValue = ResponsePipelineList{ResponsePipeline::redirector(restartOnce), parser};
    Received<std::string> restarted;
    session_->send(request, CallbackQueue::currentMainOrAsync{}, restarted.completion());
    ASSERT_TRUE(restarted.wait());
    EXPECT_EQ(restarted.get().value(), "answer");
    EXPECT_EQ(server_->requestCount(), 2u);
    EXPECT_EQ(restartOnce->calls, 2);

    // restartWithout: the second attempt runs only the steps after the redirector, less the one named.
    std::shared_ptr<ScriptedRedirector> self;
    const auto dropped = ResponsePipeline::redirector(
        std::make_shared<ScriptedRedirector>([](int, const platform::Data&, RedirectorDone done) {
            done(Action::stop(std::make_exception_ptr(std::runtime_error("must not run"))));
        }));
    self = std::make_shared<ScriptedRedirector>(
        [dropped](int, const platform::Data&, RedirectorDone done) { done(Action::restartWithout(dropped)); });
    request.pipelinesValue = ResponsePipelineList{ResponsePipeline::redirector(self), dropped, parser};
    Received<std::string> without;
    session_->send(request, CallbackQueue::currentMainOrAsync{}, without.completion());
    ASSERT_TRUE(without.wait());
    EXPECT_EQ(without.get().value(), "answer");
    EXPECT_EQ(self->calls, 1);
    EXPECT_EQ(server_->requestCount(), 4u);

    // continueWith replaces the data for the steps after it; stop ends with its error.
    auto replace = std::make_shared<ScriptedRedirector>([](int, const platform::Data&, RedirectorDone done) {
        done(Action::continueWith(platform::dataFromString("replaced"),
                                  std::make_shared<const platform::HTTPURLResponse>(
                                      *platform::URL::make("https://a.test"), 200, platform::HTTPHeaderFields{})));
    });
    request.pipelinesValue = ResponsePipelineList{ResponsePipeline::redirector(replace), parser};
    Received<std::string> continued;
    session_->send(request, CallbackQueue::currentMainOrAsync{}, continued.completion());
    ASSERT_TRUE(continued.wait());
    EXPECT_EQ(continued.get().value(), "replaced");

    auto stop = std::make_shared<ScriptedRedirector>([](int, const platform::Data&, RedirectorDone done) {
        done(Action::stop(QORSDKError(QORSDKError::generalError{QORSDKError::GeneralErrorReason::coreError{"halt"}})));
    });
    request.pipelinesValue = ResponsePipelineList{ResponsePipeline::redirector(stop), parser};
    Received<std::string> stopped;
    session_->send(request, CallbackQueue::currentMainOrAsync{}, stopped.completion());
    ASSERT_TRUE(stopped.wait());
    EXPECT_EQ(stopped.get().error().errorDescription(), "halt");

    // A redirector that never answers: no completion, and the task has left the table.
    auto silent = std::make_shared<ScriptedRedirector>([](int, const platform::Data&, RedirectorDone) {});
    request.pipelinesValue = ResponsePipelineList{ResponsePipeline::redirector(silent), parser};
    Received<std::string> never;
    session_->send(request, CallbackQueue::currentMainOrAsync{}, never.completion());
    ASSERT_TRUE(qor::testing::pumpMainUntil([&] { return silent->calls == 1; }));
    EXPECT_TRUE(tasksDrained());
    qor::testing::pumpMainFor(std::chrono::milliseconds(50));
    EXPECT_FALSE(never.arrived());

    // The token-refresh check lets a 401 go on to the status check.
    server_->route("GET", "/auth", ScriptedResponse::text(401, "{\"message\":\"expired\"}"));
    auto token = textRequest("auth");
    token.authenticationValue = AuthenticationMethod::token("old");
    Received<std::string> unauthorized;
    session_->send(token, CallbackQueue::currentMainOrAsync{}, unauthorized.completion());
    ASSERT_TRUE(unauthorized.wait());
    EXPECT_EQ(unauthorized.get().error().errorDescription(), "Not yet implemented: Invalid 401");
    EXPECT_EQ(server_->requests().back().header("Authorization"), "Bearer old");
}

TEST_F(SessionTest, CompletionRunsAfterTheSharedSessionWasReplaced) {
    auto gate = std::make_shared<qor::testing::ResponseGate>();
    ScriptedResponse held = ScriptedResponse::text(200, "late");
    held.gate = gate;
    server_->route("GET", "/held", held);

    Session::setSharedInstance(Session::makeDefault());
    Received<std::string> received;
    std::weak_ptr<Session> first = Session::sharedInstance();
    Session::sharedInstance()->send(textRequest("held"), CallbackQueue::currentMainOrAsync{}, received.completion());
    ASSERT_TRUE(server_->waitForRequests(1));
    Session::setSharedInstance(Session::makeDefault());
    EXPECT_FALSE(first.expired()) << "the running task keeps its Session";

    gate->open();
    ASSERT_TRUE(received.wait());
    EXPECT_EQ(received.get().value(), "late");
    EXPECT_TRUE(qor::testing::pumpMainUntil([&] { return first.expired(); })) << "and lets go of it afterwards";
}

TEST_F(SessionTest, PassBackAndFetchIPReachTheServer) {
    server_->route("GET", "/tag.html", ScriptedResponse::text(200, "<div>ad</div>", "text/html"));
    Received<std::string> passBack;
    session_->send(PassBackRequest(server_->url("/tag.html?w=320&h=50")), CallbackQueue::currentMainOrAsync{},
                   passBack.completion());
    ASSERT_TRUE(passBack.wait());
    EXPECT_EQ(passBack.get().value(), "<div>ad</div>");
    auto recorded = server_->requests().back();
    EXPECT_EQ(recorded.query, "w=320&h=50");
    EXPECT_TRUE(recorded.body.empty());
    EXPECT_EQ(recorded.header("Content-Type"), std::nullopt);

    server_->route("GET", "/cdn-cgi/trace", ScriptedResponse::text(200, "fl=1\nip=203.0.113.9\nts=1\n"));
    Received<std::string> trace;
    {
        qor::testing::ScopedEnvironment ipEcho("QOR_IP_ECHO_URL", server_->baseURL());
        session_->send(FetchIPRequest::standard(), CallbackQueue::currentMainOrAsync{}, trace.completion());
    }
    ASSERT_TRUE(trace.wait());
    EXPECT_EQ(trace.get().value(), "fl=1\nip=203.0.113.9\nts=1\n");
    recorded = server_->requests().back();
    EXPECT_EQ(recorded.method, "GET");
    EXPECT_EQ(recorded.path, "/cdn-cgi/trace");
    EXPECT_EQ(recorded.query, "");

    server_->route("GET", "/gone", ScriptedResponse::text(404, "nope"));
    Received<std::string> gone;
    session_->send(PassBackRequest(server_->url("/gone")), CallbackQueue::currentMainOrAsync{}, gone.completion());
    ASSERT_TRUE(gone.wait());
    const auto* status = responseReason(gone.get().error()).as<Reason::invalidHTTPStatusAPIError>();
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->detail.rawString(), "nope");
    EXPECT_TRUE(tasksDrained());
}

TEST(CallbackQueue, RunsBlocksWhereItSays) {
    bool ran = false;
    CallbackQueue(CallbackQueue::untouch{}).execute([&] { ran = true; });
    EXPECT_TRUE(ran);

    ran = false;
    CallbackQueue(CallbackQueue::currentMainOrAsync{}).execute([&] { ran = true; });
    EXPECT_TRUE(ran) << "on the main thread it runs at once";

    std::atomic<bool> asyncRan{false};
    CallbackQueue(CallbackQueue::asyncMain{}).execute([&] { asyncRan = true; });
    EXPECT_FALSE(asyncRan) << "asyncMain never runs before execute returns";
    EXPECT_TRUE(qor::testing::pumpMainUntil([&] { return asyncRan.load(); }));

    std::atomic<bool> fromWorkerOnMain{false};
    std::thread([&] {
        CallbackQueue(CallbackQueue::currentMainOrAsync{}).execute([&] {
            fromWorkerOnMain = platform::Thread::isMainThread();
        });
    }).join();
    EXPECT_TRUE(qor::testing::pumpMainUntil([&] { return fromWorkerOnMain.load(); }));

    const auto queue = platform::DispatchQueue::serial("callback.test.qor.io");
    std::atomic<bool> onQueue{false};
    CallbackQueue(CallbackQueue::dispatch{queue}).execute([&] { onQueue = queue->isCurrent(); });
    queue->sync([] {});
    EXPECT_TRUE(onQueue);

    const auto operations = platform::OperationQueue::make("callback.test");
    std::atomic<bool> onOperations{false};
    CallbackQueue(CallbackQueue::operation{operations}).execute([&] { onOperations = operations->isCurrent(); });
    operations->waitUntilAllOperationsAreFinished();
    EXPECT_TRUE(onOperations);

    deliverFailure<std::string>(nullptr, std::make_exception_ptr(std::runtime_error("ignored")));
}

// A completion run inline on the session's delegate queue throws: it was called once, and its
// exception stops the process as that queue's rules say, whether the answer parsed or a bad
// status (with an error body in a known form) stopped it. Each call throws its own number.
using SessionCompletionDeathTest = SessionTest;

TEST_F(SessionCompletionDeathTest, ACompletionThatThrowsIsCalledOnce) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto sendThrowing = [this](const std::string& path) {
        auto calls = std::make_shared<std::atomic<int>>(0);
        session_->send(textRequest(path), CallbackQueue::untouch{}, [calls](Result<std::string>) {
            throw std::runtime_error("completion call " + std::to_string(++*calls));
        });
        qor::testing::pumpMainFor(std::chrono::seconds(5));
    };
    server_->route("GET", "/parsed", ScriptedResponse::text(200, "fine"));
    EXPECT_DEATH(sendThrowing("parsed"), "Fatal error: A block on operation queue .* threw: completion call 1\n");
    server_->route("GET", "/refused",
                   ScriptedResponse::text(400, R"({"error":"denied","error_description":"no"})", "application/json"));
    EXPECT_DEATH(sendThrowing("refused"), "Fatal error: A block on operation queue .* threw: completion call 1\n");
}

TEST(SessionDeathTest, SharedSessionBeforeSetupStops) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(Session::sharedInstance(),
                 "^Fatal error: \\[QORSDK\\] Use Session before setup\\. Please call `QORSDK\\.start\\(\\)` before you "
                 "do any other things in QORSDK\\.\n");
}

}  // namespace
}  // namespace qor
