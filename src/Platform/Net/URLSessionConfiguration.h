#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Platform/Foundation/HTTPHeaders.h"

namespace qor::platform {

// The settings a URLSession copies when it is made.
struct URLSessionConfiguration {
    // Seconds a request may stay idle before it fails, for requests that name no time-out of their own.
    double timeoutIntervalForRequest = 60.0;
    // Connections open at once to one host; further requests wait for one to free
    // up and then reuse it. Zero or less means no limit.
    int httpMaximumConnectionsPerHost = 6;
    // Sent with every request that does not set the same field itself.
    std::optional<HTTPHeaderFields> httpAdditionalHeaders;
    // A PEM bundle that replaces the system's trusted roots. Peers are always verified.
    std::optional<std::string> caFile;
    // Routing rules "HOST:PORT:CONNECT-HOST:CONNECT-PORT": a request for HOST:PORT
    // connects to CONNECT-HOST:CONNECT-PORT, keeping its URL, Host field and TLS name.
    std::vector<std::string> connectTo;

    // The defaults, with caFile from QOR_CA_FILE and connectTo from QOR_CONNECT_TO
    // (comma-separated rules) when those are set and not empty.
    static URLSessionConfiguration defaultConfiguration();
};

}  // namespace qor::platform
