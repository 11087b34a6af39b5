#pragma once

#include "Platform/Foundation/Data.h"

namespace qor::testing {

// Real image files of the given size in pixels, for tests that decode or serve images.
platform::Data makePNG(int width, int height);
// A progressive JPEG spreads its data over several scans, each a pass over the whole image.
platform::Data makeJPEG(int width, int height, bool progressive = false);
// A GIF89a with a two-colour palette, its pixels written as plain LZW codes.
platform::Data makeGIF(int width, int height);

}  // namespace qor::testing
