#pragma once

#include <QORUniversalSDK/Platform/Support/Export.h>
#include <optional>
#include <string>

namespace qor {

// The decoded error body of a failed HTTP call. Made only by the bad-status check.
class QOR_EXPORT APIError {
public:
    APIError(std::string error, std::optional<std::string> detail)
        : error_(std::move(error)), detail_(std::move(detail)) {}

    const std::string& error() const { return error_; }
    const std::optional<std::string>& detail() const { return detail_; }

    friend bool operator==(const APIError&, const APIError&) = default;

private:
    std::string error_;
    std::optional<std::string> detail_;
};

}  // namespace qor
