#pragma once

#include <optional>
#include <string>
#include <utility>

namespace qor {

// A bearer token, or none.
class AuthenticationMethod {
public:
    static AuthenticationMethod none() { return AuthenticationMethod(std::nullopt); }
    static AuthenticationMethod token(std::string token) { return AuthenticationMethod(std::move(token)); }

    bool isNone() const { return !token_; }
    // The token of the token case.
    const std::optional<std::string>& tokenValue() const { return token_; }

    friend bool operator==(const AuthenticationMethod&, const AuthenticationMethod&) = default;

private:
    explicit AuthenticationMethod(std::optional<std::string> token) : token_(std::move(token)) {}
    std::optional<std::string> token_;
};

}  // namespace qor
