#include "Networking/Client/AnyError.h"

namespace qor {

std::string AnyError::description() const {
    if (!*pointer_) return "nil";
    try {
        std::rethrow_exception(*pointer_);
    } catch (const std::exception& error) {
        return error.what();
    } catch (const std::string& text) {
        return text;
    } catch (const char* text) {
        return text != nullptr ? text : "";
    } catch (...) {
    }
    return "unknown error";
}

}  // namespace qor
