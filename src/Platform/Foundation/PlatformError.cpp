#include "Platform/Foundation/PlatformError.h"

#include <cerrno>
#include <system_error>

namespace qor::platform {

PlatformError::PlatformError(Code code, std::string message, std::string path, int systemError)
    : std::runtime_error(std::move(message)), code_(code), path_(std::move(path)), systemError_(systemError) {}

PlatformError PlatformError::fromErrno(std::string_view operation, const std::string& path, int errnoValue,
                                       Code fallback) {
    Code code = fallback;
    switch (errnoValue) {
        case ENOENT:
        case ENOTDIR:
            code = Code::fileNoSuchFile;
            break;
        case EEXIST:
        case ENOTEMPTY:
            code = Code::fileExists;
            break;
        case EACCES:
        case EPERM:
        case EROFS:
            code = Code::fileNoPermission;
            break;
        default:
            break;
    }
    std::string message(operation);
    message += " \"";
    message += path;
    message += "\" failed: ";
    message += std::error_code(errnoValue, std::system_category()).message();
    return PlatformError(code, std::move(message), path, errnoValue);
}

}  // namespace qor::platform
