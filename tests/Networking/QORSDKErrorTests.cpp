#include "Networking/Client/QORSDKError.h"

#include "Platform/Foundation/URLError.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace qor {
namespace {

using General = QORSDKError::GeneralErrorReason;
using RequestReason = QORSDKError::RequestErrorReason;
using ResponseReason = QORSDKError::ResponseErrorReason;

std::shared_ptr<const platform::HTTPURLResponse> response(int status) {
    return std::make_shared<const platform::HTTPURLResponse>(*platform::URL::make("https://a.test/x"), status,
                                                             platform::HTTPHeaderFields{});
}

QORSDKError badStatus(int status, std::optional<std::string> body) {
    return QORSDKError::responseFailed{ResponseReason::invalidHTTPStatusAPIError{
        ResponseReason::APIErrorDetail(status, std::nullopt, response(status), body)}};
}

TEST(QORSDKError, GeneralErrorDescriptions) {
    EXPECT_EQ(QORSDKError(QORSDKError::generalError{General::coreError{"No fill"}}).errorDescription(), "No fill");
    const QORSDKError empty = QORSDKError::generalError{General::coreError{""}};
    ASSERT_TRUE(empty.errorDescription().has_value());
    EXPECT_EQ(*empty.errorDescription(), "");
    EXPECT_EQ(QORSDKError(QORSDKError::generalError{General::conversionError{"NativeAdResponse", StringEncoding::utf8}})
                  .errorDescription(),
              "Cannot convert target \"NativeAdResponse\" to valid data under Unicode (UTF-8) encoding.");
    EXPECT_EQ(QORSDKError(QORSDKError::generalError{General::processDiscarded{}}).errorDescription(),
              "Process discarded due to internal error");
}

TEST(QORSDKError, RequestFailedDescriptionsNameTheReason) {
    EXPECT_EQ(QORSDKError(QORSDKError::requestFailed{RequestReason::missingURL{}}).errorDescription(),
              "Not yet implemented: missingURL");
    EXPECT_EQ(QORSDKError(QORSDKError::requestFailed{RequestReason::lackOfAccessToken{}}).errorDescription(),
              "Not yet implemented: lackOfAccessToken");
    EXPECT_EQ(QORSDKError(QORSDKError::requestFailed{RequestReason::invalidParameter{}}).errorDescription(),
              "Not yet implemented: invalidParameter");
    const QORSDKError encoding = QORSDKError::requestFailed{
        RequestReason::jsonEncodingFailed{AnyError::make(std::runtime_error("Invalid number value (infinite)"))}};
    EXPECT_EQ(encoding.errorDescription(), "Not yet implemented: jsonEncodingFailed(Invalid number value (infinite))");
}

TEST(QORSDKError, ResponseFailedDescriptions) {
    const QORSDKError transport =
        QORSDKError::responseFailed{ResponseReason::URLSessionError{AnyError::make(std::runtime_error("refused"))}};
    EXPECT_EQ(transport.errorDescription(), "Not yet implemented: ");
    const QORSDKError parsing = QORSDKError::responseFailed{
        ResponseReason::dataParsingFailed{typeid(std::string), platform::dataFromString("x"), std::nullopt}};
    EXPECT_EQ(parsing.errorDescription(), "Not yet implemented: ");
    EXPECT_EQ(QORSDKError(QORSDKError::responseFailed{ResponseReason::nonHTTPURLResponse{}}).errorDescription(),
              "Not yet implemented: Process discarded due to internal error");

    EXPECT_EQ(badStatus(500, std::nullopt).errorDescription(), "Not yet implemented: Invalid 500");
    EXPECT_EQ(badStatus(404, std::string("nothing here")).errorDescription(), "Not yet implemented: Invalid 404");
    EXPECT_EQ(badStatus(400, std::string("{\"error\":\"Bad request: key\"}")).errorDescription(),
              "Not yet implemented: {\"error\":\"Bad request: key\"}");
    EXPECT_EQ(badStatus(400, std::string("bad request")).errorDescription(), "Not yet implemented: Invalid 400")
        << "the match is case-sensitive";
}

TEST(QORSDKError, UntypedErrorAndConversion) {
    const auto foreign = AnyError::make(std::runtime_error("disk full"));
    const QORSDKError untyped = QORSDKError::untypedError{foreign};
    EXPECT_EQ(untyped.errorDescription(), "An error not type in Lumatix Universal SDK disk full");

    // A QORSDKError passes unchanged, also when it arrives as a thrown exception.
    const QORSDKError missing = QORSDKError::requestFailed{RequestReason::missingURL{}};
    const auto same = asQORSDKError(std::make_exception_ptr(missing));
    ASSERT_NE(same.as<QORSDKError::requestFailed>(), nullptr);
    EXPECT_NE(same.as<QORSDKError::requestFailed>()->reason.as<RequestReason::missingURL>(), nullptr);
    EXPECT_EQ(same.errorDescription(), missing.errorDescription());

    // Anything else is carried as that very object.
    const auto wrapped =
        asQORSDKError(platform::URLError(platform::URLError::Code::timedOut, "The request timed out."));
    const auto* carried = wrapped.as<QORSDKError::untypedError>();
    ASSERT_NE(carried, nullptr);
    const auto* urlError = carried->error.as<platform::URLError>();
    ASSERT_NE(urlError, nullptr);
    EXPECT_EQ(urlError->code(), platform::URLError::Code::timedOut);
    EXPECT_EQ(wrapped.errorDescription()->rfind("An error not type in Lumatix Universal SDK ", 0), 0u);
    EXPECT_STREQ(wrapped.what(), wrapped.errorDescription()->c_str());
}

// The textual form keeps the case and every associated value: the log lines that must show a
// failure's cause print it, where errorDescription() often says nothing of it.
TEST(QORSDKError, TextualFormNamesTheCaseAndItsValues) {
    const std::vector<std::pair<QORSDKError, std::string>> cases{
        {QORSDKError::generalError{General::coreError{"Failed to get IP Address"}},
         R"(generalError(reason: .coreError(string: "Failed to get IP Address")))"},
        {QORSDKError::generalError{General::coreError{"say \"hi\"\n"}},
         R"(generalError(reason: .coreError(string: "say \"hi\"\n")))"},
        {QORSDKError::generalError{General::conversionError{"NativeAdResponse", StringEncoding::utf8}},
         R"(generalError(reason: .conversionError(string: "NativeAdResponse", encoding: Unicode (UTF-8))))"},
        {QORSDKError::generalError{General::processDiscarded{}}, "generalError(reason: .processDiscarded)"},
        {QORSDKError::requestFailed{RequestReason::missingURL{}}, "requestFailed(reason: .missingURL)"},
        {QORSDKError::requestFailed{RequestReason::lackOfAccessToken{}}, "requestFailed(reason: .lackOfAccessToken)"},
        {QORSDKError::requestFailed{RequestReason::invalidParameter{}}, "requestFailed(reason: .invalidParameter)"},
        {QORSDKError::requestFailed{RequestReason::jsonEncodingFailed{AnyError::make(std::runtime_error("infinite"))}},
         R"(requestFailed(reason: .jsonEncodingFailed(std::runtime_error("infinite"))))"},
        {QORSDKError::responseFailed{ResponseReason::URLSessionError{AnyError::make(
             platform::URLError(platform::URLError::Code::cannotConnectToHost, "Could not connect to the server."))}},
         R"(responseFailed(reason: .URLSessionError(URLError(code: -1004, "Could not connect to the server."))))"},
        {QORSDKError::responseFailed{
             ResponseReason::dataParsingFailed{typeid(std::string), platform::dataFromString("\xff\xfe"),
                                               AnyError::make(std::runtime_error("not UTF-8"))}},
         R"(responseFailed(reason: .dataParsingFailed(String, 2 bytes, std::runtime_error("not UTF-8"))))"},
        {QORSDKError::responseFailed{
             ResponseReason::dataParsingFailed{typeid(std::string), platform::dataFromString(""), std::nullopt}},
         "responseFailed(reason: .dataParsingFailed(String, 0 bytes, nil))"},
        {badStatus(503, std::string("busy")),
         R"(responseFailed(reason: .invalidHTTPStatusAPIError(detail: APIErrorDetail(code: 503, error: nil, )"
         R"(raw: HTTPURLResponse(url: "https://a.test/x", statusCode: 503), rawString: "busy"))))"},
        {QORSDKError::responseFailed{ResponseReason::invalidHTTPStatusAPIError{ResponseReason::APIErrorDetail(
             401, APIError("unauthorized", std::string("key revoked")), nullptr, std::nullopt)}},
         R"(responseFailed(reason: .invalidHTTPStatusAPIError(detail: APIErrorDetail(code: 401, error: )"
         R"(APIError(error: "unauthorized", detail: "key revoked"), raw: nil, rawString: nil))))"},
        {QORSDKError::responseFailed{ResponseReason::nonHTTPURLResponse{}},
         "responseFailed(reason: .nonHTTPURLResponse)"},
        {QORSDKError::untypedError{AnyError::make(std::runtime_error("disk full"))},
         R"(untypedError(error: std::runtime_error("disk full")))"},
        // An error carried inside another is written in its own textual form.
        {QORSDKError::untypedError{
             AnyError::make(QORSDKError(QORSDKError::requestFailed{RequestReason::missingURL{}}))},
         "untypedError(error: requestFailed(reason: .missingURL))"},
    };
    for (const auto& [error, text] : cases) EXPECT_EQ(error.description(), text);
    // errorDescription keeps its own, fixed texts.
    EXPECT_EQ(cases[8].first.errorDescription(), "Not yet implemented: ");
}

}  // namespace
}  // namespace qor
