#include "Networking/Client/QORSDKError.h"

#include "Core/Overloaded.h"

namespace qor {
namespace {

const std::string kNotYetImplemented = "Not yet implemented: ";
const std::string kProcessDiscarded = "Process discarded due to internal error";

std::string describe(const QORSDKError::GeneralErrorReason& reason) {
    using R = QORSDKError::GeneralErrorReason;
    return std::visit(Overloaded{
                          [](const R::coreError& c) { return c.string; },
                          [](const R::conversionError& c) {
                              return "Cannot convert target \"" + c.string + "\" to valid data under " +
                                     description(c.encoding) + " encoding.";
                          },
                          [](const R::processDiscarded&) { return kProcessDiscarded; },
                      },
                      reason.value);
}

std::string describe(const QORSDKError::RequestErrorReason& reason) {
    using R = QORSDKError::RequestErrorReason;
    return kNotYetImplemented +
           std::visit(Overloaded{
                          [](const R::jsonEncodingFailed& c) {
                              return "jsonEncodingFailed(" + c.error.debugDescription() + ")";
                          },
                          [](const R::missingURL&) { return std::string("missingURL"); },
                          [](const R::lackOfAccessToken&) { return std::string("lackOfAccessToken"); },
                          [](const R::invalidParameter&) { return std::string("invalidParameter"); },
                      },
                      reason.value);
}

std::string describe(const QORSDKError::ResponseErrorReason& reason) {
    using R = QORSDKError::ResponseErrorReason;
    return kNotYetImplemented + std::visit(Overloaded{
                                               [](const R::URLSessionError&) { return std::string(); },
                                               [](const R::dataParsingFailed&) { return std::string(); },
                                               [](const R::invalidHTTPStatusAPIError& c) {
                                                   // The batch uploader drops a file whose failure mentions a bad
                                                   // request, so such a body is handed on whole.
                                                   const auto& raw = c.detail.rawString();
                                                   if (raw && raw->find("Bad request") != std::string::npos)
                                                       return *raw;
                                                   return "Invalid " + std::to_string(c.detail.code());
                                               },
                                               [](const R::nonHTTPURLResponse&) { return kProcessDiscarded; },
                                           },
                                           reason.value);
}

}  // namespace

QORSDKError::QORSDKError(generalError error) : value_(std::move(error)), description_(describe(value_)) {}
QORSDKError::QORSDKError(requestFailed error) : value_(std::move(error)), description_(describe(value_)) {}
QORSDKError::QORSDKError(responseFailed error) : value_(std::move(error)), description_(describe(value_)) {}
QORSDKError::QORSDKError(untypedError error) : value_(std::move(error)), description_(describe(value_)) {}

std::string QORSDKError::describe(const Case& value) {
    return std::visit(
        Overloaded{
            [](const generalError& c) { return qor::describe(c.reason); },
            [](const requestFailed& c) { return qor::describe(c.reason); },
            [](const responseFailed& c) { return qor::describe(c.reason); },
            [](const untypedError& c) { return "An error not type in Lumatix Universal SDK " + c.error.description(); },
        },
        value);
}

QORSDKError asQORSDKError(const std::exception_ptr& error) {
    if (!error) return QORSDKError::untypedError{AnyError(error)};
    try {
        std::rethrow_exception(error);
    } catch (const QORSDKError& sdkError) {
        return sdkError;
    } catch (...) {
    }
    return QORSDKError::untypedError{AnyError(error)};
}

QORSDKError asQORSDKError(const AnyError& error) { return asQORSDKError(error.pointer()); }

}  // namespace qor
