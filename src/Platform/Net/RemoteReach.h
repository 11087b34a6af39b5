#pragma once

#include <optional>
#include <string_view>

#include "Platform/Foundation/URL.h"

struct sockaddr;

namespace qor::platform::net {

// How far into the device's own surroundings an address reaches, from the open internet to the
// device itself. Ordered: a later case is more private.
enum class AddressReach { publicNetwork, localNetwork, loopback };

// The reach of a numeric IPv4 or IPv6 address (an IPv4-mapped IPv6 address counts as its IPv4
// address); nothing for any other text.
std::optional<AddressReach> reachOf(std::string_view numericAddress);
// The reach of a socket address; nothing for a family other than IPv4 and IPv6.
std::optional<AddressReach> reachOf(const sockaddr& address);

// The only schemes a transfer takes: nothing a remote party names reaches a local file.
bool isWebURL(const URL& url);

// Where one request may lead once its server answers with redirects. The first request sets the
// bounds: the reach of the address it was sent to, and whether it was sent over TLS. Later hops
// may not reach further into the device's surroundings, and nothing follows plain HTTP once TLS
// was used.
class RedirectGuard {
public:
    // A new connection of this request is about to be opened to an address of this reach.
    bool mayConnect(std::optional<AddressReach> reach) const;
    // A request (the first or a redirect's) is about to be sent over a connection to an address of
    // this reach, with TLS or without. The first one sets the bounds.
    bool maySend(std::optional<AddressReach> reach, bool secure);

private:
    std::optional<AddressReach> begun_;
    bool secure_ = false;
};

}  // namespace qor::platform::net
