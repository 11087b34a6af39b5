#include "testing/IPEchoServer.h"

namespace qor::testing {

IPEchoServer::IPEchoServer(std::unique_ptr<LoopbackServer> server, std::string address)
    : server_(std::move(server)), address_(std::move(address)) {
    server_->route("GET", tracePath, [this](const RecordedRequest&) { return answer(); });
}

IPEchoServer::~IPEchoServer() { server_.reset(); }

std::unique_ptr<IPEchoServer> IPEchoServer::makeHTTP(std::string address) {
    return std::unique_ptr<IPEchoServer>(new IPEchoServer(LoopbackServer::makeHTTP(), std::move(address)));
}

std::unique_ptr<IPEchoServer> IPEchoServer::makeHTTPS(const TestCertificate& certificate, std::string address) {
    return std::unique_ptr<IPEchoServer>(new IPEchoServer(LoopbackServer::makeHTTPS(certificate), std::move(address)));
}

std::string IPEchoServer::baseURL(std::string_view host) const { return server_->baseURL(host); }

void IPEchoServer::setAddress(std::string address) {
    std::lock_guard<std::mutex> guard(mutex_);
    address_ = std::move(address);
    override_.reset();
}

void IPEchoServer::answerWith(int status, std::string body) {
    std::lock_guard<std::mutex> guard(mutex_);
    override_ = ScriptedResponse::text(status, body);
}

std::string IPEchoServer::trace(const std::string& address) {
    return "fl=1f1\nh=collect.example\nip=" + address +
           "\nts=1733731200.123\nvisit_scheme=https\nuag=test\n"
           "colo=LHR\nhttp=http/1.1\nloc=GB\ntls=off\nsni=off\nwarp=off\n";
}

ScriptedResponse IPEchoServer::answer() {
    std::lock_guard<std::mutex> guard(mutex_);
    if (override_) return *override_;
    return ScriptedResponse::text(200, trace(address_));
}

std::size_t IPEchoServer::lookupCount() const {
    std::size_t count = 0;
    for (const auto& request : server_->requests()) count += request.path == tracePath ? 1 : 0;
    return count;
}

}  // namespace qor::testing
