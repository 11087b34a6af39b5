#pragma once

#include <optional>
#include <string>

#include "Analytics/Settings/Settings.h"
#include "Core/JSON.h"

namespace qor {

// How the default-state builders read what earlier runs stored. The analytics
// engine's storage implements it; each read waits for the storage's own queue and
// gives nullopt when nothing is stored or the stored data does not decode. The
// builders must not be called from inside a block on that queue.
class StoredValueReader {
public:
    virtual ~StoredValueReader() = default;
    virtual std::optional<std::string> readUserId() const = 0;
    virtual std::optional<std::string> readAnonymousId() const = 0;
    virtual std::optional<JSON> readTraits() const = 0;
    virtual std::optional<Settings> readSettings() const = 0;
};

}  // namespace qor
