#include "Views/ImageDownloader.h"

#include <typeindex>
#include <utility>

#include "Platform/Dispatch/OperationQueue.h"
#include "Platform/Foundation/HTTPURLResponse.h"
#include "Platform/Foundation/URLRequest.h"
#include "Platform/Net/URLSessionConfiguration.h"

namespace qor {

namespace {

ImageResult responseFailure(QORSDKError::ResponseErrorReason reason) {
    return ImageResult::failure(QORSDKError::responseFailed{std::move(reason)});
}

// One for the process, so that the checks running at once, and with them the decoders' memory,
// stay bounded however many downloaders there are. Never destroyed: checks may run at exit.
platform::OperationQueue& checkQueue() {
    static auto* const queue = [] {
        auto* made = new std::shared_ptr<platform::OperationQueue>(platform::OperationQueue::make("image checks"));
        (*made)->setMaxConcurrentOperationCount(ImageDownloader::maximumConcurrentChecks);
        return made;
    }();
    return **queue;
}

}  // namespace

ImageDownloader::ImageDownloader()
    : session_(platform::URLSession::make(platform::URLSessionConfiguration::defaultConfiguration())) {}

void ImageDownloader::download(const platform::URL& url, const CallbackQueue& callbackQueue,
                               ImageCompletion completion) const {
    platform::URLRequest request(url);
    request.setMaximumResponseLength(maximumImageLength);
    auto task = session_->dataTask(
        request, [callbackQueue, completion = std::move(completion)](std::optional<platform::Data> data,
                                                                     std::shared_ptr<platform::URLResponse> response,
                                                                     std::optional<platform::URLError> error) mutable {
            // Not on the session's serial delegate queue, where one image's check would hold back
            // the completion of every load behind it. The caller's closure is moved on, never
            // copied, so that it dies where it runs.
            checkQueue().addOperation([callbackQueue, completion = std::move(completion), data = std::move(data),
                                       response = std::move(response), error = std::move(error)]() mutable {
                callbackQueue.execute([completion = std::move(completion), outcome = result(data, response, error)] {
                    if (completion) completion(outcome);
                });
            });
        });
    task->resume();
}

ImageResult ImageDownloader::result(const std::optional<platform::Data>& data,
                                    const std::shared_ptr<platform::URLResponse>& response,
                                    const std::optional<platform::URLError>& error) {
    const auto http = std::dynamic_pointer_cast<platform::HTTPURLResponse>(response);
    if (!http || http->statusCode() < 200 || http->statusCode() > 299) {
        return responseFailure(QORSDKError::ResponseErrorReason::nonHTTPURLResponse{});
    }
    if (!data) {
        if (error) return responseFailure(QORSDKError::ResponseErrorReason::URLSessionError{AnyError::make(*error)});
        return responseFailure(QORSDKError::ResponseErrorReason::nonHTTPURLResponse{});
    }
    auto image = platform::UIImage::withData(*data);
    if (!image) {
        return responseFailure(
            QORSDKError::ResponseErrorReason::dataParsingFailed{std::type_index(typeid(platform::UIImage)), *data, {}});
    }
    return ImageResult::success(std::move(image));
}

}  // namespace qor
