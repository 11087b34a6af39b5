#include "Analytics/AnalyticsError.h"

#include "Analytics/OutputFileStream.h"
#include "Core/JSON.h"

namespace qor {

const char* analyticsErrorCaseName(AnalyticsError::Code code) {
    using Code = AnalyticsError::Code;
    switch (code) {
        case Code::storageUnableToCreate:
            return "storageUnableToCreate";
        case Code::storageUnableToWrite:
            return "storageUnableToWrite";
        case Code::storageUnableToRename:
            return "storageUnableToRename";
        case Code::storageUnableToOpen:
            return "storageUnableToOpen";
        case Code::storageUnableToClose:
            return "storageUnableToClose";
        case Code::storageInvalid:
            return "storageInvalid";
        case Code::storageUnknown:
            return "storageUnknown";
        case Code::networkUnexpectedHTTPCode:
            return "networkUnexpectedHTTPCode";
        case Code::networkServerLimited:
            return "networkServerLimited";
        case Code::networkServerRejected:
            return "networkServerRejected";
        case Code::networkUnknown:
            return "networkUnknown";
        case Code::jsonUnableToSerialize:
            return "jsonUnableToSerialize";
        case Code::jsonUnableToDeserialize:
            return "jsonUnableToDeserialize";
        case Code::jsonUnknown:
            return "jsonUnknown";
        case Code::pluginError:
            return "pluginError";
        case Code::networkInvalidData:
            return "networkInvalidData";
    }
    return "unknown";
}

std::string describeError(const std::exception_ptr& error) {
    if (!error) return "nil";
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& caught) {
        return caught.what();
    } catch (...) {
        return "an error of an unknown type";
    }
}

AnalyticsError::AnalyticsError(Code code) : code(code), description_(analyticsErrorCaseName(code)) {}

AnalyticsError::AnalyticsError(Code code, std::string text)
    : code(code),
      text(std::move(text)),
      description_(std::string(analyticsErrorCaseName(code)) + "(" + this->text + ")") {}

AnalyticsError::AnalyticsError(Code code, std::int64_t status)
    : code(code),
      status(status),
      description_(std::string(analyticsErrorCaseName(code)) + "(" + std::to_string(status) + ")") {}

AnalyticsError::AnalyticsError(Code code, std::exception_ptr underlying)
    : code(code),
      underlying(std::move(underlying)),
      description_(std::string(analyticsErrorCaseName(code)) + "(" + describeError(this->underlying) + ")") {}

std::exception_ptr translate(const std::exception_ptr& error) {
    if (!error) return error;
    try {
        std::rethrow_exception(error);
    } catch (const OutputFileStream::OutputStreamError& streamError) {
        using Code = OutputFileStream::OutputStreamError::Code;
        switch (streamError.code) {
            case Code::invalidPath:
                return std::make_exception_ptr(AnalyticsError::storageInvalid(streamError.path));
            case Code::unableToOpen:
                return std::make_exception_ptr(AnalyticsError::storageUnableToOpen(streamError.path));
            case Code::unableToWrite:
                return std::make_exception_ptr(AnalyticsError::storageUnableToWrite(streamError.path));
            case Code::unableToCreate:
                return std::make_exception_ptr(AnalyticsError::storageUnableToCreate(streamError.path));
            case Code::unableToClose:
                return std::make_exception_ptr(AnalyticsError::storageUnableToClose(streamError.path));
        }
    } catch (const JSON::JSONError& jsonError) {
        if (jsonError.code == JSON::JSONError::Code::unknown) {
            return std::make_exception_ptr(AnalyticsError::jsonUnknown(error));
        }
        return std::make_exception_ptr(AnalyticsError::jsonUnableToDeserialize(error));
    } catch (...) {
    }
    return error;
}

}  // namespace qor
