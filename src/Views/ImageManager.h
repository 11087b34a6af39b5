#pragma once

#include <cstdint>
#include <memory>

#include "Networking/Client/Session/CallbackQueue.h"
#include "Platform/Foundation/NSCache.h"
#include "Platform/Foundation/URL.h"
#include "Platform/UIKit/UIImage.h"
#include "Views/ImageDownloader.h"

namespace qor {

// The process-wide image loader of the native formats: a memory cache of decoded images keyed
// by the requested URL (two spellings of one address are two entries) in front of the
// downloader. Loads are not merged: two misses for one URL start two downloads, and the later
// success replaces the cached image. Failures are never cached.
class ImageManager {
public:
    static constexpr std::size_t cacheCountLimit = 500;

    // Made on first use and kept to the end of the process.
    static ImageManager& shared();

    ImageManager();
    ImageManager(const ImageManager&) = delete;
    ImageManager& operator=(const ImageManager&) = delete;

    // May be called on any thread. A cached image goes to the completion through
    // `callbackQueue` without a request (with currentMainOrAsync on the main thread: before
    // loadImage returns). A miss downloads, caches a success, then hands the result to the
    // completion through `callbackQueue`. Without a completion a hit does nothing and a miss
    // still downloads and caches.
    void loadImage(const platform::URL& url, const CallbackQueue& callbackQueue, ImageCompletion completion = {});

    std::uint64_t currentToken() const { return currentToken_; }
    using Cache = platform::NSCache<platform::URL, std::shared_ptr<platform::UIImage>>;
    Cache& cache() { return *cache_; }

private:
    std::uint64_t currentToken_ = 0;
    ImageDownloader downloader_;
    // Shared with running downloads, which may finish after the manager is gone.
    std::shared_ptr<Cache> cache_ = std::make_shared<Cache>(cacheCountLimit);
};

}  // namespace qor
