#pragma once

#include <optional>
#include <string>
#include <vector>

#include "AdNetwork/AdData.h"
#include "AdNetwork/AdNetworkCoding.h"
#include "AdNetwork/BatchType.h"

namespace qor {

// One auction event as the collection endpoint receives it. Every value of the context outside
// "adData" is text, the screen sizes included ("390.0").
struct Batch {
    struct Context {
        struct App {
            std::string build;
            std::string name;
            std::string namespace_;  // "namespace", a C++ keyword
            std::string version;

            void encode(KeyedEncodingContainer& c) const {
                c.encode("build", build);
                c.encode("name", name);
                c.encode("namespace", namespace_);
                c.encode("version", version);
            }

            bool operator==(const App&) const = default;
        };

        struct Device {
            std::string id;
            std::string manufacturer;
            std::string model;
            std::string name;
            std::string type;

            void encode(KeyedEncodingContainer& c) const {
                c.encode("id", id);
                c.encode("manufacturer", manufacturer);
                c.encode("model", model);
                c.encode("name", name);
                c.encode("type", type);
            }

            bool operator==(const Device&) const = default;
        };

        struct Screen {
            std::string width;
            std::string height;

            void encode(KeyedEncodingContainer& c) const {
                c.encode("width", width);
                c.encode("height", height);
            }

            bool operator==(const Screen&) const = default;
        };

        App app;
        Device device;
        std::string locale;
        Screen screen;
        std::string timezone;
        std::optional<AdData> adData;

        void encode(KeyedEncodingContainer& c) const {
            c.encode("app", app);
            c.encode("device", device);
            c.encode("locale", locale);
            c.encode("screen", screen);
            c.encode("timezone", timezone);
            c.encodeIfPresent("adData", adData);
        }

        bool operator==(const Context&) const = default;
    };

    std::string anonymousId;
    BatchType name = BatchType::bidRequest;
    std::string requestId;
    std::string timestamp;
    BatchEventType type = BatchEventType::track;
    std::string writeKey;
    Context context;

    // Puts the payload into the context when it is the record the kind calls for (a bid request
    // for bidRequest, ...); any other payload, or none, leaves the context as it was.
    void fillBatchAdData(BatchType kind, std::optional<AdData> data);

    void encode(KeyedEncodingContainer& c) const {
        c.encode("anonymousId", anonymousId);
        c.encode("name", name);
        c.encode("requestId", requestId);
        c.encode("timestamp", timestamp);
        c.encode("type", type);
        c.encode("writeKey", writeKey);
        c.encode("context", context);
    }

    bool operator==(const Batch&) const = default;
};

// The upload envelope of auction events; "batch" is singular on the wire.
struct BatchRequest {
    std::string writeKey;
    std::vector<Batch> batches;
    std::string sentAt;
    std::string typeSDK = "adnetwork";

    void encode(KeyedEncodingContainer& c) const {
        c.encode("writeKey", writeKey);
        c.encode("batch", batches);
        c.encode("sentAt", sentAt);
        c.encode("typeSDK", typeSDK);
    }
};

// The context every auction event of the process starts from, read from the platform once:
// bundle texts, vendor identifier, device model, name and system, preferred language, screen
// bounds and time zone. Values the platform lacks are "unknown" ("en-US" for the language).
// The platform's stand-ins answer from any thread, so the recorder may be made on any.
Batch::Context makeBatchContext();

// "yyyy-MM-dd HH:mm:ss" in local time: the form of "timestamp" and "sentAt".
std::string batchTimestamp();

}  // namespace qor
