#pragma once

#include <memory>

#include <QORUniversalSDK/Platform/Support/Export.h>
#include <QORUniversalSDK/Platform/UIKit/UIImage.h>
#include <QORUniversalSDK/Platform/UIKit/UIView.h>

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
