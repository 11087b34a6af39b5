#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include <QORUniversalSDK/Core/JSON.h>
#include <QORUniversalSDK/Platform/Foundation/Coding/Codable.h>
#include <QORUniversalSDK/Platform/Support/Export.h>

namespace qor {

// Destination metadata an event may carry; all three lists are always written.
struct QOR_EXPORT DestinationMetadata {
    std::vector<std::string> bundled;
    std::vector<std::string> unbundled;
    std::vector<std::string> bundledIds;

    void encode(platform::KeyedEncodingContainer& container) const;
    static DestinationMetadata decode(const platform::KeyedDecodingContainer& container);
    bool operator==(const DestinationMetadata&) const = default;
};

// The nine fields every analytics event has. The engine's generic steps (stamping,
// context enrichment) reach any event through them. It cannot be copied on its own, so
// an event is never cut down to its common part by accident; to hold an event without
// its kind, use AnyRawEvent.
struct QOR_EXPORT RawEvent {
    std::optional<std::string> type;
    std::optional<std::string> anonymousId;
    std::optional<std::string> messageId;
    std::optional<std::string> userId;
    std::optional<std::string> timestamp;
    std::optional<JSON> context;
    std::optional<JSON> integrations;
    std::optional<std::vector<JSON>> metrics;
    std::optional<DestinationMetadata> _metadata;

    // Copies anonymousId, messageId, userId, timestamp, context, integrations and
    // _metadata from `source` (nil values included); `type` and `metrics` stay. Does
    // nothing without a source.
    void copyCommonFields(const RawEvent* source);

    bool operator==(const RawEvent&) const = default;

protected:
    RawEvent() = default;
    explicit RawEvent(std::string kind) : type(std::move(kind)) {}
    RawEvent(const RawEvent&) = default;
    RawEvent(RawEvent&&) = default;
    RawEvent& operator=(const RawEvent&) = default;
    RawEvent& operator=(RawEvent&&) = default;
    ~RawEvent() = default;

    // The common fields in the order most kinds write them (type through _metadata).
    void encodeCommon(platform::KeyedEncodingContainer& container) const;
    void decodeCommon(const platform::KeyedDecodingContainer& container);
};

struct QOR_EXPORT TrackEvent : RawEvent {
    std::string event;
    std::optional<JSON> properties;

    TrackEvent() = default;
    TrackEvent(std::string event, std::optional<JSON> properties);
    static TrackEvent existing(const TrackEvent& other);

    void encode(platform::KeyedEncodingContainer& container) const;
    static TrackEvent decode(const platform::KeyedDecodingContainer& container);
    bool operator==(const TrackEvent&) const = default;
};

struct QOR_EXPORT IdentifyEvent : RawEvent {
    std::optional<JSON> traits;

    IdentifyEvent() = default;
    IdentifyEvent(std::optional<std::string> userId, std::optional<JSON> traits);
    static IdentifyEvent existing(const IdentifyEvent& other);

    void encode(platform::KeyedEncodingContainer& container) const;
    static IdentifyEvent decode(const platform::KeyedDecodingContainer& container);
    bool operator==(const IdentifyEvent&) const = default;
};

struct QOR_EXPORT ScreenEvent : RawEvent {
    std::optional<std::string> name;
    std::optional<std::string> category;
    std::optional<JSON> properties;

    ScreenEvent() = default;
    // The title travels as "name".
    ScreenEvent(std::optional<std::string> title, std::optional<std::string> category, std::optional<JSON> properties);
    static ScreenEvent existing(const ScreenEvent& other);

    void encode(platform::KeyedEncodingContainer& container) const;
    static ScreenEvent decode(const platform::KeyedDecodingContainer& container);
    bool operator==(const ScreenEvent&) const = default;
};

struct QOR_EXPORT GroupEvent : RawEvent {
    std::optional<std::string> groupId;
    std::optional<JSON> traits;

    GroupEvent() = default;
    GroupEvent(std::optional<std::string> groupId, std::optional<JSON> traits);
    static GroupEvent existing(const GroupEvent& other);

    void encode(platform::KeyedEncodingContainer& container) const;
    static GroupEvent decode(const platform::KeyedDecodingContainer& container);
    bool operator==(const GroupEvent&) const = default;
};

// Its new id is the common `userId`, written after `_metadata`.
struct QOR_EXPORT AliasEvent : RawEvent {
    std::optional<std::string> previousId;

    AliasEvent() = default;
    explicit AliasEvent(std::optional<std::string> newId);
    static AliasEvent existing(const AliasEvent& other);

    void encode(platform::KeyedEncodingContainer& container) const;
    static AliasEvent decode(const platform::KeyedDecodingContainer& container);
    bool operator==(const AliasEvent&) const = default;
};

// Any one event, held with its kind but used without knowing it.
using AnyRawEvent = std::variant<TrackEvent, IdentifyEvent, ScreenEvent, GroupEvent, AliasEvent>;

inline RawEvent& common(AnyRawEvent& event) {
    return std::visit([](auto& e) -> RawEvent& { return e; }, event);
}
inline const RawEvent& common(const AnyRawEvent& event) {
    return std::visit([](const auto& e) -> const RawEvent& { return e; }, event);
}

}  // namespace qor

namespace qor::platform {

// An event without its kind codes as the event itself. Reading picks the kind by the
// object's "type" and fails for any other value.
template <>
struct QOR_EXPORT ValueCoding<qor::AnyRawEvent> {
    static Any encode(const qor::AnyRawEvent& event);
    static qor::AnyRawEvent decode(const Any& value, const CodingPath& path);
};

}  // namespace qor::platform
