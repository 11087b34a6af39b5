#include "Views/ImageManager.h"

#include <utility>

namespace qor {

ImageManager& ImageManager::shared() {
    // Download completions may still run at exit on the session's queue: never destroyed.
    static ImageManager* const manager = new ImageManager();
    return *manager;
}

ImageManager::ImageManager() = default;

void ImageManager::loadImage(const platform::URL& url, const CallbackQueue& callbackQueue, ImageCompletion completion) {
    if (auto cached = cache_->object(url)) {
        if (!completion) return;
        callbackQueue.execute([completion = std::move(completion), image = std::move(*cached)] {
            completion(ImageResult::success(image));
        });
        return;
    }
    downloader_.download(
        url, callbackQueue,
        [cache = cache_, url, callbackQueue, completion = std::move(completion)](const ImageResult& result) mutable {
            if (const auto* image = result.valueIf()) cache->setObject(*image, url);
            if (!completion) return;
            // Moved, not copied: the caller's closure dies where it ran.
            callbackQueue.execute([completion = std::move(completion), result] { completion(result); });
        });
}

}  // namespace qor
