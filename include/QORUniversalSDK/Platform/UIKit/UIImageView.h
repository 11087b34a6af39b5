#pragma once

#include <memory>

#include "Platform/Support/Export.h"
#include "Platform/UIKit/UIImage.h"
#include "Platform/UIKit/UIView.h"

namespace qor::platform {

// Shows an image. Takes no touches by default. Main thread only.
class QOR_EXPORT UIImageView : public UIView {
public:
    explicit UIImageView(std::shared_ptr<UIImage> image = nullptr) : image_(std::move(image)) {
        setUserInteractionEnabled(false);
    }

    const std::shared_ptr<UIImage>& image() const { return image_; }
    void setImage(std::shared_ptr<UIImage> image) { image_ = std::move(image); }

private:
    std::shared_ptr<UIImage> image_;
};

}  // namespace qor::platform
