#include "Networking/Client/QORSDKError.h"

#include <cxxabi.h>

#include <cstdlib>
#include <string_view>
#include <typeinfo>

#include "Core/Overloaded.h"
#include "Platform/Foundation/URLError.h"
#include "Platform/Support/ASCIIText.h"

namespace qor {
namespace {

constexpr std::string_view kNotYetImplemented = "Not yet implemented: ";
constexpr std::string_view kProcessDiscarded = "Process discarded due to internal error";

std::string describe(const QORSDKError::GeneralErrorReason& reason) {
    using R = QORSDKError::GeneralErrorReason;
    return std::visit(Overloaded{
                          [](const R::coreError& c) { return c.string; },
                          [](const R::conversionError& c) {
                              return "Cannot convert target \"" + c.string + "\" to valid data under " +
                                     description(c.encoding) + " encoding.";
                          },
                          [](const R::processDiscarded&) { return std::string(kProcessDiscarded); },
                      },
                      reason.value);
}

std::string describe(const QORSDKError::RequestErrorReason& reason) {
    using R = QORSDKError::RequestErrorReason;
    return std::string(kNotYetImplemented) +
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
    return std::string(kNotYetImplemented) +
           std::visit(Overloaded{
                          [](const R::URLSessionError&) { return std::string(); },
                          [](const R::dataParsingFailed&) { return std::string(); },
                          [](const R::invalidHTTPStatusAPIError& c) {
                              // The batch uploader drops a file whose failure mentions a bad
                              // request, so such a body is handed on whole.
                              const auto& raw = c.detail.rawString();
                              if (raw && raw->find("Bad request") != std::string::npos) return *raw;
                              return "Invalid " + std::to_string(c.detail.code());
                          },
                          [](const R::nonHTTPURLResponse&) { return std::string(kProcessDiscarded); },
                      },
                      reason.value);
}

// MARK: Textual form

std::string quoted(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else {
            platform::appendEscapingControlCharacters(out, std::string_view(&c, 1),
                                                      {.keepTab = false, .escapeDelete = false});
        }
    }
    out += '"';
    return out;
}

std::string demangled(const char* name) {
    int status = 0;
    char* readable = abi::__cxa_demangle(name, nullptr, nullptr, &status);
    std::string result = status == 0 && readable != nullptr ? readable : name;
    std::free(readable);
    return result;
}

std::string typeText(const std::type_index& type) {
    if (type == typeid(std::string)) return "String";
    return demangled(type.name());
}

std::string errorText(const AnyError& error) {
    if (!error.pointer()) return "nil";
    try {
        error.rethrow();
    } catch (const QORSDKError& nested) {
        return nested.description();
    } catch (const platform::URLError& urlError) {
        return "URLError(code: " + std::to_string(static_cast<int>(urlError.code())) + ", " +
               quoted(urlError.localizedDescription()) + ")";
    } catch (const std::exception& exception) {
        return demangled(typeid(exception).name()) + "(" + quoted(exception.what()) + ")";
    } catch (const std::string& text) {
        return quoted(text);
    } catch (const char* text) {
        return quoted(text != nullptr ? text : "");
    } catch (...) {
    }
    return "unknown error";
}

std::string optionalText(const std::optional<std::string>& text) { return text ? quoted(*text) : "nil"; }

std::string textualForm(const QORSDKError::GeneralErrorReason& reason) {
    using R = QORSDKError::GeneralErrorReason;
    return std::visit(Overloaded{
                          [](const R::coreError& c) { return ".coreError(string: " + quoted(c.string) + ")"; },
                          [](const R::conversionError& c) {
                              return ".conversionError(string: " + quoted(c.string) +
                                     ", encoding: " + description(c.encoding) + ")";
                          },
                          [](const R::processDiscarded&) { return std::string(".processDiscarded"); },
                      },
                      reason.value);
}

std::string textualForm(const QORSDKError::RequestErrorReason& reason) {
    using R = QORSDKError::RequestErrorReason;
    return std::visit(
        Overloaded{
            [](const R::jsonEncodingFailed& c) { return ".jsonEncodingFailed(" + errorText(c.error) + ")"; },
            [](const R::missingURL&) { return std::string(".missingURL"); },
            [](const R::lackOfAccessToken&) { return std::string(".lackOfAccessToken"); },
            [](const R::invalidParameter&) { return std::string(".invalidParameter"); },
        },
        reason.value);
}

std::string textualForm(const QORSDKError::ResponseErrorReason::APIErrorDetail& detail) {
    std::string text = "APIErrorDetail(code: " + std::to_string(detail.code()) + ", error: ";
    if (const auto& error = detail.error()) {
        text += "APIError(error: " + quoted(error->error()) + ", detail: " + optionalText(error->detail()) + ")";
    } else {
        text += "nil";
    }
    text += ", raw: ";
    if (const auto& raw = detail.raw()) {
        text += "HTTPURLResponse(url: " +
                optionalText(raw->url() ? std::optional(raw->url()->absoluteString()) : std::nullopt) +
                ", statusCode: " + std::to_string(raw->statusCode()) + ")";
    } else {
        text += "nil";
    }
    return text + ", rawString: " + optionalText(detail.rawString()) + ")";
}

std::string textualForm(const QORSDKError::ResponseErrorReason& reason) {
    using R = QORSDKError::ResponseErrorReason;
    return std::visit(Overloaded{
                          [](const R::URLSessionError& c) { return ".URLSessionError(" + errorText(c.error) + ")"; },
                          [](const R::dataParsingFailed& c) {
                              return ".dataParsingFailed(" + typeText(c.type) + ", " + std::to_string(c.data.size()) +
                                     " bytes, " + (c.error ? errorText(*c.error) : std::string("nil")) + ")";
                          },
                          [](const R::invalidHTTPStatusAPIError& c) {
                              return ".invalidHTTPStatusAPIError(detail: " + textualForm(c.detail) + ")";
                          },
                          [](const R::nonHTTPURLResponse&) { return std::string(".nonHTTPURLResponse"); },
                      },
                      reason.value);
}

}  // namespace

std::string QORSDKError::description() const {
    return std::visit(
        Overloaded{
            [](const generalError& c) { return "generalError(reason: " + textualForm(c.reason) + ")"; },
            [](const requestFailed& c) { return "requestFailed(reason: " + textualForm(c.reason) + ")"; },
            [](const responseFailed& c) { return "responseFailed(reason: " + textualForm(c.reason) + ")"; },
            [](const untypedError& c) { return "untypedError(error: " + errorText(c.error) + ")"; },
        },
        value_);
}

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
