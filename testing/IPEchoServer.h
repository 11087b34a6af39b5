#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "testing/LoopbackServer.h"

namespace qor::testing {

// A simulated IP-echo service on 127.0.0.1: GET "/cdn-cgi/trace" answers a plain-text trace
// of key=value lines, one of them "ip=" followed by the address it is told to report.
class IPEchoServer {
public:
    static constexpr const char* tracePath = "/cdn-cgi/trace";

    static std::unique_ptr<IPEchoServer> makeHTTP(std::string address = "203.0.113.7");
    static std::unique_ptr<IPEchoServer> makeHTTPS(const TestCertificate& certificate,
                                                   std::string address = "203.0.113.7");

    // For QOR_IP_ECHO_URL: the trace is read from "cdn-cgi/trace" below it.
    // Stops the server before the state its handler reads goes away.
    ~IPEchoServer();

    std::string baseURL(std::string_view host = "127.0.0.1") const;
    LoopbackServer& server() { return *server_; }

    void setAddress(std::string address);
    // Answers exactly this instead of the trace (a missing or empty "ip=" line, a failure).
    void answerWith(int status, std::string body);

    // The trace text for an address.
    static std::string trace(const std::string& address);
    std::size_t lookupCount() const;

private:
    IPEchoServer(std::unique_ptr<LoopbackServer> server, std::string address);
    ScriptedResponse answer();

    std::unique_ptr<LoopbackServer> server_;
    mutable std::mutex mutex_;
    std::string address_;
    std::optional<ScriptedResponse> override_;
};

}  // namespace qor::testing
