#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "AdNetwork/AdType.h"
#include "Models/OpenRTB/NativeLink.h"
#include "Platform/Foundation/URL.h"

namespace qor {

// Every "{{REQUEST_ID}}" in the text replaced by the request id; unchanged without one.
std::string replacingRequestId(std::string text, const std::optional<std::string>& requestId);

// Fires one tracker URL through the engine after putting the request id in, without waiting;
// the outcome is only logged, as `kind`. Stops the process when start-up has not run.
void fireTracker(const std::string& url, const std::optional<std::string>& requestId, AdTrackerType kind);

// A native ad's click: the first click tracker of the link, when it has any and the request id
// is known, fired as "clicked"; the others are never fired.
void fireClickTracker(const Link& link, const std::optional<std::string>& requestId);

// Where a click on a native ad goes: the link's url, else its fallback, the first that parses
// and that the app can open, with the text it was made from. Nothing when neither qualifies.
std::optional<std::pair<platform::URL, std::string>> clickDestination(const Link& link);

}  // namespace qor
