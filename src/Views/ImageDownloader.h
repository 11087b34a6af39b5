#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>

#include "Networking/Client/Result.h"
#include "Networking/Client/Session/CallbackQueue.h"
#include "Platform/Foundation/Data.h"
#include "Platform/Foundation/URL.h"
#include "Platform/Foundation/URLError.h"
#include "Platform/Foundation/URLResponse.h"
#include "Platform/Net/URLSession.h"
#include "Platform/UIKit/UIImage.h"

namespace qor {

using ImageResult = Result<std::shared_ptr<platform::UIImage>>;
using ImageCompletion = std::function<void(const ImageResult&)>;

// Fetches one image by URL on a plain session of its own: none of the shared Session's headers,
// adapters or pipelines, no time-out or cache policy of its own.
class ImageDownloader {
public:
    // The most bytes an image's answer may have: an image server is a remote party, and no image
    // within the decoder's pixel budget comes near it. A longer answer, by its announced length
    // or by what arrives, ends the load as a transport failure before more of it is read.
    static constexpr std::size_t maximumImageLength = 16 * 1024 * 1024;

    // Images checked at once, each on a worker of its own: a slow check leaves the others free,
    // and the decoders' memory (a progressive JPEG's coefficients are the most) stays a small
    // multiple of one.
    static constexpr int maximumConcurrentChecks = 2;

    ImageDownloader();
    ImageDownloader(const ImageDownloader&) = delete;
    ImageDownloader& operator=(const ImageDownloader&) = delete;

    // Starts one load; the result goes through `callbackQueue` to the completion, once. The data
    // is checked for an image on a shared worker, neither on the session's delegate queue nor on
    // the callback queue, so loads complete in the order their checks end.
    void download(const platform::URL& url, const CallbackQueue& callbackQueue, ImageCompletion completion) const;

    // What one finished load comes to, decided in this order: no HTTP answer, or a status outside
    // 200 to 299, is nonHTTPURLResponse (a transport failure without an answer included); a 2xx
    // answer without data is the transport error when one came, else nonHTTPURLResponse; data
    // that holds no image is dataParsingFailed carrying the data; otherwise the image.
    static ImageResult result(const std::optional<platform::Data>& data,
                              const std::shared_ptr<platform::URLResponse>& response,
                              const std::optional<platform::URLError>& error);

private:
    std::shared_ptr<platform::URLSession> session_;
};

}  // namespace qor
