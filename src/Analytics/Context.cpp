#include "Analytics/Context.h"

#include "Platform/Support/ASCIIText.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <vector>

#include "Analytics/Analytics.h"
#include "Analytics/QORDestination.h"
#include "Analytics/UserInfo.h"
#include "Analytics/iOSVendorSystem.h"
#include "Core/ISO8601Formatter.h"
#include "Core/SDKLog.h"
#include "Core/VendorSystem.h"
#include "Networking/Client/Request/PassBackRequest.h"
#include "Networking/Client/Session/Session.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Date.h"
#include "Platform/Foundation/Locale.h"
#include "Platform/Foundation/TimeZone.h"
#include "Platform/Foundation/UUID.h"
#include "Platform/Support/Console.h"

namespace qor {

namespace {

using platform::Any;
using platform::AnyDictionary;

Any plainValue(const platform::PlistValue& value) {
    return std::visit(
        [](const auto& stored) -> Any {
            using T = std::decay_t<decltype(stored)>;
            if constexpr (std::is_same_v<T, platform::Data>) {
                return Any(platform::plist::base64Encode(stored));
            } else if constexpr (std::is_same_v<T, platform::PlistArray>) {
                Any::Array elements;
                for (const auto& element : stored) elements.push_back(plainValue(element));
                return Any(std::move(elements));
            } else if constexpr (std::is_same_v<T, platform::PlistDictionary>) {
                AnyDictionary members;
                for (const auto& [key, member] : stored) members.set(key, plainValue(member));
                return Any(std::move(members));
            } else {
                return Any(stored);
            }
        },
        value.storage());
}

AnyDictionary appFacts(const platform::Bundle& bundle) {
    platform::PlistDictionary merged;
    if (auto info = bundle.infoDictionary()) merged = std::move(*info);
    if (auto localized = bundle.localizedInfoDictionary()) {
        for (auto& [key, value] : *localized) merged[key] = std::move(value);
    }
    if (merged.empty()) return {};
    auto fact = [&merged](const char* key) -> Any {
        const auto found = merged.find(key);
        return found == merged.end() ? Any(std::string()) : plainValue(found->second);
    };
    return AnyDictionary{{"name", fact("CFBundleDisplayName")},
                         {"version", fact("CFBundleShortVersionString")},
                         {"build", fact("CFBundleVersion")},
                         {"namespace", bundle.bundleIdentifier().value_or("")}};
}

JSON makeNetworkFacts(ConnectionStatus status) {
    const auto text = [](bool value) { return std::string(value ? "true" : "false"); };
    JSON::Object facts;
    facts.set("bluetooth", text(status == ConnectionStatus::bluetooth));
    facts.set("cellular", text(status == ConnectionStatus::cellular));
    facts.set("wifi", text(status == ConnectionStatus::wifi));
    return JSON(std::move(facts));
}

// The facts of each status, made once.
const JSON& networkFacts(ConnectionStatus status) {
    static const std::array<JSON, 5> facts{
        makeNetworkFacts(ConnectionStatus::cellular), makeNetworkFacts(ConnectionStatus::wifi),
        makeNetworkFacts(ConnectionStatus::bluetooth), makeNetworkFacts(ConnectionStatus::offline),
        makeNetworkFacts(ConnectionStatus::unknown)};
    return facts.at(static_cast<std::size_t>(status));
}

std::shared_ptr<VendorSystem> vendorSystem() {
    iOSVendorSystem::install();
    return VendorSystem::current();
}

}  // namespace

std::string Context::numberText(double value) {
    char buffer[64];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    std::string text(buffer, end);
    const bool integral = std::all_of(text.begin(), text.end(), [](char c) { return c == '-' || std::isdigit(c); });
    if (integral) text += ".0";
    return text;
}

Context::Context(platform::ConstructionKey<Context>) {
    AnyDictionary facts;
    facts.set("library",
              AnyDictionary{{"name", "lumatix-universal-sdk"}, {"version", QORDestination::staticVersion()}});

    auto app = appFacts(*platform::Bundle::main());
    if (!app.empty()) facts.set("app", std::move(app));

    const auto vendor = vendorSystem();
    facts.set("device", AnyDictionary{{"manufacturer", vendor->manufacturer()},
                                      {"type", vendor->type()},
                                      {"model", vendor->model()},
                                      {"name", vendor->name()},
                                      {"id", vendor->identifierForVendor().value_or("")}});
    facts.set("os", AnyDictionary{{"name", vendor->systemName()}, {"version", vendor->systemVersion()}});
    const auto screen = vendor->screenSize();
    facts.set("screen", AnyDictionary{{"width", numberText(screen.width)},
                                      {"height", numberText(screen.height)},
                                      {"density", numberText(screen.scale)}});
    if (auto agent = vendor->userAgent()) {
        facts.set("userAgent", *agent);
    } else {
        facts.erase("userAgent");
    }
    const auto languages = platform::Locale::preferredLanguages();
    if (!languages.empty()) facts.set("locale", languages.front());
    facts.set("timezone", platform::TimeZone::current().identifier);
    facts.set("channel", "mobile");
    facts.set("session", AnyDictionary{{"id", platform::UUID::make().uuidString()},
                                       {"startedAt", sharedISO8601Formatter().string(platform::Date::now())}});
    setStaticContext(std::move(facts));
}

void Context::setStaticContext(platform::AnyDictionary facts) {
    // Events read the facts as JSON; converting once here keeps that off every event's road.
    auto members = JSON::jsonDictionary(facts);
    std::lock_guard<std::mutex> guard(mutex_);
    staticContext_ = std::move(facts);
    staticContextJSON_ = std::move(members);
}

std::shared_ptr<Context> Context::make() {
    auto context = std::make_shared<Context>(platform::ConstructionKey<Context>{});
    context->startIPLookup();
    return context;
}

platform::AnyDictionary Context::staticContext() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return staticContext_;
}

std::optional<std::string> Context::addressFromTrace(std::string_view trace) {
    std::size_t start = 0;
    while (start <= trace.size()) {
        const std::size_t end = std::min(trace.find('\n', start), trace.size());
        std::string_view line = trace.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.substr(0, 3) == "ip=") {
            // Split at every "=" with empty pieces dropped; the address is the second piece.
            std::vector<std::string_view> pieces;
            std::size_t from = 0;
            while (from <= line.size()) {
                const std::size_t to = std::min(line.find('=', from), line.size());
                if (to > from) pieces.push_back(line.substr(from, to - from));
                from = to + 1;
            }
            if (pieces.size() < 2) return std::nullopt;
            return platform::lowercasedASCII(pieces[1]);
        }
        if (end == trace.size()) break;
        start = end + 1;
    }
    return std::nullopt;
}

void Context::startIPLookup() {
    auto self = shared_from_this();  // the completion holds the plugin until it has run
    Session::sharedInstance()->send(FetchIPRequest::standard(), CallbackQueue::currentMainOrAsync{},
                                    [self](Result<std::string> answer) { self->receiveIPAnswer(answer); });
}

void Context::receiveIPAnswer(const Result<std::string>& answer) {
    if (const auto* failure = answer.errorIf()) {
        sdkLog("Couldn't detect IP Address: ", platform::consoleText(failure->description()));
        return;
    }
    const auto address = addressFromTrace(answer.value());
    if (!address) {
        const QORSDKError error(
            QORSDKError::generalError{QORSDKError::GeneralErrorReason::coreError{"Failed to get IP Address"}});
        sdkLog("Couldn't detect IP Address: ", error);
        return;
    }
    auto facts = staticContext();
    facts.set("ip", *address);
    setStaticContext(std::move(facts));
}

std::optional<AnyRawEvent> Context::execute(AnyRawEvent event) {
    RawEvent& raw = common(event);
    JSON::Object working;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        working = staticContextJSON_;
    }
    working.set("network", networkFacts(vendorSystem()->connection()));

    // The event's own context wins over the plugin's facts, and the user's traits over both.
    if (raw.context) {
        if (const auto* own = raw.context->object()) {
            for (const auto& [key, value] : *own) working.set(key, value);
        }
    }
    if (const auto owner = analytics()) {
        // Only the traits are copied out of the user's state.
        owner->store()->withState<UserInfo>([&working](const UserInfo& user) {
            if (!user.traits) return false;
            if (const auto* traits = user.traits->object()) {
                working.set("traits", JSON(*traits));
            } else {
                working.erase("traits");
            }
            return true;
        });
    }
    raw.context = JSON(std::move(working));
    return event;
}

}  // namespace qor
