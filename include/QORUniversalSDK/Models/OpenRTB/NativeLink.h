#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <QORUniversalSDK/Models/OpenRTB/OpenRTBCoding.h>

namespace qor {

// The click destination of a native ad or of one of its assets.
struct Link {
    std::string url;
    std::optional<std::vector<std::string>> clickTrackers;
    std::optional<std::string> fallbackURL;
    std::optional<std::string> ext;

    void encode(KeyedEncodingContainer& c) const {
        c.encode("url", url);
        c.encodeIfPresent("clicktrackers", clickTrackers);
        c.encodeIfPresent("fallback", fallbackURL);
        c.encodeIfPresent("ext", ext);
    }

    static Link decode(const KeyedDecodingContainer& c) {
        Link link;
        link.url = c.decode<std::string>("url");
        link.clickTrackers = c.decodeIfPresent<std::vector<std::string>>("clicktrackers");
        link.fallbackURL = c.decodeIfPresent<std::string>("fallback");
        link.ext = c.decodeIfPresent<std::string>("ext");
        return link;
    }

    bool operator==(const Link&) const = default;
};

// One impression or viewability tracker of a native ad.
struct EventTracker {
    enum class EventType : std::int64_t {
        impression = 1,
        viewableMRC50 = 2,
        viewableMRC100 = 3,
        viewableVideo50 = 4,
    };

    enum class EventMethod : std::int64_t {
        image = 1,
        javascript = 2,
    };

    EventType eventType = EventType::impression;
    EventMethod method = EventMethod::image;
    std::optional<std::string> ext;
    std::optional<std::string> url;

    void encode(KeyedEncodingContainer& c) const;
    static EventTracker decode(const KeyedDecodingContainer& c);

    bool operator==(const EventTracker&) const = default;
};

// The data-asset part of a native asset: written in requests, read from responses.
namespace AssetData {

struct Request {
    std::optional<std::int64_t> type;
    std::optional<std::int64_t> length;

    void encode(KeyedEncodingContainer& c) const {
        c.encodeIfPresent("type", type);
        c.encodeIfPresent("len", length);
    }

    bool operator==(const Request&) const = default;
};

struct Response {
    std::string value;
    std::optional<std::int64_t> type;
    std::optional<std::int64_t> length;

    static Response decode(const KeyedDecodingContainer& c) {
        Response r;
        r.value = c.decode<std::string>("value");
        r.type = c.decodeIfPresent<std::int64_t>("type");
        r.length = c.decodeIfPresent<std::int64_t>("len");
        return r;
    }

    bool operator==(const Response&) const = default;
};

}  // namespace AssetData

}  // namespace qor

template <>
struct qor::platform::EnumRawValues<qor::EventTracker::EventType> {
    using E = qor::EventTracker::EventType;
    static constexpr std::array cases{
        std::pair{E::impression, std::int64_t{1}},
        std::pair{E::viewableMRC50, std::int64_t{2}},
        std::pair{E::viewableMRC100, std::int64_t{3}},
        std::pair{E::viewableVideo50, std::int64_t{4}},
    };
};

template <>
struct qor::platform::EnumRawValues<qor::EventTracker::EventMethod> {
    using E = qor::EventTracker::EventMethod;
    static constexpr std::array cases{
        std::pair{E::image, std::int64_t{1}},
        std::pair{E::javascript, std::int64_t{2}},
    };
};

inline void qor::EventTracker::encode(KeyedEncodingContainer& c) const {
    c.encode("event", eventType);
    c.encode("method", method);
    c.encodeIfPresent("ext", ext);
    c.encodeIfPresent("url", url);
}

inline qor::EventTracker qor::EventTracker::decode(const KeyedDecodingContainer& c) {
    EventTracker t;
    t.eventType = c.decode<EventType>("event");
    t.method = c.decode<EventMethod>("method");
    t.ext = c.decodeIfPresent<std::string>("ext");
    t.url = c.decodeIfPresent<std::string>("url");
    return t;
}
