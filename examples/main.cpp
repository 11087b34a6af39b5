// The SDK's analytics job end to end: start the engine with the write key of the app's
// Info.plist, record events of every kind, flush, and report what the collection endpoint
// received. Exits 0 when every event was accepted, 1 when some were not, 2 on a time-out.
//
// By default the collection endpoint and the IP-echo service are loopback servers started
// here. QOR_COLLECTION_URL and QOR_IP_ECHO_URL point the app at other servers instead
// (QOR_CA_FILE and QOR_CONNECT_TO are honoured by the URL session as usual); QOR_APP_HOME
// chooses the app's data folder (a fresh temporary one otherwise).

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "Analytics/Analytics.h"
#include "Analytics/Context.h"
#include "Analytics/DeviceToken.h"
#include "Analytics/QORDestination.h"
#include "Core/DeploymentValues.h"
#include "Networking/Client/Session/Session.h"
#include "Networking/Client/Session/SessionDelegate.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/HTTPURLResponse.h"
#include "Platform/Foundation/JSONSerialization.h"
#include "Platform/Foundation/URLSession.h"
#include "Platform/Foundation/URLSessionConfiguration.h"
#include "Platform/Foundation/URLSessionTask.h"
#include "Platform/UIKit/UIApplication.h"
#include "testing/CollectionServer.h"
#include "testing/FileHelpers.h"
#include "testing/IPEchoServer.h"
#include "testing/MainLoopPump.h"
#include "testing/ScopedEnvironment.h"
#include "testing/TestAppHome.h"

namespace {

using namespace qor;
using platform::Any;
using platform::AnyDictionary;

// What the collection endpoint answered to one upload.
struct Answer {
    std::optional<int> status;  // nothing when no answer came (transport error)
    std::string body;
};

// Watches the app's HTTP traffic on its way to the SDK's own delegate and keeps the answers
// that came from the collection endpoint.
class AnswerRecorder final : public platform::URLSessionDataDelegate {
public:
    explicit AnswerRecorder(std::shared_ptr<SessionDelegate> inner) : inner_(std::move(inner)) {}

    void didReceiveData(platform::URLSession& session, platform::URLSessionDataTask& task,
                        const platform::Data& data) override {
        {
            std::lock_guard<std::mutex> guard(mutex_);
            bodies_[task.taskIdentifier()].append(data.begin(), data.end());
        }
        inner_->didReceiveData(session, task, data);
    }

    void didCompleteWithError(platform::URLSession& session, platform::URLSessionTask& task,
                              std::optional<platform::URLError> error) override {
        const auto& url = task.originalRequest().url();
        if (url && url->absoluteString() == deployment::collectionEndpointURL()) {
            Answer answer;
            const auto http = std::dynamic_pointer_cast<platform::HTTPURLResponse>(task.response());
            if (http && !error) answer.status = http->statusCode();
            std::lock_guard<std::mutex> guard(mutex_);
            answer.body = bodies_[task.taskIdentifier()];
            answers_.push_back(std::move(answer));
        }
        inner_->didCompleteWithError(session, task, error);
    }

    std::vector<Answer> answers() const {
        std::lock_guard<std::mutex> guard(mutex_);
        return answers_;
    }

private:
    const std::shared_ptr<SessionDelegate> inner_;
    mutable std::mutex mutex_;
    std::map<std::int64_t, std::string> bodies_;
    std::vector<Answer> answers_;
};

std::optional<std::string> writeKeyFromInfo() {
    const auto config = platform::Bundle::main()->objectForInfoDictionaryKey("QORSDKConfig");
    if (!config || !config->asDictionary()) return std::nullopt;
    const auto found = config->asDictionary()->find("writeKey");
    if (found == config->asDictionary()->end() || !found->second.asString()) return std::nullopt;
    return *found->second.asString();
}

// The message ids of the events in a batch text.
std::set<std::string> messageIds(const std::string& batchText) {
    std::set<std::string> ids;
    try {
        const Any batch = platform::JSONSerialization::jsonObject(batchText);
        for (const auto& event : batch.asDictionary().at("batch").asArray()) {
            if (const auto* id = event.asDictionary().find("messageId")) ids.insert(id->asString());
        }
    } catch (const std::exception&) {
        // Not a batch: it holds no events we sent.
    }
    return ids;
}

std::string text(const Any* value) {
    if (value == nullptr) return "";
    if (const auto* string = value->tryString()) return *string;
    return platform::JSONSerialization::string(*value, {true});
}

void printBatch(std::size_t number, const std::string& body) {
    Any batch;
    try {
        batch = platform::JSONSerialization::jsonObject(body);
    } catch (const std::exception&) {
        std::cout << "  batch " << number << ": not JSON (" << body.size() << " bytes)\n";
        return;
    }
    const auto& members = batch.asDictionary();
    const auto& events = members.at("batch").asArray();
    std::cout << "  batch " << number << ": " << events.size() << " events, writeKey " << text(members.find("writeKey"))
              << ", sentAt " << text(members.find("sentAt")) << "\n";
    for (const auto& value : events) {
        const auto& event = value.asDictionary();
        const std::string type = text(event.find("type"));
        std::string summary;
        if (type == "track") summary = text(event.find("event")) + " " + text(event.find("properties"));
        if (type == "identify") summary = text(event.find("userId")) + " " + text(event.find("traits"));
        if (type == "screen") summary = text(event.find("name")) + " " + text(event.find("properties"));
        if (type == "group") summary = text(event.find("groupId")) + " " + text(event.find("traits"));
        if (type == "alias") summary = text(event.find("userId"));
        std::cout << "    " << type << std::string(10 - std::min<std::size_t>(type.size(), 9), ' ') << summary << "\n";
    }
}

void recordEvents(Analytics& analytics) {
    const auto application = platform::UIApplication::shared();
    application->simulateLaunch(
        AnyDictionary{{platform::UIApplicationLaunchOptionsKey::sourceApplication, "com.example.mail"}});
    analytics.setDeviceToken("a1b2c3d4e5f60718");

    analytics.track("Article Opened", AnyDictionary{{"articleId", 1842}, {"section", "science"}});
    analytics.track("Video Played", AnyDictionary{{"seconds", 12.5}, {"autoplay", false}});
    analytics.track("Search");
    analytics.identify("user-7781", AnyDictionary{{"plan", "pro"}, {"email", "reader@example.test"}});
    analytics.identify("user-7781");
    analytics.screen("Home", std::string("Main"));
    analytics.screen("Settings", std::nullopt, AnyDictionary{{"theme", "dark"}});
    analytics.group("newsroom-3", AnyDictionary{{"name", "Newsroom"}, {"seats", 12}});
    analytics.alias("reader-7781");
}

}  // namespace

int main() {
    // The app's data folder.
    std::optional<testing::TestAppHome> home;
    if (!std::getenv("QOR_APP_HOME")) home.emplace("qor-example");

    // The servers: the deployment's when given, our own loopback ones otherwise.
    std::unique_ptr<testing::CollectionServer> collection;
    std::unique_ptr<testing::IPEchoServer> ipEcho;
    std::optional<testing::ScopedEnvironment> collectionVariable;
    std::optional<testing::ScopedEnvironment> ipEchoVariable;
    if (!std::getenv(deployment::kCollectionURLVariable)) {
        collection = testing::CollectionServer::makeHTTP();
        collectionVariable.emplace(deployment::kCollectionURLVariable, collection->collectionURL());
    }
    if (!std::getenv(deployment::kIPEchoURLVariable)) {
        ipEcho = testing::IPEchoServer::makeHTTP();
        ipEchoVariable.emplace(deployment::kIPEchoURLVariable, ipEcho->baseURL());
    }
    std::cout << "Collection endpoint: " << deployment::collectionEndpointURL() << (collection ? " (embedded)" : "")
              << "\n"
              << "IP-echo service:     " << deployment::ipEchoBaseURL() << (ipEcho ? " (embedded)" : "") << "\n";

    const auto writeKey = writeKeyFromInfo();
    if (!writeKey) {
        std::cerr << "The Info.plist beside the program has no QORSDKConfig writeKey.\n";
        return 1;
    }

    // Start-up: the shared Session (watched on its way), then analytics as the facade makes it.
    auto sessionDelegate = std::make_shared<SessionDelegate>();
    auto recorder = std::make_shared<AnswerRecorder>(sessionDelegate);
    Session::setSharedInstance(
        Session::make(platform::URLSession::make(platform::URLSessionConfiguration::defaultConfiguration(), recorder),
                      sessionDelegate));
    auto configuration = Configuration::make(*writeKey);
    auto analytics = Analytics::make(configuration);

    const auto context = analytics->find<Context>();
    testing::pumpMainUntil([&] { return context->staticContext().contains("ip"); }, std::chrono::seconds(5));

    recordEvents(*analytics);

    // Flush: finish the open batch file and upload every finished one.
    const auto destination = analytics->find<QORDestination>();
    const auto files = analytics->storage()->read(Storage::Constants::events).value_or(std::vector<platform::URL>{});
    std::set<std::string> sent;
    for (const auto& file : files) {
        for (const auto& id : messageIds(testing::readFile(file.path()))) sent.insert(id);
    }
    std::cout << "Recorded " << sent.size() << " events in " << files.size() << " batch file(s); flushing.\n";
    destination->flush();

    // Settled once every upload has been answered and its completion has let go of the
    // instance, so the last references are dropped here rather than on a worker thread.
    const bool settled = testing::pumpMainUntil(
        [&] {
            return recorder->answers().size() >= files.size() && destination->pendingUploads() == 0 &&
                   sessionDelegate->taskCount() == 0 && analytics.use_count() == 1;
        },
        std::chrono::seconds(30));
    if (!settled) {
        std::cerr << "The uploads did not finish in time.\n";
        return 2;
    }

    bool allAccepted = !sent.empty();
    for (const auto& answer : recorder->answers()) {
        const bool accepted = answer.status && *answer.status >= 200 && *answer.status < 300;
        allAccepted = allAccepted && accepted;
        std::cout << "Upload answered " << (answer.status ? std::to_string(*answer.status) : "nothing") << ": "
                  << answer.body << "\n";
    }
    const auto left = analytics->storage()->read(Storage::Constants::events).value_or(std::vector<platform::URL>{});
    allAccepted = allAccepted && left.empty();

    if (collection) {
        const auto bodies = collection->receivedBodies();
        std::cout << "The collection endpoint received " << bodies.size() << " batch(es):\n";
        std::set<std::string> received;
        for (std::size_t index = 0; index < bodies.size(); ++index) {
            printBatch(index + 1, bodies[index]);
            for (const auto& id : messageIds(bodies[index])) received.insert(id);
        }
        allAccepted = allAccepted && received == sent;
    }

    if (allAccepted) {
        std::cout << "Every event was accepted (" << sent.size() << ").\n";
        return 0;
    }
    std::cout << "Not every event was accepted; " << left.size() << " batch file(s) remain.\n";
    return 1;
}
