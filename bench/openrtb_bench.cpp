// Encode and decode rates of a typical full bid request (one banner impression with the core
// server's extension, the app, the device, the user, the source and a small context), beside
// nlohmann-json alone parsing and dumping the same text: the difference is what the records and
// the coding layer cost on top of the text engine.
#include <benchmark/benchmark.h>

#include <nlohmann/json.hpp>
#include <string>

#include "Models/OpenRTB/BidRequest.h"
#include "Models/OpenRTB/DeviceFacts.h"
#include "Models/OpenRTB/ImpressionBuilder.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/JSONDecoder.h"
#include "Platform/Foundation/JSONEncoder.h"

namespace {

using namespace qor;

BidRequest typicalRequest() {
    platform::Bundle::main()->setInfoDictionary(platform::PlistDictionary{
        {"CFBundleName", "Demo"}, {"CFBundleIdentifier", "io.qor.demo"}, {"CFBundleShortVersionString", "2.3"}});

    DeviceFacts facts;
    facts.hardware.model = "iPhone";
    facts.hardware.systemName = "iOS";
    facts.hardware.systemVersion = "17.2";
    facts.hardware.name = "iPhone";
    facts.hardware.screenWidth = 390;
    facts.hardware.screenHeight = 844;
    facts.hardware.scale = 3;
    facts.hardware.nativeScale = 3;
    facts.hardware.preferredLanguages = {"en-US"};
    facts.webViewUserAgent =
        "Mozilla/5.0 (iPhone; CPU iPhone OS 17_2 like Mac OS X) AppleWebKit/605.1.15 (KHTML, like Gecko) Mobile/15E148";
    facts.cellularProviders =
        std::map<std::string, platform::CTCarrier>{{"0000000100000001", {"Carrier", "452", "04", "vn", true}}};
    facts.radioAccessTechnology =
        std::map<std::string, std::string>{{"0000000100000001", "CTRadioAccessTechnologyLTE"}};
    facts.connection = ConnectionStatus::cellular;

    BidRequest request;
    request.id = "5B3F2C1A-8D4E-4F6A-9B7C-0D1E2F3A4B5C";
    request.impression = {makeImpression()};
    request.impression[0].banner = bannerForSize({320, 50});
    request.impression[0].ext = extensionForEndpoint(coreEndpointType, 12, 101);
    request.app = ApplicationInfo::fromMainBundle();
    request.device = Device::fromFacts(facts);
    request.user.id = "9F8E7D6C-5B4A-4392-8170-6F5E4D3C2B1A";
    request.ext = BidRequest::Extension{
        platform::JSONDecoder{}.decode<JSON>(R"({"screen":"home","section":"news","tags":["a","b"],"position":2})")};
    return request;
}

const BidRequest& sampleRequest() {
    static const BidRequest request = typicalRequest();
    return request;
}

const std::string& sampleText() {
    static const std::string text = platform::JSONEncoder{}.encodeToString(sampleRequest());
    return text;
}

void reportDocuments(benchmark::State& state) {
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * sampleText().size()));
    state.counters["doc_bytes"] = static_cast<double>(sampleText().size());
}

void BM_EncodeBidRequest(benchmark::State& state) {
    const BidRequest& request = sampleRequest();
    const platform::JSONEncoder encoder;
    for (auto _ : state) {
        auto data = encoder.encode(request);
        benchmark::DoNotOptimize(data);
    }
    reportDocuments(state);
}
BENCHMARK(BM_EncodeBidRequest);

void BM_DecodeBidRequest(benchmark::State& state) {
    const std::string& text = sampleText();
    const platform::JSONDecoder decoder;
    for (auto _ : state) {
        auto request = decoder.decode<BidRequest>(text);
        benchmark::DoNotOptimize(request);
    }
    reportDocuments(state);
}
BENCHMARK(BM_DecodeBidRequest);

template <class Json>
void BM_TextEngineParse(benchmark::State& state) {
    const std::string& text = sampleText();
    for (auto _ : state) {
        auto json = Json::parse(text);
        benchmark::DoNotOptimize(json);
    }
    reportDocuments(state);
}
BENCHMARK(BM_TextEngineParse<nlohmann::ordered_json>)->Name("BM_NlohmannOrderedParse");
BENCHMARK(BM_TextEngineParse<nlohmann::json>)->Name("BM_NlohmannParse");

template <class Json>
void BM_TextEngineDump(benchmark::State& state) {
    const Json json = Json::parse(sampleText());
    for (auto _ : state) {
        auto text = json.dump();
        benchmark::DoNotOptimize(text);
    }
    reportDocuments(state);
}
BENCHMARK(BM_TextEngineDump<nlohmann::ordered_json>)->Name("BM_NlohmannOrderedDump");
BENCHMARK(BM_TextEngineDump<nlohmann::json>)->Name("BM_NlohmannDump");

}  // namespace

BENCHMARK_MAIN();
