#include "Platform/Net/TransferEngine.h"

#include <curl/curl.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "Platform/Foundation/HTTPURLResponse.h"
#include "Platform/Net/FreedMemory.h"
#include "Platform/Net/RemoteReach.h"
#include "Platform/Net/URLSession.h"
#include "Platform/Support/ASCIIText.h"

namespace qor::platform::net {

namespace {

using Clock = std::chrono::steady_clock;

constexpr long kMaximumRedirects = 16;
constexpr long kIdlePollMilliseconds = 10'000;

void initialiseCurlOnce() {
    static const bool initialised = [] { return curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; }();
    (void)initialised;
}

// Idle connections kept for reuse. libcurl's default sizes its cache by the transfers in
// flight, so the last of a fan-out to several hosts to finish closes the others' connections
// and the next round opens (and for https, handshakes) them again. The cache grows to the
// largest number of transfers run at once, so that a burst's connections serve the next burst
// too, up to a bound: idle connections are file descriptors and server slots.
constexpr long kCachedConnections = 64;
constexpr long kMostCachedConnections = 256;

CURLM* makeMulti() {
    CURLM* multi = curl_multi_init();
    if (multi) curl_multi_setopt(multi, CURLMOPT_MAXCONNECTS, kCachedConnections);
    return multi;
}

// Scheme, host and port: the unit connections are shared and limited by.
std::string originOf(const URL& url) {
    std::string origin = lowercasedASCII(url.scheme().value_or(""));
    origin.append("://").append(lowercasedASCII(url.host().value_or("")));
    if (auto port = url.port()) origin.append(1, ':').append(std::to_string(*port));
    return origin;
}

// A field that could split the request (line breaks) or is not a token is never sent.
bool isSendableHeader(std::string_view name, std::string_view value) {
    if (name.empty()) return false;
    for (char c : name) {
        auto code = static_cast<unsigned char>(c);
        if (code <= 32 || code >= 127 || c == ':') return false;
    }
    return value.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

// Fields libcurl must compute from the body it actually sends.
bool isFramingHeader(std::string_view name) {
    return equalsIgnoringASCIICase(name, "Content-Length") || equalsIgnoringASCIICase(name, "Transfer-Encoding");
}

URLError::Code errorCode(CURLcode code) {
    switch (code) {
        case CURLE_UNSUPPORTED_PROTOCOL:
            return URLError::Code::unsupportedURL;
        case CURLE_URL_MALFORMAT:
            return URLError::Code::badURL;
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
            return URLError::Code::cannotFindHost;
        case CURLE_COULDNT_CONNECT:
            return URLError::Code::cannotConnectToHost;
        case CURLE_OPERATION_TIMEDOUT:
            return URLError::Code::timedOut;
        case CURLE_PEER_FAILED_VERIFICATION:
            return URLError::Code::serverCertificateUntrusted;
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_ENGINE_INITFAILED:
            return URLError::Code::secureConnectionFailed;
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CLIENTCERT:
            return URLError::Code::clientCertificateRejected;
        case CURLE_TOO_MANY_REDIRECTS:
            return URLError::Code::httpTooManyRedirects;
        case CURLE_GOT_NOTHING:
        case CURLE_SEND_ERROR:
        case CURLE_RECV_ERROR:
        case CURLE_PARTIAL_FILE:
        case CURLE_HTTP2:
        case CURLE_HTTP2_STREAM:
            return URLError::Code::networkConnectionLost;
        case CURLE_WEIRD_SERVER_REPLY:
            return URLError::Code::badServerResponse;
        case CURLE_BAD_CONTENT_ENCODING:
            return URLError::Code::cannotDecodeContentData;
        case CURLE_FILE_COULDNT_READ_FILE:
            return URLError::Code::fileDoesNotExist;
        case CURLE_READ_ERROR:
            return URLError::Code::cannotOpenFile;
        default:
            return URLError::Code::unknown;
    }
}

}  // namespace

struct Transfer {
    Transfer(TransferEngine& engine, std::shared_ptr<URLSessionTask> task) : engine(engine), task(std::move(task)) {}
    ~Transfer() {
        if (easy) curl_easy_cleanup(easy);
        curl_slist_free_all(headers);
        curl_slist_free_all(connectTo);
        if (file) std::fclose(file);
    }

    TransferEngine& engine;
    std::shared_ptr<URLSessionTask> task;
    CURL* easy = nullptr;
    curl_slist* headers = nullptr;
    curl_slist* connectTo = nullptr;
    std::FILE* file = nullptr;

    HTTPHeaderFields responseHeaders;
    bool responseStarted = false;
    bool collects = false;  // a completion handler wants the whole body at the end
    Data collected;

    // Transfers to one origin beyond the connection limit wait here, in order,
    // before libcurl sees them (its own limit can leave waiting transfers stalled).
    std::string origin;
    bool added = false;

    Clock::time_point lastActivity = Clock::now();
    double timeoutSeconds = 0;
    Clock::duration idleTimeout{};
    // The end of the whole exchange, counted from resume(), when the request bounds it.
    std::optional<Clock::time_point> deadline;
    // Body bytes taken so far, and the request's limit on them.
    std::size_t received = 0;
    std::optional<std::size_t> maximumLength;
    bool tooLong = false;  // ended for passing the limit: reported as such, not as a write failure
    RedirectGuard redirects;
    bool redirectRefused = false;  // a hop led where the request may not go: reported as a bad answer
    std::int64_t uploadSize = -1;
    char errorBuffer[CURL_ERROR_SIZE] = {};
};

namespace {

// The request's own URL unless a redirect led elsewhere (then the final one, parsed).
URL effectiveURL(Transfer& transfer) {
    const URL& requested = *transfer.task->originalRequest().url();
    char* text = nullptr;
    if (curl_easy_getinfo(transfer.easy, CURLINFO_EFFECTIVE_URL, &text) == CURLE_OK && text &&
        requested.absoluteString() != text) {
        if (auto url = URL::make(text)) return *url;
    }
    return requested;
}

// Before a connection is opened: a redirect may not lead to an address more private than the one
// the request began at. Refused here, nothing is sent there, not even a connection attempt.
curl_socket_t onOpenSocket(void* context, curlsocktype purpose, curl_sockaddr* address) {
    auto& transfer = *static_cast<Transfer*>(context);
    if (purpose != CURLSOCKTYPE_IPCXN || !transfer.redirects.mayConnect(reachOf(address->addr))) {
        transfer.redirectRefused = true;
        return CURL_SOCKET_BAD;
    }
    return socket(address->family, address->socktype, address->protocol);
}

// Before each request goes out (the first and every redirect's), over a new connection or a kept
// one: the first sets the bounds from the address actually connected to, and no later hop leaves
// them, nor leaves TLS once it was used.
int onRequestReady(void* context, char* serverAddress, char* /*localAddress*/, int /*serverPort*/, int /*localPort*/) {
    auto& transfer = *static_cast<Transfer*>(context);
    char* url = nullptr;  // the hop's own URL
    curl_easy_getinfo(transfer.easy, CURLINFO_EFFECTIVE_URL, &url);
    const std::string_view hop = url ? url : "";
    const bool secure = hop.size() > 6 && equalsIgnoringASCIICase(hop.substr(0, 6), "https:");
    // An address refused before this connection was opened was another of the host's addresses.
    transfer.redirectRefused = !transfer.redirects.maySend(reachOf(serverAddress ? serverAddress : ""), secure);
    return transfer.redirectRefused ? CURL_PREREQFUNC_ABORT : CURL_PREREQFUNC_OK;
}

}  // namespace

// The answer's metadata, made once the final answer's head is in (its first
// body byte, or the end of the load). Every transfer is HTTP or HTTPS.
void TransferEngine::ensureResponse(Transfer& transfer) {
    if (transfer.responseStarted) return;
    transfer.responseStarted = true;
    long status = 0;
    curl_easy_getinfo(transfer.easy, CURLINFO_RESPONSE_CODE, &status);
    transfer.task->setResponse(std::make_shared<HTTPURLResponse>(effectiveURL(transfer), static_cast<int>(status),
                                                                 std::move(transfer.responseHeaders)));
}

size_t TransferEngine::onHeader(char* buffer, size_t size, size_t count, void* context) {
    auto& transfer = *static_cast<Transfer*>(context);
    size_t length = size * count;
    transfer.lastActivity = Clock::now();
    if (transfer.responseStarted) return length;  // trailers
    std::string_view line(buffer, length);
    if (line.starts_with("HTTP/")) {
        // Each answer (interim, redirect, final) starts afresh.
        transfer.responseHeaders.clear();
        return length;
    }
    if (!line.empty() && (line.front() == ' ' || line.front() == '\t')) {
        if (!transfer.responseHeaders.empty()) {
            auto& value = transfer.responseHeaders.back().second;
            value += " ";
            value += trimmed(line);
        }
        return length;
    }
    auto colon = line.find(':');
    if (colon == std::string_view::npos) return length;
    transfer.responseHeaders.emplace_back(std::string(trimmed(line.substr(0, colon))),
                                          std::string(trimmed(line.substr(colon + 1))));
    return length;
}

// An answer that announces a length above the limit is refused at its first byte; one that does
// not is cut where it passes the limit. Either way the bytes past the limit are never kept.
bool TransferEngine::exceedsLimit(Transfer& transfer, std::size_t length) {
    if (!transfer.maximumLength) return false;
    const std::size_t limit = *transfer.maximumLength;
    if (transfer.received == 0) {
        curl_off_t announced = -1;
        curl_easy_getinfo(transfer.easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
        if (announced > 0 && static_cast<std::uint64_t>(announced) > limit) return true;
    }
    return length > limit - transfer.received;
}

size_t TransferEngine::onBody(char* buffer, size_t size, size_t count, void* context) {
    auto& transfer = *static_cast<Transfer*>(context);
    size_t length = size * count;
    transfer.lastActivity = Clock::now();
    ensureResponse(transfer);
    if (length == 0) return 0;
    if (exceedsLimit(transfer, length)) {
        transfer.tooLong = true;
        return 0;  // libcurl ends the transfer
    }
    transfer.received += length;
    if (transfer.collects) {
        transfer.collected.insert(transfer.collected.end(), buffer, buffer + length);
    } else {
        transfer.engine.report({TaskEvent::Kind::data, transfer.task, Data(buffer, buffer + length), {}, {}});
    }
    return length;
}

size_t TransferEngine::onUploadRead(char* buffer, size_t size, size_t count, void* context) {
    auto& transfer = *static_cast<Transfer*>(context);
    transfer.lastActivity = Clock::now();
    size_t read = std::fread(buffer, 1, size * count, transfer.file);
    if (read == 0 && std::ferror(transfer.file)) return CURL_READFUNC_ABORT;
    return read;
}

int TransferEngine::onUploadSeek(void* context, std::int64_t offset, int origin) {
    auto& transfer = *static_cast<Transfer*>(context);
    return fseeko(transfer.file, offset, origin) == 0 ? CURL_SEEKFUNC_OK : CURL_SEEKFUNC_FAIL;
}

std::shared_ptr<TransferEngine> TransferEngine::make(const URLSessionConfiguration& configuration) {
    auto engine = std::make_shared<TransferEngine>(configuration);
    engine->thread_ = std::thread([self = engine] { self->run(); });
    return engine;
}

TransferEngine::TransferEngine(const URLSessionConfiguration& configuration)
    : configuration_(configuration), cachedConnections_(kCachedConnections) {
    initialiseCurlOnce();
    multi_ = makeMulti();
}

TransferEngine::~TransferEngine() {
    if (thread_.joinable()) thread_.detach();
}

void TransferEngine::start(std::shared_ptr<URLSessionTask> task) {
    post({Command::Kind::start, std::move(task), {}, Clock::now()});
}

void TransferEngine::cancel(std::shared_ptr<URLSessionTask> task) {
    post({Command::Kind::cancel, std::move(task), {}, {}});
}

void TransferEngine::invalidate(std::shared_ptr<URLSession> session, bool cancelRunning) {
    post({cancelRunning ? Command::Kind::invalidate : Command::Kind::finishAndInvalidate, {}, std::move(session), {}});
}

// The I/O thread is woken only when it waits: while it runs, it looks at the commands before
// it waits again.
void TransferEngine::post(Command command) {
    std::lock_guard lock(mutex_);
    if (stopping_) return;
    commands_.push_back(std::move(command));
    if (!polling_) return;
    polling_ = false;
    curl_multi_wakeup(multi_);
}

void TransferEngine::shutdown() {
    {
        std::lock_guard lock(mutex_);
        if (stopping_) return;
        stopping_ = true;
        curl_multi_wakeup(multi_);
    }
    if (std::this_thread::get_id() == thread_.get_id()) {
        thread_.detach();  // the loop notices stopping_ once the current step returns
    } else if (thread_.joinable()) {
        thread_.join();
    }
}

void TransferEngine::run() {
    while (true) {
        std::vector<Command> commands;
        {
            std::lock_guard lock(mutex_);
            if (stopping_) break;
            polling_ = false;  // awake: posts need not wake it
            commands.swap(commands_);
        }
        for (auto& command : commands) execute(command);
        // Let go of the started tasks before their events leave: the delegate queue's operation
        // then holds a finished task last, so the task and what its handler holds end there, and
        // no destructor of the host's runs on this thread.
        commands.clear();
        int running = 0;
        curl_multi_perform(multi_, &running);
        readMessages();
        enforceTimeouts();
        releaseDelegateIfDone();
        deliverReported();
        {
            std::lock_guard lock(mutex_);
            if (stopping_) break;
            if (!commands_.empty()) continue;
            polling_ = true;
        }
        curl_multi_poll(multi_, nullptr, 0, static_cast<int>(pollTimeoutMilliseconds()), nullptr);
    }
    // Shut down: no more events; the tasks simply stay unfinished.
    for (auto& transfer : transfers_) {
        if (transfer->added) curl_multi_remove_handle(multi_, transfer->easy);
    }
    transfers_.clear();
    reported_.clear();
    for (CURL* easy : spareHandles_) curl_easy_cleanup(easy);
    spareHandles_.clear();
    sessionAwaitingRelease_.reset();
    std::lock_guard lock(mutex_);
    curl_multi_cleanup(multi_);
    multi_ = nullptr;
}

void TransferEngine::execute(Command& command) {
    switch (command.kind) {
        case Command::Kind::start:
            begin(command.task, command.postedAt);
            break;
        case Command::Kind::cancel:
            abort(command.task);
            break;
        case Command::Kind::invalidate:
            invalidated_ = true;
            while (!transfers_.empty()) finish(*transfers_.front(), URLError(URLError::Code::cancelled, "cancelled"));
            sessionAwaitingRelease_ = std::move(command.session);
            break;
        case Command::Kind::finishAndInvalidate:
            invalidated_ = true;
            sessionAwaitingRelease_ = std::move(command.session);
            break;
    }
}

void TransferEngine::releaseDelegateIfDone() {
    if (!sessionAwaitingRelease_ || !transfers_.empty()) return;
    auto session = std::move(sessionAwaitingRelease_);
    deliverReported();  // the release comes after every event
    session->deliverInvalidation();
    // An invalidated session sends nothing more: close its kept-alive connections now.
    std::lock_guard lock(mutex_);
    if (stopping_) return;
    curl_multi_cleanup(multi_);
    multi_ = makeMulti();
}

void TransferEngine::report(TaskEvent event) { reported_.push_back(std::move(event)); }

// One operation on the delegate queue per turn of the loop, not one per event: every task of
// this engine belongs to the same session.
void TransferEngine::deliverReported() {
    if (reported_.empty()) return;
    auto& session = *reported_.front().task->session_;
    session.deliverEvents(std::move(reported_));
    reported_.clear();
}

void TransferEngine::completeWithoutTransfer(const std::shared_ptr<URLSessionTask>& task, URLError error) {
    if (!task->markCompleted(error)) return;
    report({TaskEvent::Kind::completion, task, {}, std::nullopt, std::move(error)});
}

// A handle keeps its buffers and caches between transfers once reset.
CURL* TransferEngine::takeEasyHandle() {
    if (spareHandles_.empty()) return curl_easy_init();
    CURL* easy = spareHandles_.back();
    spareHandles_.pop_back();
    return easy;
}

void TransferEngine::recycle(Transfer& transfer) {
    constexpr std::size_t kSpareHandles = 16;
    if (transfer.easy == nullptr || spareHandles_.size() >= kSpareHandles) return;
    curl_easy_reset(transfer.easy);
    spareHandles_.push_back(transfer.easy);
    transfer.easy = nullptr;
}

void TransferEngine::begin(const std::shared_ptr<URLSessionTask>& task, Clock::time_point resumedAt) {
    if (task->state() != URLSessionTask::State::running) return;  // cancelled before it got here
    if (invalidated_) {
        completeWithoutTransfer(task, URLError(URLError::Code::cancelled, "cancelled"));
        return;
    }
    const URLRequest& request = task->originalRequest();
    if (!request.url()) {
        completeWithoutTransfer(task, URLError(URLError::Code::badURL, "The request has no URL."));
        return;
    }
    const URL& url = *request.url();
    // One text whatever the URL names, so that a failure tells nothing about local paths.
    if (!isWebURL(url)) {
        completeWithoutTransfer(task, URLError(URLError::Code::unsupportedURL, "unsupported URL", url));
        return;
    }

    auto transfer = std::make_unique<Transfer>(*this, task);
    transfer->collects = static_cast<bool>(task->completionHandler_);
    double timeout =
        request.hasExplicitTimeoutInterval() ? request.timeoutInterval() : configuration_.timeoutIntervalForRequest;
    if (!(timeout > 0))
        timeout = configuration_.timeoutIntervalForRequest > 0 ? configuration_.timeoutIntervalForRequest
                                                               : URLRequest::defaultTimeoutInterval;
    transfer->timeoutSeconds = timeout;
    transfer->idleTimeout = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(timeout));
    if (const auto& whole = request.timeoutIntervalForResource()) {
        transfer->deadline = resumedAt + std::chrono::duration_cast<Clock::duration>(
                                             std::chrono::duration<double>(std::max(*whole, 0.0)));
    }
    transfer->maximumLength = request.maximumResponseLength();

    if (task->uploadFile_) {
        const URL& file = *task->uploadFile_;
        if (!file.isFileURL()) {
            completeWithoutTransfer(
                task, URLError(URLError::Code::cannotOpenFile, "The upload source is not a file URL.", file));
            return;
        }
        transfer->file = std::fopen(file.path().c_str(), "rb");
        struct stat status {};
        if (!transfer->file || fstat(fileno(transfer->file), &status) != 0 || !S_ISREG(status.st_mode)) {
            int error = transfer->file ? EISDIR : errno;
            auto code = error == ENOENT   ? URLError::Code::fileDoesNotExist
                        : error == EACCES ? URLError::Code::noPermissionsToReadFile
                                          : URLError::Code::cannotOpenFile;
            std::string text = "The file \"";
            text.append(file.path()).append("\" couldn't be read: ").append(std::strerror(error));
            completeWithoutTransfer(task, URLError(code, std::move(text), file));
            return;
        }
        transfer->uploadSize = status.st_size;
    }

    transfer->origin = originOf(url);
    Transfer& added = *transfer;
    transfers_.push_back(std::move(transfer));
    if (hasFreeConnection(added.origin)) addToMulti(added);
}

// Done when the transfer gets its connection slot, not when it is queued: a fan-out waiting its
// turn holds no handles, and the few in flight reuse the spare ones.
void TransferEngine::configure(Transfer& transfer) {
    const URLRequest& request = transfer.task->originalRequest();
    const URL& url = *request.url();
    const double timeout = transfer.timeoutSeconds;
    CURL* easy = takeEasyHandle();
    transfer.easy = easy;
    curl_easy_setopt(easy, CURLOPT_URL, url.absoluteString().c_str());
    curl_easy_setopt(easy, CURLOPT_PRIVATE, &transfer);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, transfer.errorBuffer);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    // A request made over TLS is never led off it; the hooks below check every hop's address.
    const bool secure = equalsIgnoringASCIICase(url.scheme().value_or(""), "https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, secure ? "https" : "http,https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaximumRedirects);
    curl_easy_setopt(easy, CURLOPT_OPENSOCKETFUNCTION, onOpenSocket);
    curl_easy_setopt(easy, CURLOPT_OPENSOCKETDATA, &transfer);
    curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, onRequestReady);
    curl_easy_setopt(easy, CURLOPT_PREREQDATA, &transfer);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &transfer);
    auto timeoutMilliseconds = static_cast<long>(std::ceil(timeout * 1000.0));
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, timeoutMilliseconds);
    // The engine enforces the idle time-out to the millisecond; libcurl's own
    // stall guard (whole seconds) stays behind it as a second line.
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, static_cast<long>(std::ceil(timeout)) + 1);
    if (configuration_.caFile) {
        curl_easy_setopt(easy, CURLOPT_CAINFO, configuration_.caFile->c_str());
        curl_easy_setopt(easy, CURLOPT_CAPATH, nullptr);  // replace the system roots, not add to them
    }
    for (const auto& rule : configuration_.connectTo)
        transfer.connectTo = curl_slist_append(transfer.connectTo, rule.c_str());
    if (transfer.connectTo) curl_easy_setopt(easy, CURLOPT_CONNECT_TO, transfer.connectTo);

    // Method and body.
    const std::string& method = request.httpMethod();
    const auto& body = request.httpBody();
    bool sendsBody = false;
    if (method == "GET") {
        curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    } else if (method == "HEAD") {
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    } else {
        bool hasBody = transfer.file || body;
        bool bodyByDefault = method == "POST" || method == "PUT" || method == "PATCH";
        if (hasBody || bodyByDefault) {
            sendsBody = true;
            curl_easy_setopt(easy, CURLOPT_POST, 1L);
            if (transfer.file) {
                curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(transfer.uploadSize));
                curl_easy_setopt(easy, CURLOPT_READFUNCTION, onUploadRead);
                curl_easy_setopt(easy, CURLOPT_READDATA, &transfer);
                curl_easy_setopt(easy, CURLOPT_SEEKFUNCTION, onUploadSeek);
                curl_easy_setopt(easy, CURLOPT_SEEKDATA, &transfer);
            } else {
                static const char kEmpty[] = "";
                curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body ? body->size() : 0));
                curl_easy_setopt(easy, CURLOPT_POSTFIELDS,
                                 body && !body->empty() ? reinterpret_cast<const char*>(body->data()) : kEmpty);
            }
        }
        if (method != "POST") curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.c_str());
    }

    // Headers: exactly the request's (over the session's additional ones), with
    // libcurl's own defaults (Accept, Expect, a form Content-Type) taken out.
    HTTPHeaderFields fields;
    if (configuration_.httpAdditionalHeaders) {
        for (const auto& [name, value] : *configuration_.httpAdditionalHeaders) {
            if (!request.value(name)) setHeaderValue(fields, value, name);
        }
    }
    for (const auto& [name, value] : request.allHTTPHeaderFields()) setHeaderValue(fields, value, name);
    for (const auto& [name, value] : fields) {
        if (!isSendableHeader(name, value) || isFramingHeader(name)) continue;
        std::string line = name;
        if (value.empty()) {
            line.push_back(';');
        } else {
            line.append(": ").append(value);
        }
        transfer.headers = curl_slist_append(transfer.headers, line.c_str());
    }
    if (!headerValue(fields, "Accept")) transfer.headers = curl_slist_append(transfer.headers, "Accept:");
    if (!headerValue(fields, "Expect")) transfer.headers = curl_slist_append(transfer.headers, "Expect:");
    if (sendsBody && !headerValue(fields, "Content-Type")) {
        transfer.headers = curl_slist_append(transfer.headers, "Content-Type:");
    }
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, transfer.headers);
}

bool TransferEngine::hasFreeConnection(const std::string& origin) const {
    int limit = configuration_.httpMaximumConnectionsPerHost;
    if (limit <= 0) return true;
    auto found = activeByOrigin_.find(origin);
    return found == activeByOrigin_.end() || found->second < limit;
}

void TransferEngine::addToMulti(Transfer& transfer) {
    if (!transfer.easy) configure(transfer);
    transfer.lastActivity = Clock::now();
    if (curl_multi_add_handle(multi_, transfer.easy) != CURLM_OK) {
        finish(transfer, URLError(URLError::Code::unknown, "The load could not be started.",
                                  transfer.task->originalRequest().url()));
        return;
    }
    transfer.added = true;
    ++activeByOrigin_[transfer.origin];
    if (++inMulti_ > static_cast<std::size_t>(cachedConnections_) && cachedConnections_ < kMostCachedConnections) {
        cachedConnections_ = std::min(static_cast<long>(inMulti_), kMostCachedConnections);
        curl_multi_setopt(multi_, CURLMOPT_MAXCONNECTS, cachedConnections_);
    }
}

void TransferEngine::startWaitingTransfer(const std::string& origin) {
    for (auto& transfer : transfers_) {
        if (!transfer->added && transfer->origin == origin) {
            addToMulti(*transfer);
            return;
        }
    }
}

void TransferEngine::abort(const std::shared_ptr<URLSessionTask>& task) {
    auto found = std::find_if(transfers_.begin(), transfers_.end(),
                              [&](const auto& transfer) { return transfer->task == task; });
    if (found != transfers_.end()) {
        finish(**found, URLError(URLError::Code::cancelled, "cancelled", task->originalRequest().url()));
    } else {
        completeWithoutTransfer(task, URLError(URLError::Code::cancelled, "cancelled", task->originalRequest().url()));
    }
}

void TransferEngine::finish(Transfer& transfer, std::optional<URLError> error) {
    std::string freedOrigin;
    if (transfer.added) {
        curl_multi_remove_handle(multi_, transfer.easy);
        --inMulti_;
        if (--activeByOrigin_[transfer.origin] == 0) activeByOrigin_.erase(transfer.origin);
        freedOrigin = transfer.origin;
    }
    if (!error) ensureResponse(transfer);
    auto task = transfer.task;
    const auto& body = task->originalRequest().httpBody();
    if (transfer.received >= kLargeTransferBytes || (body && body->size() >= kLargeTransferBytes)) {
        releaseFreedMemoryAfterLargeTransfer();
    }
    std::optional<Data> collected;
    if (transfer.collects && !error) collected = std::move(transfer.collected);
    recycle(transfer);
    auto found = std::find_if(transfers_.begin(), transfers_.end(),
                              [&](const auto& candidate) { return candidate.get() == &transfer; });
    if (found != transfers_.end()) transfers_.erase(found);  // `transfer` is gone from here on
    if (task->markCompleted(error)) {
        report({TaskEvent::Kind::completion, task, {}, std::move(collected), std::move(error)});
    }
    if (!freedOrigin.empty()) startWaitingTransfer(freedOrigin);
}

void TransferEngine::readMessages() {
    int remaining = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_, &remaining)) {
        if (message->msg != CURLMSG_DONE) continue;
        Transfer* transfer = nullptr;
        curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &transfer);
        if (!transfer) continue;
        CURLcode result = message->data.result;
        std::optional<URLError> error;
        if (transfer->tooLong) {
            error = URLError(
                URLError::Code::dataLengthExceedsMaximum,
                "The answer is longer than the limit of " + std::to_string(*transfer->maximumLength) + " bytes.",
                transfer->task->originalRequest().url());
        } else if (result != CURLE_OK && (transfer->redirectRefused || result == CURLE_UNSUPPORTED_PROTOCOL)) {
            // Every request starts with a web URL, so a scheme refused here is a redirect's.
            error =
                URLError(URLError::Code::badServerResponse, "The server redirected to a place the request may not go.",
                         transfer->task->originalRequest().url());
        } else if (result != CURLE_OK) {
            std::string text = transfer->errorBuffer[0] ? transfer->errorBuffer : curl_easy_strerror(result);
            error = URLError(errorCode(result), std::move(text), transfer->task->originalRequest().url());
        }
        finish(*transfer, std::move(error));
    }
}

// A transfer waiting for a connection has no idle clock yet, but its deadline runs.
bool TransferEngine::hasTimedOut(const Transfer& transfer, Clock::time_point now) {
    if (transfer.deadline && now >= *transfer.deadline) return true;
    return transfer.added && now - transfer.lastActivity >= transfer.idleTimeout;
}

void TransferEngine::enforceTimeouts() {
    auto now = Clock::now();
    for (std::size_t i = 0; i < transfers_.size();) {
        auto& transfer = *transfers_[i];
        if (hasTimedOut(transfer, now)) {
            finish(transfer, URLError(URLError::Code::timedOut, "The request timed out.",
                                      transfer.task->originalRequest().url()));
        } else {
            ++i;
        }
    }
}

long TransferEngine::pollTimeoutMilliseconds() const {
    long timeout = kIdlePollMilliseconds;
    long curlTimeout = -1;
    curl_multi_timeout(multi_, &curlTimeout);
    if (curlTimeout >= 0) timeout = std::min(timeout, curlTimeout);
    auto now = Clock::now();
    auto wakeBy = [&](Clock::time_point due) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(due - now);
        timeout = std::min<long>(timeout, std::max<long>(0, left.count() + 1));
    };
    for (const auto& transfer : transfers_) {
        if (transfer->deadline) wakeBy(*transfer->deadline);
        if (transfer->added) wakeBy(transfer->lastActivity + transfer->idleTimeout);
    }
    return timeout;
}

}  // namespace qor::platform::net
