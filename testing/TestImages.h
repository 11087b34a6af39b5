#pragma once

#include "Platform/Foundation/Data.h"

namespace qor::testing {

// Real image files of the given size in pixels, for tests that decode or serve images.
platform::Data makePNG(int width, int height);
platform::Data makeJPEG(int width, int height);
// A GIF89a with a two-colour palette, its pixels written as plain LZW codes.
platform::Data makeGIF(int width, int height);

}  // namespace qor::testing
