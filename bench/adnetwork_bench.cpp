// Decode rates of the documents the ad network sends most: the container of a realistic app
// (downloaded at start-up) and a bid response with several seat bids (one per endpoint and
// auction), beside nlohmann-json alone parsing the same text. The difference is what the records
// and the coding layer cost on top of the text engine.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>

#include "AdNetwork/Container.h"
#include "Models/OpenRTB/BidResponse.h"
#include "Platform/Foundation/JSONDecoder.h"
#include "testing/AdNetworkDocuments.h"

namespace {

using namespace qor;

constexpr std::size_t seatBids = 6;

const std::string& containerText() { return testing::realisticContainerJSON(); }

const std::string& bidResponseText() {
    static const std::string text = testing::bidResponseJSON(seatBids);
    return text;
}

void reportDocuments(benchmark::State& state, const std::string& text) {
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
    state.counters["doc_bytes"] = static_cast<double>(text.size());
}

template <class Record>
void decodeRecord(benchmark::State& state, const std::string& text) {
    const platform::JSONDecoder decoder;
    for (auto _ : state) {
        auto record = decoder.decode<Record>(text);
        benchmark::DoNotOptimize(record);
    }
    reportDocuments(state, text);
}

template <class Json>
void parseOnly(benchmark::State& state, const std::string& text) {
    for (auto _ : state) {
        auto json = Json::parse(text);
        benchmark::DoNotOptimize(json);
    }
    reportDocuments(state, text);
}

void BM_DecodeContainer(benchmark::State& state) { decodeRecord<Container>(state, containerText()); }
BENCHMARK(BM_DecodeContainer);

void BM_ContainerNlohmannOrderedParse(benchmark::State& state) {
    parseOnly<nlohmann::ordered_json>(state, containerText());
}
BENCHMARK(BM_ContainerNlohmannOrderedParse);

void BM_ContainerNlohmannParse(benchmark::State& state) { parseOnly<nlohmann::json>(state, containerText()); }
BENCHMARK(BM_ContainerNlohmannParse);

void BM_DecodeBidResponse(benchmark::State& state) { decodeRecord<BidResponse>(state, bidResponseText()); }
BENCHMARK(BM_DecodeBidResponse);

void BM_BidResponseNlohmannOrderedParse(benchmark::State& state) {
    parseOnly<nlohmann::ordered_json>(state, bidResponseText());
}
BENCHMARK(BM_BidResponseNlohmannOrderedParse);

void BM_BidResponseNlohmannParse(benchmark::State& state) { parseOnly<nlohmann::json>(state, bidResponseText()); }
BENCHMARK(BM_BidResponseNlohmannParse);

}  // namespace

BENCHMARK_MAIN();
