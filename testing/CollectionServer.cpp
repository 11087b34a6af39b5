#include "testing/CollectionServer.h"

#include <nlohmann/json.hpp>

namespace qor::testing {

CollectionServer::CollectionServer(std::unique_ptr<LoopbackServer> server) : server_(std::move(server)) {
    server_->route("POST", collectionPath, [this](const RecordedRequest& request) { return answer(request); });
}

CollectionServer::~CollectionServer() { server_.reset(); }

std::unique_ptr<CollectionServer> CollectionServer::makeHTTP() {
    return std::unique_ptr<CollectionServer>(new CollectionServer(LoopbackServer::makeHTTP()));
}

std::unique_ptr<CollectionServer> CollectionServer::makeHTTPS(const TestCertificate& certificate) {
    return std::unique_ptr<CollectionServer>(new CollectionServer(LoopbackServer::makeHTTPS(certificate)));
}

std::string CollectionServer::collectionURL(std::string_view host) const {
    return server_->baseURL(host) + collectionPath;
}

void CollectionServer::answerNext(int status, std::string body) {
    std::lock_guard<std::mutex> guard(mutex_);
    next_.push_back(ScriptedResponse::text(status, body));
}

void CollectionServer::answerAlways(int status, std::string body) {
    std::lock_guard<std::mutex> guard(mutex_);
    always_ = ScriptedResponse::text(status, body);
}

void CollectionServer::answerByContent() {
    std::lock_guard<std::mutex> guard(mutex_);
    always_.reset();
}

void CollectionServer::holdAnswers() {
    std::lock_guard<std::mutex> guard(mutex_);
    if (!gate_ || gate_->isOpen()) gate_ = std::make_shared<ResponseGate>();
}

void CollectionServer::releaseAnswers() {
    std::shared_ptr<ResponseGate> gate;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        gate = std::move(gate_);
    }
    if (gate) gate->open();
}

bool CollectionServer::isWellFormedBatch(const std::string& body) {
    const auto parsed = nlohmann::json::parse(body, nullptr, false);
    if (parsed.is_discarded() || !parsed.is_object()) return false;
    const auto batch = parsed.find("batch");
    const auto writeKey = parsed.find("writeKey");
    return batch != parsed.end() && batch->is_array() && writeKey != parsed.end() && writeKey->is_string();
}

ScriptedResponse CollectionServer::answer(const RecordedRequest& request) {
    ScriptedResponse response;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (!next_.empty()) {
            response = std::move(next_.front());
            next_.pop_front();
        } else if (always_) {
            response = *always_;
        } else if (isWellFormedBatch(request.bodyString())) {
            response = ScriptedResponse::text(200, "OK");
        } else {
            response = ScriptedResponse::text(400, "Bad request: not a batch");
        }
        response.gate = gate_;
        answered_.push_back({request.bodyString(), response.status});
    }
    return response;
}

std::vector<CollectionServer::AnsweredPost> CollectionServer::answeredPosts() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return answered_;
}

std::vector<RecordedRequest> CollectionServer::receivedRequests() const {
    std::vector<RecordedRequest> posts;
    for (auto& request : server_->requests()) {
        if (request.method == "POST" && request.path == collectionPath) posts.push_back(std::move(request));
    }
    return posts;
}

std::vector<std::string> CollectionServer::receivedBodies() const {
    std::vector<std::string> bodies;
    for (const auto& request : receivedRequests()) bodies.push_back(request.bodyString());
    return bodies;
}

std::size_t CollectionServer::receivedCount() const { return receivedRequests().size(); }

bool CollectionServer::waitForPosts(std::size_t count, std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        // The total is read before the POSTs are counted, so a request that arrives in
        // between still ends the wait below.
        const std::size_t seen = server_->requestCount();
        if (receivedCount() >= count) break;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        server_->waitForRequests(seen + 1, left);
    }
    return true;
}

}  // namespace qor::testing
