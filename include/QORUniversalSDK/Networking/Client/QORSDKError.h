#pragma once

#include <QORUniversalSDK/Core/StringEncoding.h>
#include <QORUniversalSDK/Networking/Client/APIError.h>
#include <QORUniversalSDK/Networking/Client/AnyError.h>
#include <QORUniversalSDK/Platform/Foundation/Data.h>
#include <QORUniversalSDK/Platform/Foundation/HTTPURLResponse.h>

#include <QORUniversalSDK/Platform/Support/Export.h>
#include <concepts>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <typeindex>
#include <variant>

namespace qor {

// The one error type through which the system reports failures. Its case and reason types carry
// the exact names of the cases (QORSDKError::requestFailed{RequestErrorReason::missingURL{}});
// errorDescription() is the fixed text other subsystems and the app act on. It is also thrown
// as a C++ exception where an operation fails, and what() gives the same text.
//
// description() is the error's own textual form instead: its case and associated values, as
// the log lines that must keep the cause print it (the IP lookup's failure line, the upload's
// "DMP tracking result: " line, the ad network's tracker lines). For example
//   generalError(reason: .coreError(string: "Failed to get IP Address"))
//   responseFailed(reason: .URLSessionError(URLError(code: -1004, "Connection refused")))
//   responseFailed(reason: .invalidHTTPStatusAPIError(detail: APIErrorDetail(code: 503, error: nil,
//       raw: HTTPURLResponse(url: "https://host/v1/b", statusCode: 503), rawString: "busy")))
// Texts are quoted with their quotes, backslashes and control characters escaped; a foreign
// error is written as its type and what(), a URLError as its code and text.
class QOR_EXPORT QORSDKError : public std::exception {
public:
    struct GeneralErrorReason {
        struct coreError {
            std::string string;
        };
        struct conversionError {
            std::string string;
            StringEncoding encoding;
        };
        struct processDiscarded {};
        using Case = std::variant<coreError, conversionError, processDiscarded>;

        template <class C>
        requires std::constructible_from<Case, C> GeneralErrorReason(C reason)
            : value(std::move(reason)) {}  // NOLINT: implicit from a case
        template <class C>
        const C* as() const {
            return std::get_if<C>(&value);
        }
        Case value;
    };

    struct RequestErrorReason {
        struct jsonEncodingFailed {
            AnyError error;
        };
        struct missingURL {};
        struct lackOfAccessToken {};
        struct invalidParameter {};
        using Case = std::variant<jsonEncodingFailed, missingURL, lackOfAccessToken, invalidParameter>;

        template <class C>
        requires std::constructible_from<Case, C> RequestErrorReason(C reason) : value(std::move(reason)) {}  // NOLINT
        template <class C>
        const C* as() const {
            return std::get_if<C>(&value);
        }
        Case value;
    };

    struct ResponseErrorReason {
        // What is known of an answer whose status lies outside 200 to 299.
        class APIErrorDetail {
        public:
            APIErrorDetail(int code, std::optional<APIError> error,
                           std::shared_ptr<const platform::HTTPURLResponse> raw, std::optional<std::string> rawString)
                : code_(code), error_(std::move(error)), raw_(std::move(raw)), rawString_(std::move(rawString)) {}

            int code() const { return code_; }
            const std::optional<APIError>& error() const { return error_; }
            const std::shared_ptr<const platform::HTTPURLResponse>& raw() const { return raw_; }
            const std::optional<std::string>& rawString() const { return rawString_; }

        private:
            int code_;
            std::optional<APIError> error_;
            std::shared_ptr<const platform::HTTPURLResponse> raw_;
            std::optional<std::string> rawString_;
        };

        struct URLSessionError {
            AnyError error;
        };
        struct dataParsingFailed {
            std::type_index type;
            platform::Data data;
            std::optional<AnyError> error;
        };
        struct invalidHTTPStatusAPIError {
            APIErrorDetail detail;
        };
        struct nonHTTPURLResponse {};
        using Case = std::variant<URLSessionError, dataParsingFailed, invalidHTTPStatusAPIError, nonHTTPURLResponse>;

        template <class C>
        requires std::constructible_from<Case, C> ResponseErrorReason(C reason) : value(std::move(reason)) {}  // NOLINT
        template <class C>
        const C* as() const {
            return std::get_if<C>(&value);
        }
        Case value;
    };

    struct generalError {
        GeneralErrorReason reason;
    };
    struct requestFailed {
        RequestErrorReason reason;
    };
    struct responseFailed {
        ResponseErrorReason reason;
    };
    struct untypedError {
        AnyError error;
    };
    using Case = std::variant<generalError, requestFailed, responseFailed, untypedError>;

    // Implicit from each case. Defined out of line: the variant is moved in one place only.
    QORSDKError(generalError error);    // NOLINT
    QORSDKError(requestFailed error);   // NOLINT
    QORSDKError(responseFailed error);  // NOLINT
    QORSDKError(untypedError error);    // NOLINT

    const Case& value() const { return value_; }
    template <class C>
    const C* as() const {
        return std::get_if<C>(&value_);
    }

    // Present for every case; empty only for a coreError with an empty message.
    std::optional<std::string> errorDescription() const { return description_; }
    const char* what() const noexcept override { return description_.c_str(); }

    // The textual form: the case and its associated values (see above).
    std::string description() const;

private:
    static std::string describe(const Case& value);

    Case value_;
    std::string description_;
};

// A QORSDKError stays as it is; any other error becomes untypedError holding it.
QOR_EXPORT QORSDKError asQORSDKError(const std::exception_ptr& error);
QOR_EXPORT QORSDKError asQORSDKError(const AnyError& error);
inline QORSDKError asQORSDKError(const QORSDKError& error) { return error; }
template <class E>
requires(!std::same_as<std::remove_cvref_t<E>, QORSDKError> && !std::same_as<std::remove_cvref_t<E>, AnyError> &&
         !std::same_as<std::remove_cvref_t<E>, std::exception_ptr>) QORSDKError asQORSDKError(E&& error) {
    return asQORSDKError(std::make_exception_ptr(std::forward<E>(error)));
}

}  // namespace qor
