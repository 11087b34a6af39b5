#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qor {

class Plugin;  // the analytics engine's pipeline plugin

// The device's network reachability. The first three cases mean online.
enum class ConnectionStatus { cellular, wifi, bluetooth, offline, unknown };

inline bool isOnline(ConnectionStatus status) {
    return status != ConnectionStatus::offline && status != ConnectionStatus::unknown;
}

struct ScreenSize {
    double width = 0.0;
    double height = 0.0;
    double scale = 1.0;

    bool operator==(const ScreenSize&) const = default;
};

// Device and platform facts. The base answers every question with a neutral value;
// the platform subclass overrides each member with the real facts of the device.
class VendorSystem {
public:
    using Factory = std::function<std::shared_ptr<VendorSystem>()>;

    VendorSystem() = default;
    virtual ~VendorSystem() = default;

    virtual std::string manufacturer() const { return "unknown"; }
    virtual std::string type() const { return "unknown"; }
    virtual std::string model() const { return "unknown"; }
    virtual std::string name() const { return "unknown"; }
    virtual std::optional<std::string> identifierForVendor() const { return std::nullopt; }
    virtual std::string systemName() const { return "unknown"; }
    virtual std::string systemVersion() const { return ""; }
    virtual ScreenSize screenSize() const { return {}; }
    virtual std::optional<std::string> userAgent() const { return std::string("unknown"); }
    virtual ConnectionStatus connection() const { return ConnectionStatus::unknown; }
    virtual std::vector<std::shared_ptr<Plugin>> requiredPlugins() const { return {}; }

    // The process-wide instance, made once on first use (safe from any thread) by the
    // registered factory, or as a plain VendorSystem when none was registered.
    static std::shared_ptr<VendorSystem> current();

    // Installs the factory that `current()` uses. The platform's subclass registers
    // itself here before the first read; returns false (and changes nothing) once
    // `current()` has already been made.
    static bool registerFactory(Factory factory);
};

}  // namespace qor
