#pragma once

#include <string>

#include <QORUniversalSDK/Platform/Foundation/Any.h>
#include <QORUniversalSDK/Platform/Support/Export.h>

namespace qor::platform {

// The user-info key whose string value is the error's localized description.
inline constexpr const char* NSLocalizedDescriptionKey = "NSLocalizedDescription";

// An error value as the platform reports it: a domain, a code and a dictionary of details.
// Copied freely; safe to hand between threads.
class QOR_EXPORT NSError {
public:
    NSError(std::string domain, long code, AnyDictionary userInfo = {});

    const std::string& domain() const { return domain_; }
    long code() const { return code_; }
    const AnyDictionary& userInfo() const { return userInfo_; }

    // The string under NSLocalizedDescriptionKey; without one, a sentence naming the domain
    // and the code.
    std::string localizedDescription() const;

private:
    std::string domain_;
    long code_;
    AnyDictionary userInfo_;
};

}  // namespace qor::platform
