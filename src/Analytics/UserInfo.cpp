#include "Analytics/UserInfo.h"

#include "Platform/Foundation/UUID.h"

namespace qor {

UserInfo UserInfo::defaultState(const StoredValueReader& storage) {
    auto userId = storage.readUserId();
    auto traits = storage.readTraits();
    std::string fresh = platform::UUID::make().uuidString();
    auto anonymousId = storage.readAnonymousId();
    return UserInfo(anonymousId ? std::move(*anonymousId) : std::move(fresh), std::move(userId), std::move(traits));
}

void UserInfo::encode(platform::KeyedEncodingContainer& container) const {
    container.encode("anonymousId", anonymousId);
    container.encodeIfPresent("userId", userId);
    container.encodeIfPresent("traits", traits);
}

UserInfo UserInfo::decode(const platform::KeyedDecodingContainer& container) {
    UserInfo info;
    info.anonymousId = container.decode<std::string>("anonymousId");
    info.userId = container.decodeIfPresent<std::string>("userId");
    info.traits = container.decodeIfPresent<JSON>("traits");
    return info;
}

UserInfo UserInfo::SetUserIdAndTraitsAction::reduce(const UserInfo& state) const {
    return UserInfo(state.anonymousId, userId, traits);
}

UserInfo UserInfo::SetTraitsAction::reduce(const UserInfo& state) const {
    return UserInfo(state.anonymousId, state.userId, traits);
}

UserInfo UserInfo::SetUserIdAction::reduce(const UserInfo& state) const {
    return UserInfo(state.anonymousId, userId, state.traits);
}

}  // namespace qor
