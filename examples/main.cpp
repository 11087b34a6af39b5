// The example host app: the SDK's main job end to end, as an app does it. It starts the SDK from
// the Info.plist beside it, loads and shows one ad of every format (banner, interstitial,
// first-view, native, video) through the headless views, sends analytics events of all five
// kinds, and lets the SDK post its auction events. Then it tells what happened and judges it by
// the auction rules: for each load what the app saw, what the rules make of the endpoints'
// answers, the trackers and auction events; and which analytics batches the collection
// endpoint accepted, per kind. The HTML page of each web ad goes to a file, so a person can open
// it in a browser.
//
// Servers: its own simulated ad network on loopback TLS, unless one of the deployment variables
// (QOR_AD_NETWORK_*_URL, QOR_COLLECTION_URL, QOR_IP_ECHO_URL) is set; then it talks to those
// (QOR_CA_FILE and QOR_CONNECT_TO say whom to trust and where to connect). With its own network
// it reads what that network recorded; with another one it sees only what any app sees: its
// delegates, the container and the SDK's console lines.
//
// Usage: qor_example [pages folder]. The folder defaults to $QOR_EXAMPLE_OUT, else
// "example-ads" beside the program. QOR_APP_HOME chooses the app's data folder (a fresh
// temporary one otherwise). Exits 0 when the SDK behaved as the rules say, 1 when a PROBLEM was
// found.

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QORUniversalSDK/Platform/Host/Host.h>
#include <QORUniversalSDK/QORUniversalSDK.h>

#include "AdShowcase.h"
#include "Browser.h"
#include "Console.h"
#include "EmbeddedAdNetwork.h"
#include "Judgement.h"
#include "testing/TestAppHome.h"

namespace {

using namespace qor;
using namespace qor::example;
using namespace std::chrono_literals;
using platform::AnyDictionary;
using platform::RunLoop;

constexpr std::string_view kUploadResult = "DMP tracking result: ";

std::optional<std::string> variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
}

bool deploymentNamed() {
    for (const char* name : {"QOR_AD_NETWORK_TEST_URL", "QOR_AD_NETWORK_STAGING_URL", "QOR_AD_NETWORK_PRODUCTION_URL",
                             "QOR_COLLECTION_URL", "QOR_IP_ECHO_URL"}) {
        if (variable(name)) return true;
    }
    return false;
}

std::filesystem::path pagesFolder(int argc, char** argv) {
    if (argc > 1) return argv[1];
    if (const auto folder = variable("QOR_EXAMPLE_OUT")) return *folder;
    return std::filesystem::absolute(argv[0]).parent_path() / "example-ads";
}

// The SDK's console lines of the analytics uploads, without their prefix.
std::vector<std::string> uploadResults(const Console& console) {
    std::vector<std::string> results;
    for (const auto& line : console.lines()) {
        if (line.starts_with(kUploadResult)) results.push_back(line.substr(kUploadResult.size()));
    }
    return results;
}

// MARK: The app

// One load of the run and what it came to.
struct Load {
    Scene scene;
    ShownAd ad;
    EmbeddedAdNetwork::Stretch stretch;  // with our own network
};

// The analytics events an app sends besides its ads' own: who the reader is, where, in which
// group, and the reader's new id.
void sendAppEvents(std::vector<std::string>& sent) {
    QOR::identify("reader-7781", AnyDictionary{{"plan", "pro"}});
    QOR::screen("Home", std::string("Main"));
    QOR::group("newsroom-3", AnyDictionary{{"seats", 12}});
    QOR::alias("reader-7781-pro");
    sent.insert(sent.end(), {"identify", "screen", "group", "alias"});
}

std::vector<Load> loadEveryScene(EmbeddedAdNetwork* embedded, std::vector<std::string>& sent) {
    std::vector<Scene> scenes;
    if (embedded) {
        scenes = EmbeddedAdNetwork::scenes();
    } else {
        for (const auto format : allAdFormats) scenes.push_back({format, ""});
    }
    const auto root = std::make_shared<platform::UIViewController>();
    std::vector<Load> loads;
    for (std::size_t index = 0; index < scenes.size(); ++index) {
        Load load{scenes[index], {}, {}};
        if (embedded) {
            embedded->script(index);
            load.stretch.from = embedded->mark();
        }
        load.ad = showAd(scenes[index].format, root);
        if (embedded) load.stretch.to = embedded->mark();
        QOR::track(load.ad.shown ? "Ad Shown" : "Ad Not Shown",
                   AnyDictionary{{"format", std::string(formatName(load.ad.format))}, {"unit", load.ad.unit}});
        sent.push_back("track");
        loads.push_back(std::move(load));
    }
    return loads;
}

// MARK: The summary

void printLines(const Verdict& verdict) {
    for (const auto& [label, text] : verdict.lines)
        std::cout << "   " << std::left << std::setw(11) << label << text << "\n";
    for (const auto& problem : verdict.problems) std::cout << "   PROBLEM    " << problem << "\n";
    if (verdict.problems.empty()) std::cout << "   verdict    as the rules say\n";
}

// Prints each load with its verdict and writes each web ad's page into the folder; the number
// of problems found.
std::size_t reportLoads(const std::vector<Load>& loads, const EmbeddedAdNetwork* embedded, const Container& container,
                        const std::filesystem::path& pages) {
    std::size_t problems = 0;
    for (std::size_t index = 0; index < loads.size(); ++index) {
        const auto& [scene, ad, stretch] = loads[index];
        AdSeen seen{ad.seen(), unitOf(container, ad.unit, ad.format), std::nullopt};
        if (embedded) seen.network = embedded->seen(stretch, seen.unit);
        const auto verdict = judgeLoad(seen);
        std::cout << "\n"
                  << index + 1 << ". " << formatName(ad.format) << ", unit " << ad.unit
                  << (scene.shows.empty() ? "" : ": " + scene.shows) << "\n";
        std::cout << "   outcome    " << seen.load.outcome << "\n";
        if (ad.page) {
            const auto page = pages / (std::to_string(index + 1) + "-" + std::string(formatName(ad.format)) + ".html");
            std::filesystem::create_directories(pages);
            std::ofstream(page, std::ios::binary) << *ad.page;
            std::cout << "   page       " << page.string() << "\n";
        }
        printLines(verdict);
        problems += verdict.problems.size();
    }
    return problems;
}

}  // namespace

int main(int argc, char** argv) {
    Console console;
    std::optional<testing::TestAppHome> home;
    if (!variable("QOR_APP_HOME")) home.emplace("qor-example");
    const auto pages = pagesFolder(argc, argv);

    // The servers: the deployment's when named, else our own simulated ad network.
    const auto keys = QOR::readInfoPlistConfig();
    if (!keys) {
        std::cerr << "The Info.plist beside the program has no QORSDKConfig writeKey.\n";
        return 1;
    }
    std::unique_ptr<EmbeddedAdNetwork> embedded;
    if (!deploymentNamed()) {
        embedded = std::make_unique<EmbeddedAdNetwork>(keys->writeKeyForAdNetwork.value_or(keys->writeKey));
    }
    std::cout << "The QOR example app\n"
              << "   ad network " << QOR::adNetworkBaseURL()
              << (embedded ? " (the example's own simulated ad network on loopback TLS)" : " (the deployment's)")
              << "\n   collection " << variable("QOR_COLLECTION_URL").value_or("the SDK's built-in endpoint") << "\n"
              << "   pages      " << pages.string() << "\n\nThe SDK's console while the app runs:\n";

    // Start-up, as an app does it: the keys come from the Info.plist.
    browser::keepOpenedLinks();
    QOR::start(nullptr);
    host::postLaunch();
    std::vector<std::string> sent;
    sendAppEvents(sent);
    const bool containerLoaded = RunLoop::main().runUntil([] { return QOR::adNetworkContainer().has_value(); }, 10s);
    std::vector<Load> loads;
    if (containerLoaded) loads = loadEveryScene(embedded.get(), sent);
    const auto lastLoad = RunLoop::Clock::now();

    // Leaving the screen makes the analytics side send what it holds; the SDK posts the auction
    // events on its own 5 seconds after the latest.
    host::postEnterBackground();
    RunLoop::main().runUntil([&] { return console.countSoFar(kUploadResult) > 0; }, 20s);
    if (embedded) {
        std::vector<EmbeddedAdNetwork::Stretch> stretches;
        for (const auto& load : loads) stretches.push_back(load.stretch);
        RunLoop::main().runUntil([&] { return embedded->auctionEventsPosted(stretches); }, 20s);
    } else {
        // Another network's collection endpoint is not seen: the run loop turns long enough for
        // the SDK's own timer and the upload it starts.
        RunLoop::main().runUntil(lastLoad + 8s);
    }

    std::cout << "\nWhat happened, judged by the auction rules. For each load: what the app saw, what the rules\n"
                 "make of each endpoint's answer, the trackers the shown ad fired and the auction events the SDK\n"
                 "posted to the collection endpoint.\n";
    std::size_t problems = 0;
    if (!containerLoaded) {
        std::cout << "   PROBLEM    the container never arrived from " << QOR::adNetworkBaseURL() << "\n";
        problems += 1;
    } else {
        problems += reportLoads(loads, embedded.get(), *QOR::adNetworkContainer(), pages);
    }
    AnalyticsSeen analytics{sent, std::nullopt, uploadResults(console)};
    if (embedded) analytics.posts = embedded->collectionPosts();
    const auto collected = judgeAnalytics(analytics);
    std::cout << "\nAnalytics: the events the app sent and which batches the collection endpoint accepted, per kind\n"
                 "(track also counts the SDK's own lifecycle events):\n";
    printLines(collected);
    problems += collected.problems.size();

    std::size_t shown = 0;
    for (const auto& load : loads) shown += load.ad.shown ? 1 : 0;
    std::cout << "\n"
              << loads.size() << " loads: " << shown << " shown, " << loads.size() - shown << " without an ad. ";
    if (problems == 0) {
        std::cout << "No PROBLEM: the SDK behaved as the auction rules say.\n";
        return 0;
    }
    std::cout << problems << " PROBLEM" << (problems > 1 ? "s" : "") << " found, each named above.\n";
    return 1;
}
