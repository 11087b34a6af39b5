#pragma once

// The app's own bid, nothing to do with the SDK's records.
namespace app {
struct Bid {
    int cents = 0;
};
}  // namespace app
