#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace qor {

// The analytics engine's own error. The app's error handler receives it (as an
// exception_ptr holding this type) for failures of the file storage and of JSON
// conversions; other errors reach the handler unchanged.
struct AnalyticsError : std::exception {
    enum class Code {
        storageUnableToCreate,
        storageUnableToWrite,
        storageUnableToRename,
        storageUnableToOpen,
        storageUnableToClose,
        storageInvalid,
        storageUnknown,
        networkUnexpectedHTTPCode,
        networkServerLimited,
        networkServerRejected,
        networkUnknown,
        jsonUnableToSerialize,
        jsonUnableToDeserialize,
        jsonUnknown,
        pluginError,
        networkInvalidData,
    };

    // The cases with a path or text.
    static AnalyticsError storageUnableToCreate(std::string path) {
        return {Code::storageUnableToCreate, std::move(path)};
    }
    static AnalyticsError storageUnableToWrite(std::string path) {
        return {Code::storageUnableToWrite, std::move(path)};
    }
    static AnalyticsError storageUnableToRename(std::string path) {
        return {Code::storageUnableToRename, std::move(path)};
    }
    static AnalyticsError storageUnableToOpen(std::string path) { return {Code::storageUnableToOpen, std::move(path)}; }
    static AnalyticsError storageUnableToClose(std::string path) {
        return {Code::storageUnableToClose, std::move(path)};
    }
    static AnalyticsError storageInvalid(std::string path) { return {Code::storageInvalid, std::move(path)}; }
    // The cases with an HTTP status.
    static AnalyticsError networkUnexpectedHTTPCode(std::int64_t status) {
        return {Code::networkUnexpectedHTTPCode, status};
    }
    static AnalyticsError networkServerLimited(std::int64_t status) { return {Code::networkServerLimited, status}; }
    static AnalyticsError networkServerRejected(std::int64_t status) { return {Code::networkServerRejected, status}; }
    // The cases that wrap another error.
    static AnalyticsError storageUnknown(std::exception_ptr error) { return {Code::storageUnknown, std::move(error)}; }
    static AnalyticsError networkUnknown(std::exception_ptr error) { return {Code::networkUnknown, std::move(error)}; }
    static AnalyticsError jsonUnableToSerialize(std::exception_ptr error) {
        return {Code::jsonUnableToSerialize, std::move(error)};
    }
    static AnalyticsError jsonUnableToDeserialize(std::exception_ptr error) {
        return {Code::jsonUnableToDeserialize, std::move(error)};
    }
    static AnalyticsError jsonUnknown(std::exception_ptr error) { return {Code::jsonUnknown, std::move(error)}; }
    static AnalyticsError pluginError(std::exception_ptr error) { return {Code::pluginError, std::move(error)}; }
    static AnalyticsError networkInvalidData() { return {Code::networkInvalidData}; }

    Code code;
    std::string text;               // the path, for the storage cases
    std::int64_t status = 0;        // the HTTP status, for the network cases
    std::exception_ptr underlying;  // the wrapped error, for the cases that carry one

    // The case name and its payload: "storageUnableToRename(/a/b)", "networkServerLimited(429)",
    // "jsonUnknown(<the wrapped error's text>)", "networkInvalidData".
    const char* what() const noexcept override { return description_.c_str(); }

private:
    AnalyticsError(Code code);
    AnalyticsError(Code code, std::string text);
    AnalyticsError(Code code, std::int64_t status);
    AnalyticsError(Code code, std::exception_ptr underlying);

    std::string description_;
};

// The name of a case, as it appears in descriptions.
const char* analyticsErrorCaseName(AnalyticsError::Code code);

// The textual description of any error: what() of a std::exception, a fixed text otherwise.
std::string describeError(const std::exception_ptr& error);

// Storage and JSON errors become AnalyticsError; everything else is handed back as it is.
std::exception_ptr translate(const std::exception_ptr& error);

}  // namespace qor
