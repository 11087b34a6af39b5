#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "Models/OpenRTB/OpenRTBCoding.h"

namespace qor {

// The app's publisher. Only "id" and "name" exist on the wire.
struct Publisher {
    std::optional<std::string> id;
    std::optional<std::string> name;

    void encode(KeyedEncodingContainer& c) const {
        c.encodeIfPresent("id", id);
        c.encodeIfPresent("name", name);
    }

    static Publisher decode(const KeyedDecodingContainer& c) {
        Publisher p;
        p.id = c.decodeIfPresent<std::string>("id");
        p.name = c.decodeIfPresent<std::string>("name");
        return p;
    }

    bool operator==(const Publisher&) const = default;
};

// The framework's own version record, sent with every app object so that a demand endpoint can
// tell which release of the framework asked. Its values are constants: decoding only checks that
// an object stands there and never takes a sender's values.
struct SDKSource {
    static constexpr std::string_view frameworkVersion = "0.1.19";
    static constexpr std::string_view sourceName = "qor-sdk";

    std::string version{frameworkVersion};
    std::string source{sourceName};

    void encode(KeyedEncodingContainer& c) const {
        c.encode("version", version);
        c.encode("source", source);
    }

    static SDKSource decode(const KeyedDecodingContainer&) { return SDKSource{}; }

    bool operator==(const SDKSource&) const = default;
};

// The app object of a bid request ("app").
struct ApplicationInfo {
    struct Extension {
        SDKSource sdkSource;

        void encode(KeyedEncodingContainer& c) const { c.encode("QOR", sdkSource); }

        static Extension decode(const KeyedDecodingContainer& c) { return Extension{c.decode<SDKSource>("QOR")}; }

        bool operator==(const Extension&) const = default;
    };

    std::optional<std::string> id;
    std::optional<std::string> name;
    std::optional<std::string> bundle;
    std::optional<std::string> domain;
    std::optional<std::string> storeURL;
    std::optional<std::string> version;
    std::optional<Publisher> publisher;
    std::optional<Extension> ext;

    // The app as the main bundle describes it: its name, identifier and short version (each left
    // out when the bundle lacks it or holds no text there) and the framework's version record.
    static ApplicationInfo fromMainBundle();

    void encode(KeyedEncodingContainer& c) const {
        c.encodeIfPresent("id", id);
        c.encodeIfPresent("name", name);
        c.encodeIfPresent("bundle", bundle);
        c.encodeIfPresent("domain", domain);
        c.encodeIfPresent("storeurl", storeURL);
        c.encodeIfPresent("ver", version);
        c.encodeIfPresent("publisher", publisher);
        c.encodeIfPresent("ext", ext);
    }

    static ApplicationInfo decode(const KeyedDecodingContainer& c) {
        ApplicationInfo app;
        app.id = c.decodeIfPresent<std::string>("id");
        app.name = c.decodeIfPresent<std::string>("name");
        app.bundle = c.decodeIfPresent<std::string>("bundle");
        app.domain = c.decodeIfPresent<std::string>("domain");
        app.storeURL = c.decodeIfPresent<std::string>("storeurl");
        app.version = c.decodeIfPresent<std::string>("ver");
        app.publisher = c.decodeIfPresent<Publisher>("publisher");
        app.ext = c.decodeIfPresent<Extension>("ext");
        return app;
    }

    bool operator==(const ApplicationInfo&) const = default;
};

}  // namespace qor
