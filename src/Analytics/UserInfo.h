#pragma once

#include <optional>
#include <string>

#include "Analytics/Store.h"
#include "Analytics/StoredValueReader.h"
#include "Core/JSON.h"
#include "Platform/Foundation/Coding/Codable.h"

namespace qor {

// Who the current user is.
struct UserInfo : State {
    std::string anonymousId;
    std::optional<std::string> userId;
    std::optional<JSON> traits;

    UserInfo() = default;
    UserInfo(std::string anonymousId, std::optional<std::string> userId, std::optional<JSON> traits)
        : anonymousId(std::move(anonymousId)), userId(std::move(userId)), traits(std::move(traits)) {}

    // The stored user id and traits, and the stored anonymous id or else a new UUID
    // string. Writes nothing back.
    static UserInfo defaultState(const StoredValueReader& storage);

    // {"anonymousId": ..., "userId": ..., "traits": ...}; absent values are left out.
    void encode(platform::KeyedEncodingContainer& container) const;
    static UserInfo decode(const platform::KeyedDecodingContainer& container);

    bool operator==(const UserInfo&) const = default;

    struct SetUserIdAndTraitsAction {
        using StateType = UserInfo;
        std::string userId;
        std::optional<JSON> traits;
        UserInfo reduce(const UserInfo& state) const;
    };

    // Replaces the traits whole (no merge); nullopt clears them.
    struct SetTraitsAction {
        using StateType = UserInfo;
        std::optional<JSON> traits;
        UserInfo reduce(const UserInfo& state) const;
    };

    struct SetUserIdAction {
        using StateType = UserInfo;
        std::string userId;
        UserInfo reduce(const UserInfo& state) const;
    };
};

}  // namespace qor
