#pragma once

#include "Platform/Foundation/Data.h"
#include "Platform/Foundation/HTTPURLResponse.h"

#include <any>
#include <exception>
#include <functional>
#include <memory>
#include <variant>
#include <vector>

namespace qor {

class AnyRequest;
class QORSDKError;

using HTTPResponse = std::shared_ptr<const platform::HTTPURLResponse>;

// A pipeline step that parses the body into the request's Response. The value comes back
// type-erased; the Session checks it is the request's Response before delivering it.
class ResponsePipelineTerminator {
public:
    virtual ~ResponsePipelineTerminator() = default;
    virtual std::any parse(const AnyRequest& request, const platform::Data& data) const = 0;
};

class ResponsePipeline;

// What a redirector asks of the Session. `continue` is a C++ keyword, hence `continue_`.
class ResponsePipelineRedirectorAction {
public:
    enum class Kind { restartWithout, stop, continueWith, restart, continue_ };

    static ResponsePipelineRedirectorAction restartWithout(ResponsePipeline pipeline);
    static ResponsePipelineRedirectorAction stop(std::exception_ptr error);
    static ResponsePipelineRedirectorAction stop(const QORSDKError& error);
    static ResponsePipelineRedirectorAction continueWith(platform::Data data, HTTPResponse response);
    static ResponsePipelineRedirectorAction restart();
    static ResponsePipelineRedirectorAction continue_();

    Kind kind() const { return kind_; }
    // restartWithout: the pipeline to leave out.
    const ResponsePipeline& pipeline() const { return *pipeline_; }
    // stop: the error.
    const std::exception_ptr& error() const { return error_; }
    // continueWith: the replacement data and response.
    const platform::Data& data() const { return data_; }
    const HTTPResponse& response() const { return response_; }

private:
    explicit ResponsePipelineRedirectorAction(Kind kind) : kind_(kind) {}
    Kind kind_;
    std::shared_ptr<const ResponsePipeline> pipeline_;
    std::exception_ptr error_;
    platform::Data data_;
    HTTPResponse response_;
};

// The closure through which a redirector answers; it may be kept and called later, and it may
// throw what the rest of the road throws.
using RedirectorDone = std::function<void(ResponsePipelineRedirectorAction)>;

// A pipeline step that looks at the answer before the terminator.
class ResponsePipelineRedirector {
public:
    virtual ~ResponsePipelineRedirector() = default;
    virtual bool shouldApply(const AnyRequest& request, const platform::Data& data, const HTTPResponse& response) = 0;
    virtual void redirect(const AnyRequest& request, const platform::Data& data, const HTTPResponse& response,
                          RedirectorDone done) = 0;
};

// One step of the answer's road. Equal when the same case holds the very same object.
class ResponsePipeline {
public:
    static ResponsePipeline terminator(std::shared_ptr<ResponsePipelineTerminator> value) {
        return ResponsePipeline(Case(std::in_place_index<0>, std::move(value)));
    }
    static ResponsePipeline redirector(std::shared_ptr<ResponsePipelineRedirector> value) {
        return ResponsePipeline(Case(std::in_place_index<1>, std::move(value)));
    }

    // The held object of that case, or nullptr.
    const std::shared_ptr<ResponsePipelineTerminator>* asTerminator() const { return std::get_if<0>(&value_); }
    const std::shared_ptr<ResponsePipelineRedirector>* asRedirector() const { return std::get_if<1>(&value_); }

    friend bool operator==(const ResponsePipeline& a, const ResponsePipeline& b) {
        if (a.value_.index() != b.value_.index()) return false;
        if (a.value_.index() == 0) return std::get<0>(a.value_).get() == std::get<0>(b.value_).get();
        return std::get<1>(a.value_).get() == std::get<1>(b.value_).get();
    }

private:
    using Case = std::variant<std::shared_ptr<ResponsePipelineTerminator>, std::shared_ptr<ResponsePipelineRedirector>>;
    explicit ResponsePipeline(Case value) : value_(std::move(value)) {}
    Case value_;
};

using ResponsePipelineList = std::vector<ResponsePipeline>;

}  // namespace qor
