// The example host app: the SDK's main job end to end. It starts the SDK from the Info.plist
// beside it, downloads the ad network's container, loads and shows one ad of every format
// (banner, interstitial, first-view, native, video) through the headless views, tracks and
// flushes analytics events, and lets the SDK post its auction events. Then it prints what
// happened: for each ad the winner, its price, the endpoints that lost and why, the trackers
// fired; and the batches the collection endpoint accepted. The HTML page of each web ad goes to
// a file, so a person can open it in a browser.
//
// Servers: its own simulated ad network on loopback TLS, unless one of the deployment variables
// (QOR_AD_NETWORK_*_URL, QOR_COLLECTION_URL, QOR_IP_ECHO_URL) is set; then it talks to those
// (QOR_CA_FILE and QOR_CONNECT_TO say whom to trust and where to connect) and shows the formats
// whose units the container has.
//
// Usage: qor_example [pages folder]. The folder defaults to $QOR_EXAMPLE_OUT, else
// "example-ads" beside the program. QOR_APP_HOME chooses the app's data folder (a fresh
// temporary one otherwise). Exits 0 when every step succeeded, 1 otherwise.

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "AdNetwork/BatchController.h"
#include "AdNetwork/InventoryReaders.h"
#include "AdNetwork/QOR.h"
#include "AdShowcase.h"
#include "Analytics/QORDestination.h"
#include "AuctionSummary.h"
#include "Core/DeploymentValues.h"
#include "EmbeddedAdNetwork.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/UIKit/UIApplication.h"
#include "Platform/UIKit/UIViewController.h"
#include "WireLog.h"
#include "testing/FileHelpers.h"
#include "testing/MainLoopPump.h"
#include "testing/TestAppHome.h"

namespace {

using namespace qor;
using namespace qor::example;
using namespace std::chrono_literals;
using platform::AnyDictionary;

// The steps that failed, each with its reason.
class Failures {
public:
    void check(bool ok, const std::string& step) {
        if (!ok) failed_.push_back(step);
    }
    bool any() const { return !failed_.empty(); }
    const std::vector<std::string>& list() const { return failed_; }

private:
    std::vector<std::string> failed_;
};

bool deploymentNamed() {
    for (const char* variable : {deployment::kAdNetworkTestURLVariable, deployment::kAdNetworkStagingURLVariable,
                                 deployment::kAdNetworkProductionURLVariable, deployment::kCollectionURLVariable,
                                 deployment::kIPEchoURLVariable}) {
        if (std::getenv(variable)) return true;
    }
    return false;
}

std::filesystem::path pagesFolder(int argc, char** argv) {
    if (argc > 1) return argv[1];
    if (const char* folder = std::getenv("QOR_EXAMPLE_OUT")) return folder;
    return std::filesystem::path(platform::Bundle::main()->bundlePath()) / "example-ads";
}

std::vector<platform::URL> batchFiles() {
    return Analytics::sharedInstance()
        ->storage()
        ->read(Storage::Constants::events)
        .value_or(std::vector<platform::URL>{});
}

// MARK: The app

// Loads and shows one ad of every format whose unit the container has; with our own servers,
// every format must be there.
std::vector<ShownAd> showEveryFormat(const Container& container, EmbeddedAdNetwork* embedded, const WireLog& wire,
                                     Failures& failures) {
    const auto root = std::make_shared<platform::UIViewController>();
    std::vector<ShownAd> shown;
    for (const auto format : allAdFormats) {
        const auto* inventory = findInventory(container, adUnitOf(format));
        if (!inventory || !inventoryServes(*inventory, adTypeOf(format))) {
            std::cout << formatName(format) << ": the container offers no unit " << adUnitOf(format) << "\n";
            failures.check(!embedded, std::string(formatName(format)) + ": no unit in the container");
            continue;
        }
        if (embedded) embedded->scriptAnswers(format);
        shown.push_back(showAd(format, wire, root));
        const auto& ad = shown.back();
        QOR::track(ad.shown ? "Ad Shown" : "Ad Not Shown",
                   AnyDictionary{{"format", std::string(formatName(format))}, {"unit", ad.unit}});
    }
    return shown;
}

void trackAppEvents() {
    platform::UIApplication::shared()->postLaunch();
    QOR::identify("reader-7781", AnyDictionary{{"plan", "pro"}});
    QOR::screen("Home", std::string("Main"));
    QOR::group("newsroom-3", AnyDictionary{{"seats", 12}});
}

// MARK: The summary

void printAd(const ShownAd& ad, const AuctionSummary& auction, const std::optional<std::filesystem::path>& page) {
    std::cout << "\n" << formatName(ad.format) << " (unit " << ad.unit << "): " << ad.outcome << "\n";
    if (auction.winner) {
        std::cout << "  winner   " << *auction.winner
                  << (auction.price ? " at " + priceText(*auction.price) : std::string()) << "\n";
    }
    for (const auto& [endpoint, why] : auction.losers) std::cout << "  lost     " << endpoint << ": " << why << "\n";
    for (const auto& [url, answer] : auction.trackers) std::cout << "  tracker  " << url << " -> " << answer << "\n";
    if (auction.trackers.empty()) std::cout << "  tracker  none\n";
    std::cout << "  events  ";
    for (const auto& [name, count] : auction.eventCounts) std::cout << " " << name << " " << count;
    std::cout << "\n";
    if (page) std::cout << "  page     " << page->string() << "\n";
    for (const auto& problem : auction.problems) std::cout << "  PROBLEM  " << problem << "\n";
}

// Prints what the collection endpoint answered; true when it accepted every upload, at least
// one analytics batch and one auction-event envelope among them, and no batch file is left.
bool printCollection(const std::vector<Exchange>& wire, std::size_t leftFiles) {
    const auto collection = deployment::collectionEndpointURL();
    std::size_t analytics = 0;
    std::size_t envelopes = 0;
    bool allAccepted = true;
    std::cout << "\nCollection endpoint " << collection << ":\n";
    for (const auto& exchange : wire) {
        if (exchange.url != collection) continue;
        const auto answer = exchange.status ? std::to_string(*exchange.status) : "no answer (" + exchange.error + ")";
        allAccepted = allAccepted && exchange.succeeded();
        if (exchange.requestBody.empty()) {
            analytics += 1;
            std::cout << "  analytics batch upload -> " << answer << "\n";
            continue;
        }
        envelopes += 1;
        const auto count = acceptedAuctionEvents({exchange}, collection).size();
        std::cout << "  auction events envelope"
                  << (exchange.succeeded() ? " of " + std::to_string(count) + " events" : std::string()) << " -> "
                  << answer << "\n";
    }
    std::cout << "  analytics batch files left on disk: " << leftFiles << "\n";
    return allAccepted && analytics > 0 && envelopes > 0 && leftFiles == 0;
}

// Flushes analytics and waits until every upload has been answered; the auction events go out
// on their own a few seconds after the last one.
bool flushAndWait(const WireLog& wire) {
    const auto files = batchFiles();
    const auto destination = Analytics::sharedInstance()->find<QORDestination>();
    destination->flush();
    const auto batches = BatchController::shared();
    const auto uploadsAnswered = [&] {
        std::size_t answered = 0;
        for (const auto& exchange : wire.exchanges()) {
            answered += exchange.url == deployment::collectionEndpointURL() && exchange.requestBody.empty() ? 1 : 0;
        }
        return answered >= files.size();
    };
    return testing::pumpMainUntil(
        [&] {
            return uploadsAnswered() && destination->pendingUploads() == 0 && batches->pendingCount() == 0 &&
                   batches->inFlightCount() == 0 && wire.inFlight() == 0;
        },
        20s);
}

// Prints each ad's auction and writes each web ad's page into the folder.
void reportAds(const std::vector<ShownAd>& shown, const std::vector<Exchange>& log, const std::filesystem::path& pages,
               Failures& failures) {
    const auto auctionEvents = acceptedAuctionEvents(log, deployment::collectionEndpointURL());
    if (!shown.empty()) std::filesystem::create_directories(pages);
    for (const auto& ad : shown) {
        const auto auction = summarizeAuction(ad, log, *QOR::adNetworkContainer(), auctionEvents);
        std::optional<std::filesystem::path> page;
        if (ad.page) {
            page = pages / (std::string(formatName(ad.format)) + ".html");
            testing::writeFile(*page, *ad.page);
        }
        printAd(ad, auction, page);
        failures.check(ad.shown, std::string(formatName(ad.format)) + ": " + ad.outcome);
        for (const auto& problem : auction.problems) {
            failures.check(false, std::string(formatName(ad.format)) + ": " + problem);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::optional<testing::TestAppHome> home;
    if (!std::getenv("QOR_APP_HOME")) home.emplace("qor-example");
    const auto pages = pagesFolder(argc, argv);
    Failures failures;

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
    std::cout << "Ad network: " << QOR::adNetworkBaseURL()
              << (embedded ? " (our own simulated ad network on loopback TLS)" : " (the deployment's)") << "\n";

    // Start-up, as an app does it: the keys come from the Info.plist.
    QOR::start(nullptr);
    const auto wire = WireLog::watchSharedSession();
    trackAppEvents();
    const bool containerLoaded = testing::pumpMainUntil([] { return QOR::adNetworkContainer().has_value(); }, 10s);
    failures.check(containerLoaded, "the container download");
    std::vector<ShownAd> shown;
    if (containerLoaded) shown = showEveryFormat(*QOR::adNetworkContainer(), embedded.get(), *wire, failures);

    failures.check(flushAndWait(*wire), "the uploads to the collection endpoint finished in time");
    reportAds(shown, wire->exchanges(), pages, failures);
    failures.check(printCollection(wire->exchanges(), batchFiles().size()),
                   "the collection endpoint accepted the analytics and auction-event batches");

    if (!failures.any()) {
        std::cout << "\nEvery step succeeded: " << shown.size() << " ads shown.\n";
        return 0;
    }
    std::cout << "\nFailed steps:\n";
    for (const auto& step : failures.list()) std::cout << "  " << step << "\n";
    return 1;
}
