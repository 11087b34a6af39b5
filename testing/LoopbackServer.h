#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace httplib {
class Server;
}

namespace qor::testing {

class TestCertificate;

using HeaderList = std::vector<std::pair<std::string, std::string>>;
// A body as bytes: the same type as the SDK's byte buffer, without depending on the SDK.
using Bytes = std::vector<std::uint8_t>;

// One request as the server read it.
struct RecordedRequest {
    std::string method;
    std::string path;   // as sent, still percent-encoded
    std::string query;  // as sent, after "?"; empty when there was none
    HeaderList headers;
    Bytes body;
    int remotePort = 0;                               // tells connections apart
    std::chrono::steady_clock::time_point arrivedAt;  // once the whole request was read

    // Case-insensitive; nothing when the field was not sent.
    std::optional<std::string> header(std::string_view name) const;
    std::string bodyString() const { return std::string(body.begin(), body.end()); }
};

// Holds answers back until the test opens it. Opening is for good; answers
// held by a server that stops are let go too.
class ResponseGate {
public:
    void open();
    bool isOpen() const;
    // Until the gate opens or the time passes; whether it opened.
    bool waitUntilOpen(std::chrono::milliseconds timeout) const;

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    bool open_ = false;
};

// What a route answers.
struct ScriptedResponse {
    int status = 200;
    HeaderList headers;  // "Content-Type" defaults to application/octet-stream
    Bytes body;
    // The body goes out in this many writes of about equal size, with the pause
    // between them; the length is announced up front unless `chunked`.
    std::size_t chunkCount = 1;
    std::chrono::milliseconds delayBetweenChunks{0};
    // No length announced: chunked coding, one chunk per write (a trickle, with many writes).
    bool chunked = false;
    // When set, the answer waits (head included) until the gate opens.
    std::shared_ptr<ResponseGate> gate;
    // When set, opened once the whole body has been written to the connection.
    std::shared_ptr<ResponseGate> sent;

    static ScriptedResponse text(int status, std::string_view body, std::string contentType = "text/plain");
};

using RouteHandler = std::function<ScriptedResponse(const RecordedRequest&)>;

// An HTTP or HTTPS server on 127.0.0.1 and a port of the system's choosing,
// answering scripted routes (method + path, query ignored) and recording every
// request. Unknown routes answer 404. Safe to use from any thread.
class LoopbackServer {
public:
    struct Options {
        // Connections served at once; a kept-alive connection holds one.
        std::size_t threadCount = 32;
        // Keep connections open for further requests. Stopping the server then waits
        // (up to a second) for the clients' idle connections unless the clients
        // have closed them first (URLSession does when it is invalidated).
        bool keepAlive = false;
    };

    static std::unique_ptr<LoopbackServer> makeHTTP(Options options);
    static std::unique_ptr<LoopbackServer> makeHTTP() { return makeHTTP(Options{}); }
    // The certificate must outlive the server.
    static std::unique_ptr<LoopbackServer> makeHTTPS(const TestCertificate& certificate, Options options);
    static std::unique_ptr<LoopbackServer> makeHTTPS(const TestCertificate& certificate) {
        return makeHTTPS(certificate, Options{});
    }
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    int port() const { return port_; }
    bool isHTTPS() const { return https_; }
    // "http://127.0.0.1:PORT" (or https); with a host, that host instead of the address.
    std::string baseURL(std::string_view host = "127.0.0.1") const;
    // baseURL() followed by `pathAndQuery`, which starts with "/".
    std::string url(std::string_view pathAndQuery) const;

    void route(std::string method, std::string path, ScriptedResponse response);
    void route(std::string method, std::string path, RouteHandler handler);

    std::vector<RecordedRequest> requests() const;
    std::size_t requestCount() const;
    // Until `count` requests have arrived or the time passes; whether they did.
    bool waitForRequests(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;

    // A port on 127.0.0.1 that nothing listens on (bound, then released).
    static int unusedPort();

private:
    LoopbackServer(std::unique_ptr<httplib::Server> server, bool https, Options options);
    void handle(const void* request, void* response);
    bool waitBetweenChunks(std::chrono::milliseconds delay);

    std::unique_ptr<httplib::Server> server_;
    const bool https_;
    int port_ = 0;
    std::thread thread_;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::map<std::pair<std::string, std::string>, RouteHandler> routes_;
    std::vector<RecordedRequest> requests_;
    std::vector<std::shared_ptr<ResponseGate>> gates_;
    bool stopping_ = false;
};

}  // namespace qor::testing
