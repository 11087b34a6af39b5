#pragma once

#include "Networking/Client/QORSDKError.h"
#include "Networking/Client/Request/Request.h"
#include "Networking/Client/Result.h"
#include "Networking/Client/Session/CallbackQueue.h"
#include "Networking/Client/Session/SessionDelegate.h"
#include "Networking/Client/Session/SessionTask.h"
#include "Platform/Net/URLSession.h"
#include "Platform/Support/ConstructionKey.h"

#include <any>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

namespace qor {

// Hands outcomes to one completion through a callback queue; made per call by the typed
// front of the Session so the core works on any Response type.
class ResultDelivery {
public:
    virtual ~ResultDelivery() = default;
    // Schedules the success when the parsed value is of the Response type, else the failure of a
    // std::bad_any_cast.
    virtual void deliverValue(const CallbackQueue& queue, std::any value) const = 0;
    // Schedules a failure carrying the error unchanged.
    virtual void deliverError(const CallbackQueue& queue, QORSDKError error) const = 0;
    // Schedules deliverFailure of any error.
    virtual void deliverFailure(const CallbackQueue& queue, std::exception_ptr error) const = 0;
};

template <class T>
class TypedResultDelivery final : public ResultDelivery {
public:
    explicit TypedResultDelivery(Completion<T> completion) : completion_(std::move(completion)) {}

    void deliverValue(const CallbackQueue& queue, std::any value) const override {
        T* parsed = std::any_cast<T>(&value);
        if (!parsed) return deliverFailure(queue, std::make_exception_ptr(std::bad_any_cast()));
        queue.execute([completion = takeCompletion(), typed = std::move(*parsed)]() mutable {
            if (completion) completion(Result<T>::success(std::move(typed)));
        });
    }
    void deliverError(const CallbackQueue& queue, QORSDKError error) const override {
        queue.execute([completion = takeCompletion(), error = std::move(error)] {
            if (completion) completion(Result<T>::failure(error));
        });
    }
    void deliverFailure(const CallbackQueue& queue, std::exception_ptr error) const override {
        // Converted here, so only a plain value crosses to the completion's thread.
        queue.execute([completion = takeCompletion(), error = asQORSDKError(error)] {
            if (completion) completion(Result<T>::failure(error));
        });
    }

private:
    // A request delivers once. The completion moves into the block that runs it, so that it and
    // what it captures die with that block on the callback queue's thread, not wherever the
    // task's handling happens to be let go of.
    Completion<T> takeCompletion() const { return std::exchange(completion_, nullptr); }

    mutable Completion<T> completion_;
};

// The one HTTP client: builds a URL request from a description, runs it on its URL session,
// runs the answer through the response pipelines and delivers a typed Result on the caller's
// callback queue.
class Session : public std::enable_shared_from_this<Session> {
public:
    // What running the pipelines comes to: a parsed value, or what to do instead.
    struct HandleResult {
        enum class Kind { value, restartWith, stop, restart };

        static HandleResult value(std::any parsed) {
            HandleResult result;
            result.kind = Kind::value;
            result.parsed = std::move(parsed);
            return result;
        }
        // Send again and run the answer through exactly this list.
        static HandleResult restartWith(ResponsePipelineList pipelines) {
            HandleResult result;
            result.kind = Kind::restartWith;
            result.pipelines = std::move(pipelines);
            return result;
        }
        static HandleResult stop(std::exception_ptr error) {
            HandleResult result;
            result.kind = Kind::stop;
            result.error = std::move(error);
            return result;
        }
        // Send again with the normal list.
        static HandleResult restart() {
            HandleResult result;
            result.kind = Kind::restart;
            return result;
        }

        Kind kind = Kind::value;
        std::any parsed;
        ResponsePipelineList pipelines;
        std::exception_ptr error;
    };
    using HandleDone = std::function<void(HandleResult)>;

    static std::shared_ptr<Session> make(std::shared_ptr<platform::URLSession> session,
                                         std::shared_ptr<SessionDelegate> delegate);
    Session(platform::ConstructionKey<Session>, std::shared_ptr<platform::URLSession> session,
            std::shared_ptr<SessionDelegate> delegate)
        : session_(std::move(session)), delegate_(std::move(delegate)) {}

    // The shared Session stored by start-up. Stops the process when start-up has not run.
    static std::shared_ptr<Session> sharedInstance();
    // Start-up stores the shared Session here; a later call replaces it.
    static void setSharedInstance(std::shared_ptr<Session> session);
    // Makes a Session the way start-up does: a new delegate and a URL session with the default
    // configuration and its own delegate queue.
    static std::shared_ptr<Session> makeDefault();

    const std::shared_ptr<platform::URLSession>& session() const { return session_; }
    const std::shared_ptr<SessionDelegate>& delegate() const { return delegate_; }

    // The description is taken by value: a caller that is done with it moves it in.
    template <RequestType R>
    std::shared_ptr<SessionTask> send(R request, CallbackQueue callbackQueue,
                                      Completion<typename R::Response> completionHandler = nullptr) {
        return perform(std::move(request), std::move(callbackQueue), std::nullopt, std::nullopt,
                       std::move(completionHandler));
    }

    template <RequestType R>
    std::shared_ptr<SessionTask> upload(R request, CallbackQueue callbackQueue, platform::URL fromFile,
                                        Completion<typename R::Response> completionHandler = nullptr) {
        return perform(std::move(request), std::move(callbackQueue), std::move(fromFile), std::nullopt,
                       std::move(completionHandler));
    }

    // Builds and starts one attempt. Nothing is returned when the request cannot be built; the
    // failure has then been handed to the callback queue already.
    template <RequestType R>
    std::shared_ptr<SessionTask> perform(R request, CallbackQueue callbackQueue, std::optional<platform::URL> fileURL,
                                         std::optional<ResponsePipelineList> pipelines,
                                         Completion<typename R::Response> completionHandler) {
        return performErased(
            std::make_shared<const R>(std::move(request)), std::move(callbackQueue), std::move(fileURL),
            std::move(pipelines),
            std::make_shared<const TypedResultDelivery<typename R::Response>>(std::move(completionHandler)));
    }

    std::shared_ptr<SessionTask> performErased(std::shared_ptr<const AnyRequest> request, CallbackQueue callbackQueue,
                                               std::optional<platform::URL> fileURL,
                                               std::optional<ResponsePipelineList> pipelines,
                                               std::shared_ptr<const ResultDelivery> delivery);

    // The URL request a description gives: URL from base URL, path and path queries, cache
    // policy and time-out, then the adapters and suffix adapters in order. Throws what an
    // adapter throws, and missingURL when there is no URL to start from.
    platform::URLRequest buildURLRequest(const AnyRequest& request) const;

    // Runs the list from the front to a parsed value or an action handed to done. A terminator's
    // failure is thrown as dataParsingFailed; redirector errors, and what done throws, are
    // thrown on. An empty list is a
    // programming error and stops the process.
    void runPipelines(ResponsePipelineList pipelines, std::shared_ptr<const AnyRequest> request, platform::Data data,
                      HTTPResponse response, HandleDone done);

private:
    void handleOutcome(SessionTaskOutcome outcome, const std::shared_ptr<const AnyRequest>& request,
                       const CallbackQueue& callbackQueue, const std::optional<platform::URL>& fileURL,
                       const std::optional<ResponsePipelineList>& pipelines,
                       const std::shared_ptr<const ResultDelivery>& delivery);

    const std::shared_ptr<platform::URLSession> session_;
    const std::shared_ptr<SessionDelegate> delegate_;
};

}  // namespace qor
