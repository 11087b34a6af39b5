#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <typeindex>
#include <vector>

#include "Platform/Dispatch/Thread.h"
#include "Platform/Foundation/HTTPURLResponse.h"
#include "Views/ImageManager.h"
#include "testing/LoopbackServer.h"
#include "testing/MainLoopPump.h"
#include "testing/TestImages.h"

namespace qor {
namespace {

using platform::Data;
using platform::URL;
using testing::LoopbackServer;
using testing::ScriptedResponse;
using Reason = QORSDKError::ResponseErrorReason;

ScriptedResponse answer(int status, Data body) {
    ScriptedResponse response;
    response.status = status;
    response.body = std::move(body);
    return response;
}

Data text(const std::string& string) { return Data(string.begin(), string.end()); }

// Waits on the main loop for one load of the manager.
std::optional<ImageResult> load(ImageManager& manager, const std::string& url) {
    std::optional<ImageResult> outcome;
    manager.loadImage(*URL::make(url), CallbackQueue::currentMainOrAsync{},
                      [&](const ImageResult& result) { outcome = result; });
    // Long enough for 16 MiB from the server under a sanitizer on a loaded machine.
    testing::pumpMainUntil([&] { return outcome.has_value(); }, std::chrono::seconds(30));
    return outcome;
}

const Reason* responseReason(const ImageResult& result) {
    if (result.isSuccess()) return nullptr;
    const auto* failed = result.error().as<QORSDKError::responseFailed>();
    return failed ? &failed->reason : nullptr;
}

class ImageLoadingTest : public ::testing::Test {
protected:
    std::unique_ptr<LoopbackServer> server_ = LoopbackServer::makeHTTP();
    ImageManager manager_;
};

TEST_F(ImageLoadingTest, RealImagesDecodeToTheirPixelSizeAndAnythingElseFailsCarryingTheBody) {
    const auto png = testing::makePNG(30, 20);
    Data truncated = png;
    truncated.resize(truncated.size() / 2);
    struct Case {
        std::string path;
        int status;
        Data body;
        std::optional<platform::CGSize> size;  // success
        bool parsingFailed;                    // else nonHTTPURLResponse
    };
    const std::vector<Case> cases = {
        {"/a.png", 200, png, platform::CGSize{30, 20}, false},
        {"/a.jpg", 200, testing::makeJPEG(16, 9), platform::CGSize{16, 9}, false},
        {"/a.gif", 201, testing::makeGIF(7, 5), platform::CGSize{7, 5}, false},
        {"/truncated.png", 200, truncated, std::nullopt, true},
        {"/page.html", 200, text("<html>not an image</html>"), std::nullopt, true},
        {"/empty", 200, Data{}, std::nullopt, true},
        // Refused by its header, above the pixel budget: the same failure as any other non-image.
        {"/too-wide.gif", 200, testing::makeGIF(platform::UIImage::maxPixelsPerSide + 1, 1), std::nullopt, true},
        // An image body does not make a failed status a success.
        {"/missing.png", 404, png, std::nullopt, false},
        {"/busy.png", 503, png, std::nullopt, false},
    };
    for (const auto& c : cases) server_->route("GET", c.path, answer(c.status, c.body));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const auto outcome = load(manager_, server_->url(c.path));
        ASSERT_TRUE(outcome.has_value());
        if (c.size) {
            ASSERT_TRUE(outcome->isSuccess()) << outcome->error().description();
            EXPECT_EQ(outcome->value()->size().width, c.size->width);
            EXPECT_EQ(outcome->value()->size().height, c.size->height);
            continue;
        }
        const auto* reason = responseReason(*outcome);
        ASSERT_NE(reason, nullptr);
        if (c.parsingFailed) {
            const auto* parsing = reason->as<Reason::dataParsingFailed>();
            ASSERT_NE(parsing, nullptr);
            EXPECT_EQ(parsing->type, std::type_index(typeid(platform::UIImage)));
            EXPECT_EQ(parsing->data, c.body);
            EXPECT_FALSE(parsing->error.has_value());
        } else {
            EXPECT_NE(reason->as<Reason::nonHTTPURLResponse>(), nullptr);
        }
    }
    EXPECT_EQ(manager_.cache().count(), 3U);  // the three images, no failure

    // An answer longer than any image may be ends as the transport's failure, not as memory spent.
    server_->route("GET", "/huge.png", answer(200, Data(ImageDownloader::maximumImageLength + 1, 0)));
    const auto huge = load(manager_, server_->url("/huge.png"));
    ASSERT_TRUE(huge.has_value());
    ASSERT_NE(responseReason(*huge), nullptr);
    const auto* transport = responseReason(*huge)->as<Reason::URLSessionError>();
    ASSERT_NE(transport, nullptr);
    const auto* urlError = transport->error.as<platform::URLError>();
    ASSERT_NE(urlError, nullptr);
    EXPECT_EQ(urlError->code(), platform::URLError::Code::dataLengthExceedsMaximum);
    EXPECT_EQ(manager_.cache().count(), 3U);
}

TEST_F(ImageLoadingTest, AnswersWithoutDataOrWithoutAnHTTPResponseFailAsTheRulesSay) {
    const auto url = *URL::make("http://127.0.0.1/x.png");
    const auto ok = std::make_shared<platform::HTTPURLResponse>(url, 200, platform::HTTPHeaderFields{});
    const platform::URLError transport(platform::URLError::Code::networkConnectionLost, "lost");
    const auto withError = ImageDownloader::result(std::nullopt, ok, transport);
    ASSERT_NE(responseReason(withError), nullptr);
    EXPECT_NE(responseReason(withError)->as<Reason::URLSessionError>(), nullptr);
    const auto withoutError = ImageDownloader::result(std::nullopt, ok, std::nullopt);
    EXPECT_NE(responseReason(withoutError)->as<Reason::nonHTTPURLResponse>(), nullptr);
    // A 2xx answer that has data is decoded even when an error came with it.
    EXPECT_TRUE(ImageDownloader::result(testing::makePNG(2, 2), ok, transport).isSuccess());

    // Nothing listens: no answer at all, not the transport error.
    const auto refused = load(manager_, "http://127.0.0.1:" + std::to_string(LoopbackServer::unusedPort()) + "/i.png");
    ASSERT_TRUE(refused.has_value());
    EXPECT_NE(responseReason(*refused)->as<Reason::nonHTTPURLResponse>(), nullptr);
}

TEST_F(ImageLoadingTest, TheCacheAnswersRepeatsWithoutARequestAndKeepsNoFailure) {
    server_->route("GET", "/icon.png", answer(200, testing::makePNG(4, 4)));
    server_->route("GET", "/flaky.png", answer(500, Data{}));
    const auto icon = server_->url("/icon.png");

    // Without a completion a miss still downloads and caches.
    manager_.loadImage(*URL::make(icon), CallbackQueue::currentMainOrAsync{});
    ASSERT_TRUE(testing::pumpMainUntil([&] { return manager_.cache().count() == 1; }));
    EXPECT_EQ(server_->requestCount(), 1U);

    // A hit asked for on the main thread completes before loadImage returns, with the same image.
    std::shared_ptr<platform::UIImage> first;
    manager_.loadImage(*URL::make(icon), CallbackQueue::currentMainOrAsync{},
                       [&](const ImageResult& result) { first = result.value(); });
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, *manager_.cache().object(*URL::make(icon)));
    // ... and one asked for on another thread later, on the main thread.
    std::atomic<bool> onMain{false}, called{false};
    std::thread([&] {
        manager_.loadImage(*URL::make(icon), CallbackQueue::currentMainOrAsync{}, [&](const ImageResult& result) {
            onMain = platform::Thread::isMainThread() && result.isSuccess();
            called = true;
        });
    }).join();
    EXPECT_FALSE(called);
    ASSERT_TRUE(testing::pumpMainUntil([&] { return called.load(); }));
    EXPECT_TRUE(onMain);
    EXPECT_EQ(server_->requestCount(), 1U);

    // A failure is asked for again each time.
    EXPECT_TRUE(load(manager_, server_->url("/flaky.png"))->isFailure());
    EXPECT_TRUE(load(manager_, server_->url("/flaky.png"))->isFailure());
    EXPECT_EQ(server_->requestCount(), 3U);
}

TEST_F(ImageLoadingTest, TwoLoadsOfOneUncachedURLDownloadTwiceAndBothComplete) {
    auto gate = std::make_shared<testing::ResponseGate>();
    auto response = answer(200, testing::makePNG(3, 3));
    response.gate = gate;
    server_->route("GET", "/slow.png", response);
    const auto url = *URL::make(server_->url("/slow.png"));
    int completed = 0;
    for (int i = 0; i < 2; ++i) {
        manager_.loadImage(url, CallbackQueue::currentMainOrAsync{}, [&](const ImageResult& result) {
            EXPECT_TRUE(result.isSuccess());
            ++completed;
        });
    }
    ASSERT_TRUE(server_->waitForRequests(2));
    gate->open();
    ASSERT_TRUE(testing::pumpMainUntil([&] { return completed == 2; }));
    EXPECT_EQ(manager_.cache().count(), 1U);
    EXPECT_EQ(ImageManager::shared().cache().countLimit(), 500U);
}

// A GIF at the pixel budget that clears its table every second pixel takes the longest to check
// of the images within the budgets. A small image asked for once that one has arrived in full
// completes before it: the first check holds back no other load.
TEST_F(ImageLoadingTest, AnImageSlowToCheckHoldsBackNoOtherLoad) {
    constexpr int side = platform::UIImage::maxPixelsPerSide;
    auto slow = answer(200, testing::makeGIF(side, side));
    slow.sent = std::make_shared<testing::ResponseGate>();
    server_->route("GET", "/slow.gif", slow);
    server_->route("GET", "/small.png", answer(200, testing::makePNG(2, 2)));
    std::vector<std::string> completed;
    const auto record = [&](std::string name) {
        return [&completed, name](const ImageResult& result) {
            EXPECT_TRUE(result.isSuccess()) << name;
            completed.push_back(name);
        };
    };
    manager_.loadImage(*URL::make(server_->url("/slow.gif")), CallbackQueue::currentMainOrAsync{}, record("slow"));
    ASSERT_TRUE(slow.sent->waitUntilOpen(std::chrono::seconds(10)));
    manager_.loadImage(*URL::make(server_->url("/small.png")), CallbackQueue::currentMainOrAsync{}, record("small"));
    ASSERT_TRUE(testing::pumpMainUntil([&] { return completed.size() == 2; }, std::chrono::seconds(60)));
    EXPECT_EQ(completed, (std::vector<std::string>{"small", "slow"}));
    EXPECT_EQ(manager_.cache().object(*URL::make(server_->url("/slow.gif"))).value()->size(),
              (platform::CGSize{side, side}));
}

}  // namespace
}  // namespace qor
