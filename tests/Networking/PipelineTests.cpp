#include "Networking/Client/Request/APIErrorRecords.h"
#include "Networking/Client/Request/Redirectors.h"
#include "Networking/Client/Session/Session.h"
#include "TestRequests.h"

#include <gtest/gtest.h>

namespace qor {
namespace {

using Reason = QORSDKError::ResponseErrorReason;
using Action = ResponsePipelineRedirectorAction;

HTTPResponse response(int status) {
    return std::make_shared<const platform::HTTPURLResponse>(*platform::URL::make("https://a.test/x"), status,
                                                             platform::HTTPHeaderFields{});
}

// Runs the status check alone and returns the error it stops with.
QORSDKError badStatusError(int status, const std::string& body) {
    std::optional<QORSDKError> stopped;
    BadHTTPStatusRedirector redirector;
    const test::ConfigurableRequest<> request;
    EXPECT_TRUE(redirector.shouldApply(request, {}, response(status)));
    redirector.redirect(request, platform::dataFromString(body), response(status), [&](Action action) {
        EXPECT_EQ(action.kind(), Action::Kind::stop);
        stopped = asQORSDKError(action.error());
    });
    EXPECT_TRUE(stopped.has_value());
    return stopped.value_or(QORSDKError::responseFailed{Reason::nonHTTPURLResponse{}});
}

const Reason::APIErrorDetail& detailOf(const QORSDKError& error) {
    return error.as<QORSDKError::responseFailed>()->reason.as<Reason::invalidHTTPStatusAPIError>()->detail;
}

TEST(BadHTTPStatusRedirector, AppliesOutside200To299) {
    BadHTTPStatusRedirector redirector;
    const test::ConfigurableRequest<> request;
    for (int status : {200, 204, 299}) EXPECT_FALSE(redirector.shouldApply(request, {}, response(status))) << status;
    for (int status : {199, 300, 401, 500})
        EXPECT_TRUE(redirector.shouldApply(request, {}, response(status))) << status;
}

TEST(BadHTTPStatusRedirector, DecodesTheKnownErrorForms) {
    auto error = badStatusError(404, R"({"error":"not_found","error_description":"No such unit"})");
    EXPECT_EQ(detailOf(error).code(), 404);
    EXPECT_EQ(detailOf(error).error(), APIError("not_found", std::string("No such unit")));
    EXPECT_EQ(detailOf(error).raw()->statusCode(), 404);
    EXPECT_EQ(error.errorDescription(), "Not yet implemented: Invalid 404");

    EXPECT_EQ(detailOf(badStatusError(500, R"({"message":"boom"})")).error(), APIError("boom", std::nullopt));
    EXPECT_EQ(detailOf(badStatusError(400, R"({"error":"e","message":"m"})")).error(), APIError("e", std::nullopt))
        << "the first form wins";
    EXPECT_EQ(detailOf(badStatusError(400, R"({"error":"e","error_description":null})")).error(),
              APIError("e", std::nullopt));
    EXPECT_EQ(detailOf(badStatusError(400, R"({"error":"e","errorDescription":"d"})")).error(),
              APIError("e", std::string("d")));
    EXPECT_EQ(detailOf(badStatusError(400, R"({"error":5})")).error(), std::nullopt);

    error = badStatusError(502, "<html>Bad gateway</html>");
    EXPECT_EQ(detailOf(error).error(), std::nullopt);
    EXPECT_EQ(detailOf(error).rawString(), "<html>Bad gateway</html>");

    error = badStatusError(400, "{\"error\":\"Bad request\"}");
    EXPECT_EQ(error.errorDescription(), "Not yet implemented: {\"error\":\"Bad request\"}");

    EXPECT_EQ(detailOf(badStatusError(500, std::string("\xff\xfe", 2))).rawString(), std::nullopt);
    EXPECT_EQ(detailOf(badStatusError(500, "")).rawString(), "");
}

TEST(ResponsePipeline, EqualityIsIdentity) {
    const auto parser = std::make_shared<StringParsePipeline>();
    EXPECT_EQ(ResponsePipeline::terminator(parser), ResponsePipeline::terminator(parser));
    const auto decoder = sharedJSONDecoder();
    EXPECT_FALSE(ResponsePipeline::terminator(std::make_shared<JSONParsePipeline>(decoder)) ==
                 ResponsePipeline::terminator(std::make_shared<JSONParsePipeline>(decoder)));
    const auto redirector = std::make_shared<BadHTTPStatusRedirector>();
    EXPECT_EQ(ResponsePipeline::redirector(redirector), ResponsePipeline::redirector(redirector));
}

TEST(ParsePipelines, TextAndJSON) {
    const test::ConfigurableRequest<> text;
    StringParsePipeline string;
    EXPECT_EQ(std::any_cast<std::string>(string.parse(text, platform::dataFromString("a\n b "))), "a\n b ");
    EXPECT_EQ(std::any_cast<std::string>(string.parse(text, {})), "");
    EXPECT_THROW(string.parse(text, platform::Data{0xc3, 0x28}), InvalidUTF8BodyError);

    const test::ConfigurableRequest<std::vector<int>> list;
    JSONParsePipeline json(sharedJSONDecoder());
    EXPECT_EQ(std::any_cast<std::vector<int>>(json.parse(list, platform::dataFromString("[1,2]"))),
              (std::vector<int>{1, 2}));
    EXPECT_ANY_THROW(json.parse(list, {}));
}

// A redirector that always applies and answers with the action a test gives it, at once or later.
class ScriptedRedirector final : public ResponsePipelineRedirector {
public:
    explicit ScriptedRedirector(std::function<void(RedirectorDone)> script) : script_(std::move(script)) {}
    bool shouldApply(const AnyRequest&, const platform::Data&, const HTTPResponse&) override { return true; }
    void redirect(const AnyRequest&, const platform::Data& data, const HTTPResponse&, RedirectorDone done) override {
        seen.push_back(platform::stringFromData(data));
        script_(std::move(done));
    }
    std::vector<std::string> seen;

private:
    std::function<void(RedirectorDone)> script_;
};

// Records the data every parse sees.
class RecordingParser final : public ResponsePipelineTerminator {
public:
    std::any parse(const AnyRequest&, const platform::Data& data) const override {
        seen->push_back(platform::stringFromData(data));
        return platform::stringFromData(data);
    }
    std::shared_ptr<std::vector<std::string>> seen = std::make_shared<std::vector<std::string>>();
};

class RunPipelines : public ::testing::Test {
protected:
    std::vector<Session::HandleResult> run(ResponsePipelineList list, const std::string& body = "body") {
        std::vector<Session::HandleResult> results;
        session_->runPipelines(std::move(list), std::make_shared<const test::ConfigurableRequest<>>(),
                               platform::dataFromString(body), response(200),
                               [&results](Session::HandleResult result) { results.push_back(std::move(result)); });
        return results;
    }

    std::shared_ptr<Session> session_ = Session::makeDefault();
    std::shared_ptr<RecordingParser> parser_ = std::make_shared<RecordingParser>();
};

TEST_F(RunPipelines, RedirectorActions) {
    auto replace = std::make_shared<ScriptedRedirector>(
        [](RedirectorDone done) { done(Action::continueWith(platform::dataFromString("replaced"), response(200))); });
    auto pass = std::make_shared<ScriptedRedirector>([](RedirectorDone done) { done(Action::continue_()); });
    auto results = run({ResponsePipeline::redirector(pass), ResponsePipeline::redirector(replace),
                        ResponsePipeline::redirector(pass), ResponsePipeline::terminator(parser_)});
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(std::any_cast<std::string>(results[0].parsed), "replaced");
    EXPECT_EQ(pass->seen, (std::vector<std::string>{"body", "replaced"})) << "continueWith only affects later steps";

    const auto dropped = ResponsePipeline::redirector(pass);
    auto restartWithout =
        std::make_shared<ScriptedRedirector>([dropped](RedirectorDone done) { done(Action::restartWithout(dropped)); });
    const auto before = ResponsePipeline::redirector(std::make_shared<BadHTTPStatusRedirector>());
    const auto terminator = ResponsePipeline::terminator(parser_);
    results = run({before, ResponsePipeline::redirector(restartWithout), dropped, terminator, dropped});
    ASSERT_EQ(results.size(), 1u);
    ASSERT_EQ(results[0].kind, Session::HandleResult::Kind::restartWith);
    EXPECT_EQ(results[0].pipelines, ResponsePipelineList{terminator}) << "the steps that followed, less the pipeline";

    auto restart = std::make_shared<ScriptedRedirector>([](RedirectorDone done) { done(Action::restart()); });
    results = run({ResponsePipeline::redirector(restart), terminator});
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].kind, Session::HandleResult::Kind::restart);

    auto stop = std::make_shared<ScriptedRedirector>([](RedirectorDone done) {
        done(Action::stop(QORSDKError(QORSDKError::generalError{QORSDKError::GeneralErrorReason::coreError{"halt"}})));
    });
    results = run({ResponsePipeline::redirector(stop), terminator});
    ASSERT_EQ(results.size(), 1u);
    ASSERT_EQ(results[0].kind, Session::HandleResult::Kind::stop);
    EXPECT_EQ(asQORSDKError(results[0].error).errorDescription(), "halt");
    EXPECT_EQ(*parser_->seen, std::vector<std::string>{"replaced"}) << "stopped and restarted roads never parse";

    RedirectorDone kept;
    auto silent = std::make_shared<ScriptedRedirector>([&kept](RedirectorDone done) { kept = std::move(done); });
    results = run({ResponsePipeline::redirector(silent), terminator});
    EXPECT_TRUE(results.empty()) << "a redirector that never answers ends the road";
}

TEST_F(RunPipelines, ParseFailuresBecomeDataParsingFailed) {
    try {
        run({ResponsePipeline::terminator(std::make_shared<StringParsePipeline>())}, std::string("\xff", 1));
        FAIL() << "expected a parse failure";
    } catch (const QORSDKError& error) {
        const auto* failed = error.as<QORSDKError::responseFailed>()->reason.as<Reason::dataParsingFailed>();
        ASSERT_NE(failed, nullptr);
        EXPECT_EQ(failed->type, std::type_index(typeid(std::string)));
        EXPECT_EQ(failed->data, platform::Data{0xff});
        ASSERT_TRUE(failed->error.has_value());
        EXPECT_NE(failed->error->as<InvalidUTF8BodyError>(), nullptr);
    }
}

using RunPipelinesDeathTest = RunPipelines;

TEST_F(RunPipelinesDeathTest, EmptyListStops) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(run({}),
                 "^Fatal error: \\[QORSDK\\] The pipeline is already empty but request does not be parsed\\.Please at "
                 "least set a terminator pipeline to request `pipelines` property\\.\n");
}

}  // namespace
}  // namespace qor
