#include "Platform/Support/FatalError.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace qor::platform {

void fatalError(std::string_view message) {
    // One write so that the line is not interleaved with other threads' output.
    std::string line = "Fatal error: ";
    line.append(message);
    line.push_back('\n');
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
    std::abort();
}

void stopForUncaughtException(std::string_view owner, const std::exception_ptr& error, std::string_view kind) {
    std::string reason = "an exception that is not a std::exception";
    try {
        if (error) std::rethrow_exception(error);
    } catch (const std::exception& exception) {
        reason = exception.what();
    } catch (...) {
    }
    fatalError(std::string(kind) + " on " + std::string(owner) + " threw: " + reason);
}

}  // namespace qor::platform
