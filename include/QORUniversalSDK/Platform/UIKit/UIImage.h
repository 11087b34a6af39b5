#pragma once

#include <memory>
#include <string>

#include <QORUniversalSDK/Platform/Foundation/Data.h>
#include <QORUniversalSDK/Platform/Support/Export.h>
#include <QORUniversalSDK/Platform/UIKit/CGGeometry.h>

namespace qor::platform {

// A decoded image. PNG, JPEG and GIF are read; any other format, data that ends before the
// image does, and an image above the budgets below is not an image. The data comes from ad
// servers, so the size is read from the header and checked before any pixel is decoded, and the
// pixels are decoded a row at a time and let go (nothing here draws): an image keeps only its
// pixel size. Of a GIF only the first frame is checked, its compressed codes read up to its last
// pixel without making the pixels; the others are walked and counted.
// Immutable: made and read on any thread.
class QOR_EXPORT UIImage {
public:
    // An ad's icon or main image has no business above this on a side (16 M pixels in all).
    static constexpr int maxPixelsPerSide = 4096;
    // An animation longer than this is no ad image; the count also bounds what the GIF reader keeps.
    static constexpr int maxGIFFrames = 1000;
    // Each progressive JPEG scan passes over the whole image; encoders write about ten.
    static constexpr int maxJPEGScans = 100;
    // A progressive JPEG holds every coefficient at once: up to 96 MiB for a colour image of the
    // largest size, so more than this means an unusual layout chosen to cost memory.
    static constexpr long maxJPEGDecoderBytes = 128L << 20;

    // The image the data holds, or nullptr when it holds none.
    static std::shared_ptr<UIImage> withData(const Data& data);
    // The image in the file, or nullptr when the file cannot be read or holds no image.
    static std::shared_ptr<UIImage> withContentsOfFile(const std::string& path);

    // An image of the given size in pixels.
    explicit UIImage(CGSize pixelSize) : size_(pixelSize) {}

    // In points; with a scale of 1, the size in pixels.
    CGSize size() const { return size_; }
    double scale() const { return 1.0; }

private:
    CGSize size_;
};

}  // namespace qor::platform
