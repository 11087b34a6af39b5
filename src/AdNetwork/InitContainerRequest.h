#pragma once

#include <string>

#include "AdNetwork/Container.h"
#include "Networking/Client/Request/Request.h"

namespace qor {

// Downloads the container configuration of a write key: a POST of "container/" and the key on
// the current environment's ad-network base URL (read when the request is built), with an
// empty JSON parameter object.
class InitContainerRequest final : public Request<Container> {
public:
    explicit InitContainerRequest(std::string writeKey) : configurationID_(std::move(writeKey)) {}

    AuthenticationMethod authenticationValue = AuthenticationMethod::none();
    HTTPMethod methodValue = HTTPMethod::post;

    const std::string& configurationID() const { return configurationID_; }

    HTTPMethod method() const override { return methodValue; }
    std::optional<platform::URL> baseURL() const override;
    std::string path() const override { return "container/" + configurationID_; }
    std::optional<Parameters> parameters() const override { return Parameters{}; }
    AuthenticationMethod authentication() const override { return authenticationValue; }

private:
    std::string configurationID_;
};

}  // namespace qor
