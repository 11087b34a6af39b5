#pragma once

#include <memory>
#include <string>

#include "Platform/Export.h"
#include "Platform/Foundation/Data.h"
#include "Platform/UIKit/CGGeometry.h"

namespace qor::platform {

// A decoded image. PNG, JPEG and GIF (its first frame) are read; any other format, and data
// that ends before the image does, is not an image. Nothing here draws, so an image keeps its
// pixel size and lets its pixels go once they have been decoded. Immutable: made and read on
// any thread.
class QOR_EXPORT UIImage {
public:
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
