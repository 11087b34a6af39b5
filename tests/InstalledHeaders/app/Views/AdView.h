#pragma once

// The app's own view, nothing to do with the SDK's banner.
namespace app {
struct AdView {
    int slot = 0;
};
}  // namespace app
