#pragma once

#include <memory>

#include <QORUniversalSDK/Platform/Support/Export.h>

namespace qor {

// The recorder of auction events: every step of an auction becomes an event that is posted, in
// envelopes, to the collection endpoint. The SDK records and posts by itself; an app only reaches
// the one shared recorder, and what it records and when it posts stay the SDK's own.
class QOR_EXPORT BatchController {
public:
    // The process-wide recorder, made on first use and kept to the end of the process.
    static std::shared_ptr<BatchController> shared();

    virtual ~BatchController() = default;
    BatchController(const BatchController&) = delete;
    BatchController& operator=(const BatchController&) = delete;

protected:
    BatchController() = default;
};

}  // namespace qor
