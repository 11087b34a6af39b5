#pragma once

#include "Platform/Foundation/URLRequest.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qor {

// One step that shapes an outgoing URL request: it receives the request built so far and
// returns a changed copy, or throws (a QORSDKError for the system's own adapters).
class RequestAdapter {
public:
    virtual ~RequestAdapter() = default;
    virtual platform::URLRequest adapted(platform::URLRequest request) const = 0;
};

using RequestAdapterList = std::vector<std::shared_ptr<const RequestAdapter>>;

// An adapter made of a closure.
class AnyRequestAdapter final : public RequestAdapter {
public:
    using Block = std::function<platform::URLRequest(platform::URLRequest)>;
    explicit AnyRequestAdapter(Block block) : block(std::move(block)) {}
    platform::URLRequest adapted(platform::URLRequest request) const override { return block(std::move(request)); }

    const Block block;
};

// Sets the fixed headers every request carries: Accept, Cache-Control and the User-Agent.
class HeaderAdapter final : public RequestAdapter {
public:
    explicit HeaderAdapter(std::string userAgent) : userAgent(std::move(userAgent)) {}
    platform::URLRequest adapted(platform::URLRequest request) const override;

    const std::string userAgent;
};

// Sets the bearer Authorization header; without a token the request cannot be built.
class TokenAdapter final : public RequestAdapter {
public:
    explicit TokenAdapter(std::optional<std::string> token) : token(std::move(token)) {}
    platform::URLRequest adapted(platform::URLRequest request) const override;

    const std::optional<std::string> token;
};

}  // namespace qor
