#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "testing/LoopbackServer.h"

namespace qor::testing {

// A simulated collection endpoint on 127.0.0.1: it answers POSTs to its collection path and
// records their bodies.
//
// By default a body that is a JSON object holding a "batch" list and a "writeKey" text is
// accepted (200, "OK"); anything else is refused with 400 and a body containing
// "Bad request", as the real endpoint does. A test can script the next answers, or a fixed
// answer for all of them, and hold answers open until it lets them go.
class CollectionServer {
public:
    // One POST to the collection path and the status it was answered with.
    struct AnsweredPost {
        std::string body;
        int status = 0;
    };

    static constexpr const char* collectionPath = "/v1/b";

    static std::unique_ptr<CollectionServer> makeHTTP();
    // The certificate must outlive the server.
    static std::unique_ptr<CollectionServer> makeHTTPS(const TestCertificate& certificate);

    // Stops the server before the state its handler reads goes away.
    ~CollectionServer();

    // Where to post: the server's base URL followed by the collection path (for
    // QOR_COLLECTION_URL).
    std::string collectionURL(std::string_view host = "127.0.0.1") const;
    LoopbackServer& server() { return *server_; }

    // The next answers, one per request, before the default takes over again.
    void answerNext(int status, std::string body);
    // Every answer from now on (scripted next answers still come first).
    void answerAlways(int status, std::string body);
    // Back to judging each body.
    void answerByContent();

    // Answers given after this call wait until releaseAnswers() (or until the server stops).
    void holdAnswers();
    void releaseAnswers();

    // The bodies of the POSTs received so far, in arrival order.
    std::vector<std::string> receivedBodies() const;
    std::vector<RecordedRequest> receivedRequests() const;
    std::size_t receivedCount() const;
    bool waitForPosts(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;
    // Every POST answered so far, in the order answered.
    std::vector<AnsweredPost> answeredPosts() const;

    // How the default judges a body: a JSON object with a "batch" list and a "writeKey" text.
    static bool isWellFormedBatch(const std::string& body);

private:
    explicit CollectionServer(std::unique_ptr<LoopbackServer> server);
    ScriptedResponse answer(const RecordedRequest& request);

    std::unique_ptr<LoopbackServer> server_;
    mutable std::mutex mutex_;
    std::deque<ScriptedResponse> next_;
    std::optional<ScriptedResponse> always_;
    std::shared_ptr<ResponseGate> gate_;
    std::vector<AnsweredPost> answered_;
};

}  // namespace qor::testing
