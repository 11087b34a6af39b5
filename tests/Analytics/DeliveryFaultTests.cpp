// Delivery under faults: a host error handler that calls back in, collection servers that answer
// badly, the app moving to the background, flushes asked for from any thread.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "Analytics/QORDestination.h"
#include "DeliveryTestSupport.h"
#include "Platform/Dispatch/Thread.h"
#include "Platform/UIKit/UIApplication.h"
#include "testing/FileHelpers.h"
#include "testing/ScopedFaultHandler.h"

namespace qor {
namespace {

using deliverytest::DeliveryEnvironment;
using enginetest::SystemLogCapture;
using testing::pumpMainUntil;

void quiet(Configuration::Values& values) {
    values.flushAt = 1 << 30;
    values.trackApplicationLifecycleEvents = false;
}

void flushAndSettle(QORDestination& destination) {
    destination.flush();
    destination.flushQueue()->sync([] {});
    ASSERT_TRUE(pumpMainUntil([&] { return destination.pendingUploads() == 0; }));
}

// MARK: The host's error handler

// Every write fails (the app home is a plain file). The handler records an event of its own
// and flushes on every call: it must be called on the recording thread, outside the storage
// queue, and neither call may stop the process or wait on a lock its own thread holds. Its
// own event fails too; that failure is not handed back to it, or each call would go one level
// deeper until the stack ran out (the test stops at 8 levels to fail instead of crashing).
TEST(DeliveryFaults, TheErrorHandlerMayRecordAndFlushFromInsideAFailure) {
    DeliveryEnvironment environment;
    const auto blocked = environment.home().path() / "blocked";
    testing::writeFile(blocked, "x");
    testing::ScopedEnvironment blockedHome("QOR_APP_HOME", blocked.string());

    std::weak_ptr<Analytics> weakAnalytics;
    std::atomic<int> calls{0};
    std::atomic<int> deepest{0};
    std::atomic<bool> onStorageQueue{false};
    auto analytics = environment.start([&](Configuration::Values& values) {
        quiet(values);
        values.errorHandler = [&](std::exception_ptr) {
            thread_local int depth = 0;
            ++calls;
            const int level = ++depth;
            for (int seen = deepest.load(); level > seen && !deepest.compare_exchange_weak(seen, level);) {
            }
            if (auto self = weakAnalytics.lock(); self && level < 8) {
                onStorageQueue = onStorageQueue || self->storage()->syncQueue()->isCurrent();
                self->track("Recorded by the error handler");
                self->find<QORDestination>()->flush();
            }
            --depth;
        };
    });
    weakAnalytics = analytics;
    analytics->track("Cannot be stored");
    analytics->find<QORDestination>()->flushQueue()->sync([] {});
    EXPECT_GE(calls.load(), 1);
    EXPECT_EQ(deepest.load(), 1) << "a failure met inside the handler was handed back to it";
    EXPECT_FALSE(onStorageQueue.load());
}

// MARK: Answers the pipeline cannot read

// A server that answers every connection with a 200 head announcing more body than it sends,
// then hangs up.
class CutShortServer {
public:
    CutShortServer() {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length);
        ::listen(listener_, 8);
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~CutShortServer() {
        ::shutdown(listener_, SHUT_RDWR);
        ::close(listener_);
        thread_.join();
    }
    std::string collectionURL() const { return "http://127.0.0.1:" + std::to_string(port_) + "/v1/b"; }
    int answered() const { return answered_.load(); }

private:
    void serve() {
        for (;;) {
            const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (connection < 0) return;
            // The whole request: its head, then as many body bytes as it announced.
            std::string request;
            char buffer[65536];
            std::size_t needed = std::string::npos;
            while (needed == std::string::npos || request.size() < needed) {
                const ssize_t got = ::recv(connection, buffer, sizeof buffer, 0);
                if (got <= 0) break;
                request.append(buffer, static_cast<std::size_t>(got));
                const auto headEnd = request.find("\r\n\r\n");
                if (needed == std::string::npos && headEnd != std::string::npos) {
                    std::size_t body = 0;
                    const auto field = request.find("Content-Length: ");
                    if (field != std::string::npos && field < headEnd) body = std::stoul(request.substr(field + 16));
                    needed = headEnd + 4 + body;
                }
            }
            const std::string answer = "HTTP/1.1 200 OK\r\nContent-Length: 100\r\nConnection: close\r\n\r\nOK";
            ::send(connection, answer.data(), answer.size(), MSG_NOSIGNAL);
            ::close(connection);
            ++answered_;
        }
    }

    int listener_ = -1;
    int port_ = 0;
    std::thread thread_;
    std::atomic<int> answered_{0};
};

// The status decides: a 2xx answer means the server took the batch, so the file goes, whatever
// the body; a body that cannot be read is logged.
TEST(DeliveryFaults, ABatchAnswered2xxIsDeletedEvenWhenItsBodyCannotBeRead) {
    DeliveryEnvironment environment;
    SystemLogCapture log;
    auto analytics = environment.start(quiet);
    const auto destination = analytics->find<QORDestination>();

    // Not UTF-8.
    testing::ScriptedResponse notText;
    notText.status = 200;
    notText.body = platform::Data{0xff, 0xfe, 0x4f, 0x4b};
    environment.collection().server().route("POST", testing::CollectionServer::collectionPath, notText);
    analytics->track("Accepted, unreadable answer");
    flushAndSettle(*destination);
    EXPECT_TRUE(environment.finishedFiles().empty());
    flushAndSettle(*destination);
    EXPECT_EQ(environment.collection().server().requestCount(), 1u) << "the accepted batch went out again";
    EXPECT_EQ(log.count("accepted with status 200; its answer could not be read"), 1u);

    // Cut short.
    CutShortServer cutShort;
    testing::ScopedEnvironment collection("QOR_COLLECTION_URL", cutShort.collectionURL());
    analytics->track("Accepted, answer cut short");
    flushAndSettle(*destination);
    EXPECT_EQ(cutShort.answered(), 1);
    EXPECT_TRUE(environment.finishedFiles().empty());
    flushAndSettle(*destination);
    EXPECT_EQ(cutShort.answered(), 1) << "the accepted batch went out again";
    EXPECT_EQ(log.count("accepted with status 200; its answer could not be read"), 2u);
}

// The "DMP tracking result: " line keeps the cause of a failed upload.
TEST(DeliveryFaults, TheTrackingResultLineShowsTheErrorItself) {
    DeliveryEnvironment environment;
    auto analytics = environment.start(quiet);
    const auto destination = analytics->find<QORDestination>();
    analytics->track("Refused");
    environment.collection().answerNext(503, "Service unavailable");
    ::testing::internal::CaptureStdout();
    flushAndSettle(*destination);
    {
        testing::ScopedEnvironment nowhere(
            "QOR_COLLECTION_URL",
            "http://127.0.0.1:" + std::to_string(testing::LoopbackServer::unusedPort()) + "/v1/b");
        flushAndSettle(*destination);
    }
    const std::string output = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(output.find("DMP tracking result: responseFailed(reason: .invalidHTTPStatusAPIError(detail: "
                          "APIErrorDetail(code: 503, error: nil, raw: HTTPURLResponse(url: \"" +
                          environment.collection().collectionURL() +
                          "\", statusCode: 503), rawString: \"Service unavailable\")))\n"),
              std::string::npos)
        << output;
    EXPECT_NE(output.find("DMP tracking result: responseFailed(reason: .URLSessionError(URLError(code: -1004, "),
              std::string::npos)
        << output;
}

// MARK: The flush timer

TEST(DeliveryFaults, TheFlushTimerKeepsItsPausedStateAcrossSystemChanges) {
    DeliveryEnvironment environment;
    auto analytics = environment.start(quiet);
    const auto destination = analytics->find<QORDestination>();
    const auto application = platform::UIApplication::shared();
    application->postEnterBackground();
    enginetest::drainMainQueue();
    const auto timer = destination->flushTimer();
    ASSERT_EQ(timer->state(), QueueTimer::State::suspended);

    // A change that leaves the interval alone keeps the very timer, still paused.
    analytics->setEnabled(false);
    analytics->setEnabled(true);
    enginetest::drainMainQueue();
    EXPECT_EQ(destination->flushTimer(), timer);
    EXPECT_EQ(timer->state(), QueueTimer::State::suspended) << "uploads would restart in the background";

    // A new interval makes a new timer, paused too while in the background.
    analytics->configuration()->modifyValues([](Configuration::Values& values) { values.flushInterval = 0.05; });
    analytics->setEnabled(true);
    enginetest::drainMainQueue();
    ASSERT_NE(destination->flushTimer(), timer);
    EXPECT_EQ(destination->flushTimer()->interval(), 0.05);
    EXPECT_EQ(destination->flushTimer()->state(), QueueTimer::State::suspended);
    application->postEnterForeground();
    enginetest::drainMainQueue();
    EXPECT_EQ(destination->flushTimer()->state(), QueueTimer::State::resumed);
}

TEST(DeliveryFaults, TheDestinationFollowsTheSystemStateOnce) {
    DeliveryEnvironment environment;
    auto without = environment.start([](Configuration::Values& values) {
        quiet(values);
        values.autoAddQORDestination = false;
    });
    auto with = environment.start(quiet, "other-key");
    EXPECT_EQ(with->store()->subscriptionCount(), without->store()->subscriptionCount() + 1);
    // Configured again, as a host may do: still one.
    with->find<QORDestination>()->configure(with);
    EXPECT_EQ(with->store()->subscriptionCount(), without->store()->subscriptionCount() + 1);
}

// MARK: Flushes off the main thread

std::atomic<bool> holdUploads{false};
std::atomic<bool> finishedOnMain{false};

bool watchFlushes(const char* point) {
    if (std::strcmp(point, "Storage.finish.closingWritten") == 0 && platform::Thread::isMainThread()) {
        finishedOnMain = true;
    }
    if (std::strcmp(point, "QORDestination.upload.started") == 0 && holdUploads.load()) {
        // The upload has started: let its answer arrive (and, were the completion not held
        // back until the registration, let it run) before the flush goes on.
        const auto session = Session::sharedInstance();
        for (int wait = 0; wait < 200 && session->delegate()->taskCount() != 0; ++wait) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

// A flush started on a background thread whose upload is answered at once: the upload must not
// stay counted as pending, nor its background task open. The main run loop turns all along (an
// answer may be handed to it), and the flush block has ended before the count is trusted.
TEST(DeliveryFaults, AnUploadAnsweredAtOnceNeverStaysPending) {
    DeliveryEnvironment environment;
    auto analytics = environment.start(quiet);
    const auto destination = analytics->find<QORDestination>();
    const auto application = platform::UIApplication::shared();
    analytics->track("Answered at once");
    holdUploads = true;
    const testing::ScopedFaultHandler faultHandler(&watchFlushes);
    std::thread flusher([&] { destination->flush(); });
    flusher.join();
    std::atomic<bool> flushEnded{false};
    destination->flushQueue()->async([&] { flushEnded = true; });
    const bool settled = pumpMainUntil([&] {
        return flushEnded.load() && environment.collection().receivedCount() == 1 && destination->pendingUploads() == 0;
    });
    holdUploads = false;
    EXPECT_TRUE(settled) << "the upload is still counted as pending";
    EXPECT_TRUE(pumpMainUntil([&] { return application->backgroundTasks().empty(); }))
        << "its background task is still open";
}

// The main run loop never waits for the disk: a flush asked for there (the timer, the app going
// to the background) finishes and lists the batch files elsewhere.
TEST(DeliveryFaults, FlushesAskedForOnTheMainThreadDoTheirFileWorkElsewhere) {
    DeliveryEnvironment environment;
    auto analytics = environment.start(quiet);
    const auto destination = analytics->find<QORDestination>();
    finishedOnMain = false;
    const testing::ScopedFaultHandler faultHandler(&watchFlushes);
    analytics->track("Before background");
    platform::UIApplication::shared()->postEnterBackground();
    ASSERT_TRUE(environment.collection().waitForPosts(1));
    destination->flush();
    destination->flushQueue()->sync([] {});
    EXPECT_FALSE(finishedOnMain.load());
    platform::UIApplication::shared()->postEnterForeground();
}

std::atomic<int> suiteWrites{0};
std::atomic<int> suiteWritesOnMain{0};

bool countSuiteWrites(const char* point) {
    if (std::strcmp(point, "replaceFileAtomically.temporaryOpen") != 0) return false;
    ++suiteWrites;
    if (platform::Thread::isMainThread()) ++suiteWritesOnMain;
    return false;
}

// One change of the user (identify with traits) is one write of the defaults suite, and the main
// run loop, where the change is handled, does not wait for it.
TEST(DeliveryFaults, AUserChangeWritesTheDefaultsSuiteOnce) {
    DeliveryEnvironment environment;
    auto analytics = environment.start(quiet);
    analytics->track("The batch counter is stored once");
    analytics->storage()->syncQueue()->sync([] {});
    suiteWrites = 0;
    suiteWritesOnMain = 0;
    const testing::ScopedFaultHandler faultHandler(&countSuiteWrites);
    analytics->identify("user-7", platform::AnyDictionary{{"plan", "gold"}});
    enginetest::drainMainQueue();
    analytics->storage()->syncQueue()->sync([] {});
    EXPECT_EQ(suiteWrites.load(), 1);
    EXPECT_EQ(suiteWritesOnMain.load(), 0) << "the main thread wrote the suite";
    EXPECT_EQ(analytics->storage()->readUserId(), "user-7");
}

}  // namespace
}  // namespace qor
