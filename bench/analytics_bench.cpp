// Events per second from `track` to bytes in the batch file, on one thread, beside a bare
// encode-and-append of the same event, and the memory the pipeline keeps per event.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <new>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "Analytics/Analytics.h"
#include "Analytics/OutputFileStream.h"
#include "Analytics/Storage.h"
#include "Core/ISO8601Formatter.h"
#include "Networking/Client/Session/Session.h"
#include "Platform/Foundation/JSONEncoder.h"
#include "Platform/Foundation/UUID.h"
#include "testing/CollectionServer.h"
#include "testing/IPEchoServer.h"
#include "testing/MainLoopPump.h"
#include "testing/ScopedEnvironment.h"
#include "testing/TestAppHome.h"

// The replaced operators below pair malloc with free; GCC cannot see that through inlining.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

// Every allocation of the program is counted, so the benchmark can tell how much an event
// allocates on its way to the file.
namespace {
std::atomic<std::uint64_t> allocatedBytes{0};
std::atomic<std::uint64_t> allocationCount{0};
}  // namespace

void* operator new(std::size_t size) {
    allocatedBytes.fetch_add(size, std::memory_order_relaxed);
    allocationCount.fetch_add(1, std::memory_order_relaxed);
    if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
    throw std::bad_alloc();
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

namespace {

using namespace qor;

// What the SDK's start-up gives the engine, for the whole run: a fresh app home, loopback
// collection and IP-echo servers behind the deployment variables, and the shared Session.
struct BenchEnvironment {
    testing::TestAppHome home{"qor-bench"};
    std::unique_ptr<testing::CollectionServer> collection = testing::CollectionServer::makeHTTP();
    std::unique_ptr<testing::IPEchoServer> ipEcho = testing::IPEchoServer::makeHTTP();
    testing::ScopedEnvironment collectionURL{"QOR_COLLECTION_URL", collection->collectionURL()};
    testing::ScopedEnvironment ipEchoURL{"QOR_IP_ECHO_URL", ipEcho->baseURL()};
    BenchEnvironment() { Session::setSharedInstance(Session::makeDefault()); }
};

testing::TestAppHome& home() {
    static BenchEnvironment environment;
    return environment.home;
}

// The instance as start-up makes it, with the real upload destination appending every event
// to the batch file; flushes are pushed out of reach so only the road to the file is timed.
std::shared_ptr<Analytics> startedAnalytics(const std::string& writeKey) {
    home();
    auto configuration = Configuration::make(writeKey);
    configuration->modifyValues([](Configuration::Values& values) {
        values.flushAt = 1 << 30;
        values.flushInterval = 3600;
        values.trackApplicationLifecycleEvents = false;
    });
    auto analytics = Analytics::make(configuration);
    testing::pumpMainFor(std::chrono::milliseconds(50));  // the destination takes its policy on the main queue
    return analytics;
}

platform::AnyDictionary properties() {
    return platform::AnyDictionary{{"screen", "checkout"}, {"items", 3}, {"total", 42.5}, {"member", true}};
}

void BM_TrackToBatchFile(benchmark::State& state) {
    static int run = 0;
    const std::string writeKey = "bench-track-" + std::to_string(run++);
    auto analytics = startedAnalytics(writeKey);
    const auto props = properties();
    for (auto _ : state) analytics->track("Product Viewed", props);
    state.SetItemsProcessed(state.iterations());
    testing::pumpMainFor(std::chrono::milliseconds(10));
    // Each repetition leaves a couple of hundred megabytes of batches; they go, so that the
    // page cache does not grow from one repetition to the next.
    analytics.reset();
    std::filesystem::remove_all(home().documents() / "lumatix" / writeKey);
}
BENCHMARK(BM_TrackToBatchFile)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

// The same event made by hand, encoded and appended with the comma in one write.
void BM_BareEncodeAndWrite(benchmark::State& state) {
    home();
    const auto folder = home().path() / "bare";
    std::filesystem::create_directories(folder);
    static int run = 0;
    OutputFileStream stream(platform::URL::fileURL((folder / ("bare-" + std::to_string(run++))).string()));
    stream.create();
    stream.write(std::string_view("{ \"batch\": ["));
    const auto props = JSON(JSON::jsonDictionary(properties()));
    bool first = true;
    for (auto _ : state) {
        TrackEvent event("Product Viewed", props);
        event.anonymousId = "6C1F3F3E-2B4B-4C0A-9E59-0D7A1A3F2C11";
        event.messageId = platform::UUID::make().uuidString();
        event.timestamp = sharedISO8601Formatter().string(platform::Date::now());
        event.integrations = JSON(JSON::Object());
        event._metadata = DestinationMetadata{};
        std::string line = first ? "" : ",";
        line += platform::JSONEncoder().encodeToString(event);
        stream.write(std::string_view(line));
        first = false;
    }
    stream.close();
    std::filesystem::remove(stream.fileURL().path());
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BareEncodeAndWrite)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

// The event exactly as the pipeline writes it: one event tracked through a started instance
// and read back from its batch file.
nlohmann::ordered_json pipelineEventTree() {
    auto analytics = startedAnalytics("bench-template");
    analytics->track("Product Viewed", properties());
    const auto folder = home().documents() / "lumatix" / "bench-template";
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::ifstream file(entry.path());
        std::stringstream text;
        text << file.rdbuf();
        const std::string bytes = text.str();
        const auto start = bytes.find('[');
        if (start == std::string::npos) continue;
        return nlohmann::ordered_json::parse(bytes.substr(start + 1));
    }
    std::abort();
}

// The bare baseline of `track`: the same event tree held by the text engine alone, copied,
// given a fresh id and time, dumped and appended with its comma in one write(2).
void BM_BaselineOrderedJSONTrack(benchmark::State& state) {
    static const nlohmann::ordered_json model = pipelineEventTree();
    static int run = 0;
    const auto path = home().path() / ("baseline-" + std::to_string(run++));
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) std::abort();
    const std::string head = "{ \"batch\": [";
    if (::write(fd, head.data(), head.size()) < 0) std::abort();
    const auto bytesBefore = allocatedBytes.load();
    const auto countBefore = allocationCount.load();
    bool first = true;
    for (auto _ : state) {
        nlohmann::ordered_json event = model;
        event["messageId"] = platform::UUID::make().uuidString();
        event["timestamp"] = sharedISO8601Formatter().string(platform::Date::now());
        std::string line = first ? "" : ",";
        line += event.dump();
        if (::write(fd, line.data(), line.size()) < 0) std::abort();
        first = false;
    }
    const double perEvent = 1.0 / static_cast<double>(state.iterations() > 0 ? state.iterations() : 1);
    state.counters["allocated_bytes_per_event"] = static_cast<double>(allocatedBytes.load() - bytesBefore) * perEvent;
    state.counters["allocations_per_event"] = static_cast<double>(allocationCount.load() - countBefore) * perEvent;
    ::close(fd);
    // Hundreds of megabytes left dirty here would be written back during whatever runs next
    // and slow it down; removed, they are simply dropped.
    std::filesystem::remove(path);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BaselineOrderedJSONTrack)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

// Memory per tracked event: what it allocates on its way (released again), what the heap
// keeps afterwards (the pipeline should keep nothing once an event is written) and the
// bytes it adds to the batch file.
void BM_TrackMemoryPerEvent(benchmark::State& state) {
    auto analytics = startedAnalytics("bench-memory");
    const auto props = properties();
    for (int warm = 0; warm < 1000; ++warm) analytics->track("Product Viewed", props);
    const auto folder = home().documents() / "lumatix" / "bench-memory";
    auto folderBytes = [&folder] {
        std::uintmax_t total = 0;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) total += entry.file_size();
        return total;
    };
    const auto sizeBefore = folderBytes();
    const auto heapBefore = mallinfo2().uordblks;
    const auto bytesBefore = allocatedBytes.load();
    const auto countBefore = allocationCount.load();
    std::int64_t events = 0;
    for (auto _ : state) {
        analytics->track("Product Viewed", props);
        ++events;
    }
    const double perEvent = 1.0 / static_cast<double>(events > 0 ? events : 1);
    state.counters["heap_kept_bytes_per_event"] =
        static_cast<double>(static_cast<std::int64_t>(mallinfo2().uordblks) - static_cast<std::int64_t>(heapBefore)) *
        perEvent;
    state.counters["allocated_bytes_per_event"] = static_cast<double>(allocatedBytes.load() - bytesBefore) * perEvent;
    state.counters["allocations_per_event"] = static_cast<double>(allocationCount.load() - countBefore) * perEvent;
    state.counters["file_bytes_per_event"] = static_cast<double>(folderBytes() - sizeBefore) * perEvent;
    testing::pumpMainFor(std::chrono::milliseconds(10));
}
BENCHMARK(BM_TrackMemoryPerEvent)->Unit(benchmark::kMicrosecond)->Iterations(20000);

}  // namespace

BENCHMARK_MAIN();
