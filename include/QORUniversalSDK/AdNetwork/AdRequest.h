#pragma once

#include <concepts>
#include <optional>
#include <string>
#include <type_traits>

#include <QORUniversalSDK/Core/JSON.h>
#include <QORUniversalSDK/Platform/Support/Export.h>

namespace qor {

class AdRequest;

namespace detail {

template <class T>
concept AdRequestContext = !std::is_same_v<std::remove_cvref_t<T>, AdRequest> && requires(const T& value) {
    JSON::with(value);
};

}  // namespace detail

// What the app hands to every ad load: an id of its own and an optional free-form context that
// travels to the ad server in the bid request's extension. Made and read on the app's thread.
class QOR_EXPORT AdRequest {
public:
    // A new upper-case UUID as id, no context.
    AdRequest();

    // The context is any value that encodes to JSON; one that cannot be encoded leaves the
    // context absent (the request itself is still made), as does an absent optional.
    template <detail::AdRequestContext T>
    explicit AdRequest(const T& context) : AdRequest() {
        assignContext(context);
    }
    template <detail::AdRequestContext T>
    explicit AdRequest(const std::optional<T>& context) : AdRequest() {
        if (context) assignContext(*context);
    }

    const std::string& id() const { return id_; }
    const std::optional<JSON>& context() const { return context_; }
    void setContext(std::optional<JSON> context) { context_ = std::move(context); }

private:
    template <class T>
    void assignContext(const T& context) {
        try {
            context_ = JSON::with(context);
        } catch (...) {
            context_.reset();
        }
    }

    std::string id_;
    std::optional<JSON> context_;
};

}  // namespace qor
