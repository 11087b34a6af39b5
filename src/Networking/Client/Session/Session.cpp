#include "Networking/Client/Session/Session.h"

#include "Core/Helpers/SharedSlot.h"
#include "Platform/Foundation/URLComponents.h"
#include "Platform/Net/URLSessionConfiguration.h"
#include "Platform/Support/FatalError.h"

namespace qor {
namespace {

SharedSlot<Session>& sharedSlot() {
    static auto* slot = new SharedSlot<Session>("Session");
    return *slot;
}

// An exception that left the handing-over of an outcome (a completion run inline, mostly). The
// outcome has been handed over, so the request's own error path must let it pass instead of
// reporting it as a second, failed outcome; it is thrown on as it was once past that path.
struct HandedOverThrew {
    std::exception_ptr error;
};

QORSDKError missingURLError() { return QORSDKError::requestFailed{QORSDKError::RequestErrorReason::missingURL{}}; }

}  // namespace

std::shared_ptr<Session> Session::make(std::shared_ptr<platform::URLSession> session,
                                       std::shared_ptr<SessionDelegate> delegate) {
    return std::make_shared<Session>(platform::ConstructionKey<Session>{}, std::move(session), std::move(delegate));
}

std::shared_ptr<Session> Session::sharedInstance() { return sharedSlot().get(); }

void Session::setSharedInstance(std::shared_ptr<Session> session) { sharedSlot().set(std::move(session)); }

std::shared_ptr<Session> Session::makeDefault() {
    auto delegate = std::make_shared<SessionDelegate>();
    auto urlSession = platform::URLSession::make(platform::URLSessionConfiguration::defaultConfiguration(), delegate);
    return make(std::move(urlSession), std::move(delegate));
}

platform::URLRequest Session::buildURLRequest(const AnyRequest& request) const {
    auto base = request.baseURL();
    if (!base) throw missingURLError();
    platform::URL url = *base;

    if (const auto path = request.path(); !path.empty()) url = url.appendingPathComponent(path);

    if (auto pathQueries = request.pathQueries()) {
        // Path queries replace the URL's own query; a URL that cannot take them stays as it is.
        if (auto components = platform::URLComponents::make(url)) {
            components->setQueryItems(std::move(*pathQueries));
            if (auto withQueries = components->url()) url = std::move(*withQueries);
        }
    }

    platform::URLRequest urlRequest(url, request.cachePolicy(), request.timeout());
    auto adapters = request.adapters();
    if (auto suffix = request.suffixAdapters()) adapters.insert(adapters.end(), suffix->begin(), suffix->end());
    for (const auto& adapter : adapters) urlRequest = adapter->adapted(std::move(urlRequest));
    return urlRequest;
}

std::shared_ptr<SessionTask> Session::performErased(std::shared_ptr<const AnyRequest> request,
                                                    CallbackQueue callbackQueue, std::optional<platform::URL> fileURL,
                                                    std::optional<ResponsePipelineList> pipelines,
                                                    std::shared_ptr<const ResultDelivery> delivery) {
    platform::URLRequest urlRequest;
    try {
        urlRequest = buildURLRequest(*request);
    } catch (...) {
        delivery->deliverFailure(callbackQueue, std::current_exception());
        return nullptr;
    }

    auto task = std::make_shared<SessionTask>(session_, std::move(urlRequest), fileURL);
    // The handling holds this Session strongly: a completion still runs after a second start-up
    // replaced the shared Session. The holder lets go of it when the task ends.
    task->onResult.block = [self = shared_from_this(), request = std::move(request), callbackQueue,
                            fileURL = std::move(fileURL), pipelines = std::move(pipelines),
                            delivery = std::move(delivery)](SessionTaskOutcome outcome) {
        self->handleOutcome(std::move(outcome), request, callbackQueue, fileURL, pipelines, delivery);
        return std::optional<std::monostate>(std::monostate{});
    };
    task->owner = weak_from_this();
    delegate_->registerTask(task);
    task->task->resume();
    return task;
}

void Session::handleOutcome(SessionTaskOutcome outcome, const std::shared_ptr<const AnyRequest>& request,
                            const CallbackQueue& callbackQueue, const std::optional<platform::URL>& fileURL,
                            const std::optional<ResponsePipelineList>& pipelines,
                            const std::shared_ptr<const ResultDelivery>& delivery) {
    using Reason = QORSDKError::ResponseErrorReason;
    if (outcome.error) {
        delivery->deliverError(callbackQueue, QORSDKError::responseFailed{Reason::URLSessionError{*outcome.error}});
        return;
    }
    auto httpResponse = std::dynamic_pointer_cast<const platform::HTTPURLResponse>(outcome.response);
    if (!outcome.data || !httpResponse) {
        delivery->deliverError(callbackQueue, QORSDKError::responseFailed{Reason::nonHTTPURLResponse{}});
        return;
    }

    ResponsePipelineList list;
    if (pipelines) {
        list = *pipelines;
    } else {
        if (auto prefix = request->prefixPipelines()) list = std::move(*prefix);
        auto own = request->pipelines();
        list.insert(list.end(), own.begin(), own.end());
    }

    auto done = [self = shared_from_this(), request, callbackQueue, fileURL, delivery](HandleResult result) {
        try {
            switch (result.kind) {
                case HandleResult::Kind::value:
                    delivery->deliverValue(callbackQueue, std::move(result.parsed));
                    return;
                case HandleResult::Kind::restartWith:
                    self->performErased(request, callbackQueue, fileURL, std::move(result.pipelines), delivery);
                    return;
                case HandleResult::Kind::restart:
                    self->performErased(request, callbackQueue, fileURL, std::nullopt, delivery);
                    return;
                case HandleResult::Kind::stop:
                    delivery->deliverFailure(callbackQueue, result.error);
                    return;
            }
        } catch (...) {
            throw HandedOverThrew{std::current_exception()};
        }
    };

    try {
        runPipelines(std::move(list), request, std::move(*outcome.data), std::move(httpResponse), std::move(done));
    } catch (const HandedOverThrew& thrown) {
        // The completion has had its one call; its exception goes on to the queue's rules.
        std::rethrow_exception(thrown.error);
    } catch (...) {
        delivery->deliverFailure(callbackQueue, std::current_exception());
    }
}

void Session::runPipelines(ResponsePipelineList pipelines, std::shared_ptr<const AnyRequest> request,
                           platform::Data data, HTTPResponse response, HandleDone done) {
    if (pipelines.empty()) {
        platform::fatalError(
            "[QORSDK] The pipeline is already empty but request does not be parsed.Please at least set a terminator "
            "pipeline to request `pipelines` property.");
    }
    const ResponsePipeline first = pipelines.front();
    ResponsePipelineList rest(pipelines.begin() + 1, pipelines.end());

    if (const auto* terminator = first.asTerminator()) {
        std::any parsed;
        try {
            parsed = (*terminator)->parse(*request, data);
        } catch (...) {
            throw QORSDKError(QORSDKError::responseFailed{QORSDKError::ResponseErrorReason::dataParsingFailed{
                request->responseType(), data, AnyError(std::current_exception())}});
        }
        // Outside the try: a failure of what done runs is not the parser's.
        done(HandleResult::value(std::move(parsed)));
        return;
    }

    const auto& redirector = *first.asRedirector();
    if (!redirector->shouldApply(*request, data, response)) {
        runPipelines(std::move(rest), std::move(request), std::move(data), std::move(response), std::move(done));
        return;
    }

    using Action = ResponsePipelineRedirectorAction;
    auto redirectorDone = [self = shared_from_this(), rest, request, data, response, done](Action action) {
        switch (action.kind()) {
            case Action::Kind::restartWithout: {
                ResponsePipelineList remaining;
                for (const auto& pipeline : rest) {
                    if (!(pipeline == action.pipeline())) remaining.push_back(pipeline);
                }
                done(HandleResult::restartWith(std::move(remaining)));
                return;
            }
            case Action::Kind::stop:
                done(HandleResult::stop(action.error()));
                return;
            case Action::Kind::continueWith:
                if (!action.response()) {
                    throw QORSDKError(
                        QORSDKError::responseFailed{QORSDKError::ResponseErrorReason::nonHTTPURLResponse{}});
                }
                self->runPipelines(rest, request, action.data(), action.response(), done);
                return;
            case Action::Kind::restart:
                done(HandleResult::restart());
                return;
            case Action::Kind::continue_:
                self->runPipelines(rest, request, data, response, done);
                return;
        }
    };
    redirector->redirect(*request, data, response, std::move(redirectorDone));
}

}  // namespace qor
