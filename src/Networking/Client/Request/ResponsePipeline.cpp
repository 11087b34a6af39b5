#include "Networking/Client/Request/ResponsePipeline.h"

#include "Networking/Client/QORSDKError.h"

namespace qor {

using Action = ResponsePipelineRedirectorAction;

Action Action::restartWithout(ResponsePipeline pipeline) {
    Action action(Kind::restartWithout);
    action.pipeline_ = std::make_shared<const ResponsePipeline>(std::move(pipeline));
    return action;
}

Action Action::stop(std::exception_ptr error) {
    Action action(Kind::stop);
    action.error_ = std::move(error);
    return action;
}

Action Action::stop(const QORSDKError& error) { return stop(std::make_exception_ptr(error)); }

Action Action::continueWith(platform::Data data, HTTPResponse response) {
    Action action(Kind::continueWith);
    action.data_ = std::move(data);
    action.response_ = std::move(response);
    return action;
}

Action Action::restart() { return Action(Kind::restart); }

Action Action::continue_() { return Action(Kind::continue_); }

}  // namespace qor
