// A host app outside the SDK's tree, as small as one gets: it includes only the umbrella header,
// starts the SDK with its write key, records one analytics event, flushes, and checks that the
// event reached the collection endpoint. Everything start-up reaches (the ad network, the
// collection endpoint, the IP-echo service) is pointed at a loopback HTTP server of its own, so
// nothing leaves the machine; the container download and the IP lookup are answered 404, which
// the SDK logs and carries on. Exits 0 when the collection endpoint received the event.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

#include <QORUniversalSDK/QORUniversalSDK.h>

namespace {

// A plain HTTP/1.1 server on 127.0.0.1, one connection at a time on a thread of its own: a POST
// to the collection path is answered 200 and its body kept, anything else 404.
class LoopbackCollector {
public:
    static constexpr const char* collectionPath = "/v1/b";

    LoopbackCollector() : listener_(socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(listener_, 8) != 0 ||
            getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            throw std::runtime_error("cannot listen on 127.0.0.1");
        }
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }

    ~LoopbackCollector() {
        shutdown(listener_, SHUT_RDWR);  // ends the blocked accept
        thread_.join();
        close(listener_);
    }

    std::string baseURL() const { return "http://127.0.0.1:" + std::to_string(port_); }

    bool received(const std::string& text) const {
        std::lock_guard<std::mutex> lock(mutex_);
        return bodies_.find(text) != std::string::npos;
    }

private:
    void serve() {
        for (int connection; (connection = accept(listener_, nullptr, nullptr)) >= 0; close(connection)) {
            answer(connection);
        }
    }

    void answer(int connection) {
        std::string request;
        std::size_t headEnd;
        while ((headEnd = request.find("\r\n\r\n")) == std::string::npos) {
            if (!receive(connection, request)) return;
        }
        std::string head = request.substr(0, headEnd);
        std::transform(head.begin(), head.end(), head.begin(), [](unsigned char c) { return std::tolower(c); });
        const std::size_t field = head.find("\r\ncontent-length:");
        const std::size_t length =
            field == std::string::npos ? 0 : std::strtoul(head.c_str() + field + 17, nullptr, 10);
        while (request.size() < headEnd + 4 + length) {
            if (!receive(connection, request)) return;
        }
        const bool collected = request.starts_with(std::string("POST ") + collectionPath + " ");
        if (collected) {
            std::lock_guard<std::mutex> lock(mutex_);
            bodies_ += request.substr(headEnd + 4, length);
        }
        const std::string reply = collected
                                      ? "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nOK"
                                      : "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
        send(connection, reply.data(), reply.size(), MSG_NOSIGNAL);
    }

    static bool receive(int connection, std::string& into) {
        char buffer[4096];
        const ssize_t count = recv(connection, buffer, sizeof buffer, 0);
        if (count <= 0) return false;
        into.append(buffer, static_cast<std::size_t>(count));
        return true;
    }

    const int listener_;
    int port_ = 0;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::string bodies_;
};

}  // namespace

int main() {
    LoopbackCollector collector;
    setenv("QOR_AD_NETWORK_PRODUCTION_URL", collector.baseURL().c_str(), 1);
    setenv("QOR_COLLECTION_URL", (collector.baseURL() + LoopbackCollector::collectionPath).c_str(), 1);
    setenv("QOR_IP_ECHO_URL", collector.baseURL().c_str(), 1);

    using qor::QOR;
    QOR::start(std::make_shared<QOR::Config>("consumer-write-key", std::nullopt));
    QOR::track("Consumer Opened", qor::platform::AnyDictionary{{"installed", true}});
    // Uploads the batch now rather than at the next tick of the flush timer.
    qor::Analytics::sharedInstance()->apply([](const std::shared_ptr<qor::Plugin>& plugin) {
        if (const auto eventPlugin = std::dynamic_pointer_cast<qor::EventPlugin>(plugin)) eventPlugin->flush();
    });

    // The SDK's main-thread work runs only while the app runs the main run loop.
    const bool arrived = qor::platform::RunLoop::main().runUntil(
        [&] { return collector.received("\"Consumer Opened\"") && collector.received("consumer-write-key"); },
        std::chrono::seconds(20));
    if (!arrived) {
        std::cerr << "the tracked event did not reach the loopback collection endpoint\n";
        return 1;
    }
    std::cout << "tracked one event through the installed QORUniversalSDK; the collection endpoint received it\n";
    return 0;
}
