#pragma once

// The app's own JSON value, nothing to do with the SDK's: a folder named as one of the SDK's.
namespace app {
struct JSON {
    int depth = 0;
};
}  // namespace app
