#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "Analytics/Plugin.h"
#include "Core/JSON.h"
#include "Networking/Client/Result.h"
#include "Platform/Foundation/Any.h"
#include "Platform/Support/ConstructionKey.h"

namespace qor {

// Gives every event its context: library, app, device, operating system, screen, user
// agent, locale, time zone, channel and session, gathered once when the plugin is made, the
// public IP address once its lookup has answered, and, read anew for every event, the
// network state and the user's traits. An event's own context keys win over the plugin's,
// and the user's traits win over both.
class Context : public PlatformPlugin, public std::enable_shared_from_this<Context> {
public:
    // Gathers the static facts and starts the public-IP lookup through the shared Session
    // (which start-up must have made).
    static std::shared_ptr<Context> make();
    explicit Context(platform::ConstructionKey<Context>);

    PluginType type() const override { return PluginType::before; }
    std::optional<AnyRawEvent> execute(AnyRawEvent event) override;

    // A copy of the facts gathered so far.
    platform::AnyDictionary staticContext() const;

    // The address in an IP-echo trace: the value of the first line that begins with "ip=",
    // lower-cased; nothing when there is no such line or it holds no value.
    static std::optional<std::string> addressFromTrace(std::string_view trace);

    // The text form of a screen measure: shortest decimal, always with a fractional part.
    static std::string numberText(double value);

private:
    void startIPLookup();
    void receiveIPAnswer(const Result<std::string>& answer);

    void setStaticContext(platform::AnyDictionary facts);

    mutable std::mutex mutex_;  // the IP answer writes on the main thread while events read
    platform::AnyDictionary staticContext_;
    JSON::Object staticContextJSON_;  // the same facts, ready for events
};

}  // namespace qor
