#include "testing/LoopbackServer.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <stdexcept>

#include "testing/TestCertificate.h"

// The HTTP library is a prebuilt, uninstrumented shared library: ThreadSanitizer
// sees its memory accesses through interceptors (memcmp, ...) but not the
// synchronisation inlined into it (function-local statics), and reports races
// that are not there. Our own code around it stays checked.
extern "C" const char* __tsan_default_suppressions() { return "called_from_lib:libcpp-httplib.so\n"; }

namespace qor::testing {

namespace {

// Fields httplib adds to what it read; they were never sent.
bool isSynthetic(const std::string& name) {
    return name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" || name == "LOCAL_PORT";
}

// Field names compare without case.
bool namesEqual(std::string_view lhs, std::string_view rhs) {
    return std::ranges::equal(lhs, rhs,
                              [](unsigned char a, unsigned char b) { return std::tolower(a) == std::tolower(b); });
}

}  // namespace

std::optional<std::string> RecordedRequest::header(std::string_view name) const {
    const auto found = std::ranges::find_if(headers, [&](const auto& field) { return namesEqual(field.first, name); });
    if (found == headers.end()) return std::nullopt;
    return found->second;
}

void ResponseGate::open() {
    {
        std::lock_guard lock(mutex_);
        open_ = true;
    }
    changed_.notify_all();
}

bool ResponseGate::isOpen() const {
    std::lock_guard lock(mutex_);
    return open_;
}

bool ResponseGate::waitUntilOpen(std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return open_; });
}

ScriptedResponse ScriptedResponse::text(int status, std::string_view body, std::string contentType) {
    ScriptedResponse response;
    response.status = status;
    response.headers.emplace_back("Content-Type", std::move(contentType));
    response.body.assign(body.begin(), body.end());
    return response;
}

std::unique_ptr<LoopbackServer> LoopbackServer::makeHTTP(Options options) {
    return std::unique_ptr<LoopbackServer>(new LoopbackServer(std::make_unique<httplib::Server>(), false, options));
}

std::unique_ptr<LoopbackServer> LoopbackServer::makeHTTPS(const TestCertificate& certificate, Options options) {
    auto server = std::make_unique<httplib::SSLServer>(certificate.serverCertificate(), certificate.serverKey());
    if (!server->is_valid()) throw std::runtime_error("LoopbackServer: TLS set-up failed");
    return std::unique_ptr<LoopbackServer>(new LoopbackServer(std::move(server), true, options));
}

LoopbackServer::LoopbackServer(std::unique_ptr<httplib::Server> server, bool https, Options options)
    : server_(std::move(server)), https_(https) {
    auto threads = std::max<std::size_t>(options.threadCount, 1);
    server_->new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
    server_->set_tcp_nodelay(true);  // answers go out as head and body writes
    // A kept-alive connection holds a server thread, and stopping waits for it to
    // go idle for the keep-alive time; by default every answer closes its connection.
    server_->set_keep_alive_max_count(options.keepAlive ? 100000 : 1);
    server_->set_keep_alive_timeout(1);
    server_->set_payload_max_length(64 * 1024 * 1024);
    auto handler = [this](const httplib::Request& request, httplib::Response& response) {
        handle(&request, &response);
    };
    server_->Get(".*", handler);
    server_->Post(".*", handler);
    server_->Put(".*", handler);
    server_->Patch(".*", handler);
    server_->Delete(".*", handler);
    server_->Options(".*", handler);
    // Binding also starts listening: clients may connect before the accept loop runs.
    port_ = server_->bind_to_any_port("127.0.0.1");
    if (port_ <= 0) throw std::runtime_error("LoopbackServer: cannot bind to 127.0.0.1");
    thread_ = std::thread([this] { server_->listen_after_bind(); });
}

LoopbackServer::~LoopbackServer() {
    std::vector<std::shared_ptr<ResponseGate>> gates;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        gates = gates_;
    }
    changed_.notify_all();
    for (auto& gate : gates) gate->open();
    // stop() only takes once the accept loop runs.
    while (!server_->is_running() && thread_.joinable()) std::this_thread::yield();
    server_->stop();
    thread_.join();
}

std::string LoopbackServer::baseURL(std::string_view host) const {
    return std::string(https_ ? "https://" : "http://") + std::string(host) + ":" + std::to_string(port_);
}

std::string LoopbackServer::url(std::string_view pathAndQuery) const { return baseURL() + std::string(pathAndQuery); }

void LoopbackServer::route(std::string method, std::string path, ScriptedResponse response) {
    route(std::move(method), std::move(path), [response](const RecordedRequest&) { return response; });
}

void LoopbackServer::route(std::string method, std::string path, RouteHandler handler) {
    std::lock_guard lock(mutex_);
    routes_[{std::move(method), std::move(path)}] = std::move(handler);
}

std::vector<RecordedRequest> LoopbackServer::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

std::size_t LoopbackServer::requestCount() const {
    std::lock_guard lock(mutex_);
    return requests_.size();
}

bool LoopbackServer::waitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return requests_.size() >= count; });
}

bool LoopbackServer::waitBetweenChunks(std::chrono::milliseconds delay) {
    std::unique_lock lock(mutex_);
    return !changed_.wait_for(lock, delay, [&] { return stopping_; });
}

void LoopbackServer::handle(const void* rawRequest, void* rawResponse) {
    const auto& request = *static_cast<const httplib::Request*>(rawRequest);
    auto& response = *static_cast<httplib::Response*>(rawResponse);

    RecordedRequest record;
    record.arrivedAt = std::chrono::steady_clock::now();
    record.method = request.method;
    auto question = request.target.find('?');
    record.path = request.target.substr(0, question);
    if (question != std::string::npos) record.query = request.target.substr(question + 1);
    for (const auto& [name, value] : request.headers) {
        if (!isSynthetic(name)) record.headers.emplace_back(name, value);
    }
    record.body.assign(request.body.begin(), request.body.end());
    record.remotePort = request.remote_port;

    RouteHandler handler;
    {
        std::lock_guard lock(mutex_);
        auto found = routes_.find({record.method, record.path});
        if (found == routes_.end() && record.method == "HEAD") found = routes_.find({"GET", record.path});
        if (found != routes_.end()) handler = found->second;
        requests_.push_back(record);
    }
    changed_.notify_all();

    ScriptedResponse script = handler ? handler(record) : ScriptedResponse::text(404, "");
    if (script.gate) {
        {
            std::lock_guard lock(mutex_);
            if (stopping_) script.gate->open();
            gates_.push_back(script.gate);
        }
        script.gate->waitUntilOpen(std::chrono::hours(1));
    }

    response.status = script.status;
    std::string contentType = "application/octet-stream";
    for (const auto& [name, value] : script.headers) {
        if (namesEqual(name, "Content-Type")) {
            contentType = value;
        } else {
            response.set_header(name, value);
        }
    }
    auto body = std::make_shared<std::string>(script.body.begin(), script.body.end());
    std::size_t chunks = std::max<std::size_t>(script.chunkCount, 1);
    if ((chunks == 1 && !script.chunked && !script.sent) || body->empty()) {
        response.set_content(*body, contentType);
        return;
    }
    std::size_t chunkSize = (body->size() + chunks - 1) / chunks;
    auto delay = script.delayBetweenChunks;
    if (script.chunked) {
        response.set_chunked_content_provider(
            contentType, [this, body, chunkSize, delay](std::size_t offset, httplib::DataSink& sink) {
                if (offset >= body->size()) {
                    sink.done();
                    return true;
                }
                if (offset > 0 && delay.count() > 0 && !waitBetweenChunks(delay)) return false;
                return sink.write(body->data() + offset, std::min(chunkSize, body->size() - offset));
            });
        return;
    }
    response.set_content_provider(body->size(), contentType,
                                  [this, body, chunkSize, delay, sent = script.sent](
                                      std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                                      if (offset > 0 && delay.count() > 0 && !waitBetweenChunks(delay)) return false;
                                      std::size_t size = std::min(chunkSize, length);
                                      if (!sink.write(body->data() + offset, size)) return false;
                                      if (sent && size == length) sent->open();
                                      return true;
                                  });
}

int LoopbackServer::unusedPort() {
    int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    if (socket < 0) throw std::runtime_error("unusedPort: no socket");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    int port = -1;
    if (::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    ::close(socket);
    if (port <= 0) throw std::runtime_error("unusedPort: cannot bind");
    return port;
}

}  // namespace qor::testing
