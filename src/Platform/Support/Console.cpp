#include "Platform/Support/Console.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <utility>

#include "Platform/Support/ASCIIText.h"

namespace qor::platform {
namespace {

// A writer and how many calls of it are under way.
struct Installed {
    ConsoleWriter writer;
    int running = 0;
};

struct Slot {
    std::mutex mutex;
    std::condition_variable idle;
    std::shared_ptr<Installed> current;  // null: standard output
};

Slot& slot() {
    static auto* slot = new Slot;
    return *slot;
}

// How many writer calls this thread is inside: a writer that replaces itself must not wait for
// its own call to end.
thread_local int writerCallsOnThisThread = 0;

void writeToStandardOutput(std::string_view line) {
    // One call per line: stdio's own lock keeps lines from several threads whole.
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
}

class RunningCall {
public:
    explicit RunningCall(std::shared_ptr<Installed> installed) : installed_(std::move(installed)) {
        ++writerCallsOnThisThread;
    }
    ~RunningCall() {
        --writerCallsOnThisThread;
        auto& s = slot();
        std::lock_guard lock(s.mutex);
        if (--installed_->running == 0) s.idle.notify_all();
    }
    RunningCall(const RunningCall&) = delete;
    RunningCall& operator=(const RunningCall&) = delete;

private:
    std::shared_ptr<Installed> installed_;
};

}  // namespace

ConsoleWriter setConsoleWriter(ConsoleWriter writer) {
    auto replacement = writer ? std::make_shared<Installed>(Installed{std::move(writer)}) : nullptr;
    auto& s = slot();
    std::unique_lock lock(s.mutex);
    const auto replaced = std::exchange(s.current, std::move(replacement));
    if (!replaced) return {};
    // The lock is not held while the writers run: they take it only to say they are done.
    if (writerCallsOnThisThread == 0) {
        s.idle.wait(lock, [&] { return replaced->running == 0; });
        return std::move(replaced->writer);
    }
    // Called from inside a writer, which may be this one: it keeps running from where it is.
    return replaced->writer;
}

void writeConsoleLine(std::string_view line) {
    std::shared_ptr<Installed> installed;
    {
        auto& s = slot();
        std::lock_guard lock(s.mutex);
        installed = s.current;
        if (installed) ++installed->running;
    }
    if (!installed) return writeToStandardOutput(line);
    const RunningCall call(installed);
    try {
        installed->writer(line);
    } catch (...) {
        // A console line is not worth stopping the SDK's work for.
    }
}

std::string consoleText(std::string_view remote) {
    std::size_t kept = std::min(remote.size(), kConsoleTextLimit);
    // The cut falls between UTF-8 sequences, not inside one.
    while (kept < remote.size() && kept > 0 && (static_cast<unsigned char>(remote[kept]) & 0xC0) == 0x80) --kept;
    std::string text;
    appendEscapingControlCharacters(text, remote.substr(0, kept),
                                    ControlEscaping{.keepTab = true, .escapeDelete = true});
    if (kept < remote.size()) text += "\u2026 (" + std::to_string(remote.size() - kept) + " more bytes)";
    return text;
}

}  // namespace qor::platform
