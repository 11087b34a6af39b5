#include "Analytics/Events.h"

namespace qor {

using platform::KeyedDecodingContainer;
using platform::KeyedEncodingContainer;

// MARK: DestinationMetadata

void DestinationMetadata::encode(KeyedEncodingContainer& container) const {
    container.encode("bundled", bundled);
    container.encode("unbundled", unbundled);
    container.encode("bundledIds", bundledIds);
}

DestinationMetadata DestinationMetadata::decode(const KeyedDecodingContainer& container) {
    DestinationMetadata metadata;
    metadata.bundled = container.decode<std::vector<std::string>>("bundled");
    metadata.unbundled = container.decode<std::vector<std::string>>("unbundled");
    metadata.bundledIds = container.decode<std::vector<std::string>>("bundledIds");
    return metadata;
}

// MARK: RawEvent

void RawEvent::copyCommonFields(const RawEvent* source) {
    if (source == nullptr) return;
    anonymousId = source->anonymousId;
    messageId = source->messageId;
    userId = source->userId;
    timestamp = source->timestamp;
    context = source->context;
    integrations = source->integrations;
    _metadata = source->_metadata;
}

void RawEvent::encodeCommon(KeyedEncodingContainer& container) const {
    container.encodeIfPresent("type", type);
    container.encodeIfPresent("anonymousId", anonymousId);
    container.encodeIfPresent("messageId", messageId);
    container.encodeIfPresent("userId", userId);
    container.encodeIfPresent("timestamp", timestamp);
    container.encodeIfPresent("context", context);
    container.encodeIfPresent("integrations", integrations);
    container.encodeIfPresent("metrics", metrics);
    container.encodeIfPresent("_metadata", _metadata);
}

void RawEvent::decodeCommon(const KeyedDecodingContainer& container) {
    type = container.decodeIfPresent<std::string>("type");
    anonymousId = container.decodeIfPresent<std::string>("anonymousId");
    messageId = container.decodeIfPresent<std::string>("messageId");
    userId = container.decodeIfPresent<std::string>("userId");
    timestamp = container.decodeIfPresent<std::string>("timestamp");
    context = container.decodeIfPresent<JSON>("context");
    integrations = container.decodeIfPresent<JSON>("integrations");
    metrics = container.decodeIfPresent<std::vector<JSON>>("metrics");
    _metadata = container.decodeIfPresent<DestinationMetadata>("_metadata");
}

// MARK: TrackEvent

TrackEvent::TrackEvent(std::string event, std::optional<JSON> properties)
    : RawEvent("track"), event(std::move(event)), properties(std::move(properties)) {}

TrackEvent TrackEvent::existing(const TrackEvent& other) {
    TrackEvent copy(other.event, other.properties);
    copy.copyCommonFields(&other);
    return copy;
}

void TrackEvent::encode(KeyedEncodingContainer& container) const {
    encodeCommon(container);
    container.encode("event", event);
    container.encodeIfPresent("properties", properties);
}

TrackEvent TrackEvent::decode(const KeyedDecodingContainer& container) {
    TrackEvent result;
    result.decodeCommon(container);
    result.event = container.decode<std::string>("event");
    result.properties = container.decodeIfPresent<JSON>("properties");
    return result;
}

// MARK: IdentifyEvent

IdentifyEvent::IdentifyEvent(std::optional<std::string> userId, std::optional<JSON> traits)
    : RawEvent("identify"), traits(std::move(traits)) {
    this->userId = std::move(userId);
}

IdentifyEvent IdentifyEvent::existing(const IdentifyEvent& other) {
    IdentifyEvent copy(other.userId, other.traits);
    copy.copyCommonFields(&other);
    return copy;
}

void IdentifyEvent::encode(KeyedEncodingContainer& container) const {
    encodeCommon(container);
    container.encodeIfPresent("traits", traits);
}

IdentifyEvent IdentifyEvent::decode(const KeyedDecodingContainer& container) {
    IdentifyEvent result;
    result.decodeCommon(container);
    result.traits = container.decodeIfPresent<JSON>("traits");
    return result;
}

// MARK: ScreenEvent

ScreenEvent::ScreenEvent(std::optional<std::string> title, std::optional<std::string> category,
                         std::optional<JSON> properties)
    : RawEvent("screen"), name(std::move(title)), category(std::move(category)), properties(std::move(properties)) {}

ScreenEvent ScreenEvent::existing(const ScreenEvent& other) {
    ScreenEvent copy(other.name, other.category, other.properties);
    copy.copyCommonFields(&other);
    return copy;
}

void ScreenEvent::encode(KeyedEncodingContainer& container) const {
    encodeCommon(container);
    container.encodeIfPresent("name", name);
    container.encodeIfPresent("category", category);
    container.encodeIfPresent("properties", properties);
}

ScreenEvent ScreenEvent::decode(const KeyedDecodingContainer& container) {
    ScreenEvent result;
    result.decodeCommon(container);
    result.name = container.decodeIfPresent<std::string>("name");
    result.category = container.decodeIfPresent<std::string>("category");
    result.properties = container.decodeIfPresent<JSON>("properties");
    return result;
}

// MARK: GroupEvent

GroupEvent::GroupEvent(std::optional<std::string> groupId, std::optional<JSON> traits)
    : RawEvent("group"), groupId(std::move(groupId)), traits(std::move(traits)) {}

GroupEvent GroupEvent::existing(const GroupEvent& other) {
    GroupEvent copy(other.groupId, other.traits);
    copy.copyCommonFields(&other);
    return copy;
}

void GroupEvent::encode(KeyedEncodingContainer& container) const {
    encodeCommon(container);
    container.encodeIfPresent("groupId", groupId);
    container.encodeIfPresent("traits", traits);
}

GroupEvent GroupEvent::decode(const KeyedDecodingContainer& container) {
    GroupEvent result;
    result.decodeCommon(container);
    result.groupId = container.decodeIfPresent<std::string>("groupId");
    result.traits = container.decodeIfPresent<JSON>("traits");
    return result;
}

// MARK: AliasEvent

AliasEvent::AliasEvent(std::optional<std::string> newId) : RawEvent("alias") { userId = std::move(newId); }

AliasEvent AliasEvent::existing(const AliasEvent& other) {
    AliasEvent copy(other.userId);
    copy.copyCommonFields(&other);
    return copy;
}

void AliasEvent::encode(KeyedEncodingContainer& container) const {
    // The new id is written after the metadata, under "userId".
    container.encodeIfPresent("type", type);
    container.encodeIfPresent("anonymousId", anonymousId);
    container.encodeIfPresent("messageId", messageId);
    container.encodeIfPresent("timestamp", timestamp);
    container.encodeIfPresent("context", context);
    container.encodeIfPresent("integrations", integrations);
    container.encodeIfPresent("metrics", metrics);
    container.encodeIfPresent("_metadata", _metadata);
    container.encodeIfPresent("userId", userId);
    container.encodeIfPresent("previousId", previousId);
}

AliasEvent AliasEvent::decode(const KeyedDecodingContainer& container) {
    AliasEvent result;
    result.decodeCommon(container);
    result.previousId = container.decodeIfPresent<std::string>("previousId");
    return result;
}

}  // namespace qor

namespace qor::platform {

Any ValueCoding<qor::AnyRawEvent>::encode(const qor::AnyRawEvent& event) {
    return std::visit(
        [](const auto& kind) {
            const EncodingContext context;
            const CodingPath root;
            return coding::encodeValue(kind, root, context);
        },
        event);
}

qor::AnyRawEvent ValueCoding<qor::AnyRawEvent>::decode(const Any& value, const CodingPath& path) {
    const DecodingContext context;
    const auto* dictionary = value.tryDictionary();
    if (dictionary == nullptr) coding::throwTypeMismatch(path, "Dictionary", value);
    const Any* type = dictionary->find("type");
    const std::string* kind = type ? type->tryString() : nullptr;
    if (kind != nullptr) {
        if (*kind == "track") return coding::decodeValue<qor::TrackEvent>(value, path, context);
        if (*kind == "identify") return coding::decodeValue<qor::IdentifyEvent>(value, path, context);
        if (*kind == "screen") return coding::decodeValue<qor::ScreenEvent>(value, path, context);
        if (*kind == "group") return coding::decodeValue<qor::GroupEvent>(value, path, context);
        if (*kind == "alias") return coding::decodeValue<qor::AliasEvent>(value, path, context);
    }
    throw DecodingError(DecodingError::Kind::dataCorrupted, path, "The event has no known \"type\".");
}

}  // namespace qor::platform
