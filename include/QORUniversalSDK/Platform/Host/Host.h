#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QORUniversalSDK/Platform/Dispatch/RunLoop.h>
#include <QORUniversalSDK/Platform/Foundation/PropertyList.h>
#include <QORUniversalSDK/Platform/Foundation/URL.h>
#include <QORUniversalSDK/Platform/Support/DeviceProfile.h>
#include <QORUniversalSDK/Platform/Support/Export.h>
#include <QORUniversalSDK/Platform/UIKit/UIApplicationTypes.h>

// What a Linux host app does for the SDK that a phone's system would do: run the main run loop,
// give the app its Info dictionary, tell the SDK what happens to the app (launch, background,
// foreground, ...), take the links the ads open, and state the device's facts. Everything else
// the SDK finds by itself: the Info.plist beside the executable, the deployment variables, this
// machine's facts. Every function here may be called from any thread.
namespace qor::host {

// MARK: Main run loop

// The main thread's run loop. Every main-thread callback of the SDK (delegates, completions, the
// lifecycle notifications posted below) runs only while the main thread, the process's initial
// thread, runs this loop: run() in an app, runUntil(...) for a bounded stretch.
QOR_EXPORT platform::RunLoop& mainRunLoop();

// MARK: Info dictionary

// The app's Info dictionary set in code, used instead of the Info.plist beside the executable;
// nullopt means the app has none. Set it before QOR::start, which reads the SDK's keys from it.
QOR_EXPORT void setInfoDictionary(std::optional<platform::PlistDictionary> dictionary);
// Reads the Info dictionary from an XML property-list file and keeps it. Throws
// std::runtime_error naming the file and the cause when the file is missing, unreadable, not a
// property list or not a dictionary; the dictionary in force then stays as it was.
QOR_EXPORT void loadInfoDictionary(const std::filesystem::path& plistFile);
// Forgets what was set or loaded: the next read looks at the Info.plist in the bundle folder.
QOR_EXPORT void resetInfoDictionary();
// The app's bundle folder, by default the executable's. A folder whose name ends in ".appex"
// makes the process an app extension, which has no application: the lifecycle and URL calls
// below then do nothing and return false.
QOR_EXPORT void setBundlePath(std::string path);

// MARK: The app's lifecycle
//
// Each call sets the application's state and posts the matching notifications on the main thread:
// at once when called there, otherwise on a later turn of the main run loop. Each returns false,
// having done nothing, inside an app extension.

// Did finish launching, with the options (keys in UIApplicationLaunchOptionsKey) as its user
// info, then did become active.
QOR_EXPORT bool postLaunch(std::optional<platform::UIApplicationLaunchOptions> options = std::nullopt);
// Will resign active, then did enter background: the analytics side sends what it holds.
QOR_EXPORT bool postEnterBackground();
// Will enter foreground, then did become active.
QOR_EXPORT bool postEnterForeground();
QOR_EXPORT bool postWillResignActive();
QOR_EXPORT bool postDidBecomeActive();
QOR_EXPORT bool postMemoryWarning();
QOR_EXPORT bool postWillTerminate();
QOR_EXPORT bool postSignificantTimeChange();
// Changes the status and posts its change notification.
QOR_EXPORT bool setBackgroundRefreshStatus(platform::UIBackgroundRefreshStatus status);
// The time of every running background task (such as an upload started on entering the
// background) is up: their expiration handlers run on the main thread.
QOR_EXPORT bool expireBackgroundTasks();

// MARK: Links

// Receives every link the SDK opens (an ad's click-through), on the thread that opens it: the
// main thread. Besides http and https, the `schemes` count as openable. Replaces the earlier
// opener; without one, opened links go nowhere. False inside an app extension.
QOR_EXPORT bool setURLOpener(std::function<void(const platform::URL&)> opener, std::vector<std::string> schemes = {});
// Decides which links can be opened, in place of the scheme rule above; it runs on the thread
// that asks (the main thread for the SDK's views). An empty function restores the rule. False
// inside an app extension.
QOR_EXPORT bool setCanOpenURLPolicy(std::function<bool(const platform::URL&)> policy);

// MARK: Device facts
//
// The device the SDK reports (model, system version, screen, languages, time zone, carriers,
// reachability, the web view's user agent): by default this machine's facts. Writes from several
// threads apply one after another, none lost. The SDK's User-Agent is made once, at its first
// request, from the model, the system version and the Info dictionary: set those before.

QOR_EXPORT platform::DeviceProfile currentDeviceProfile();
QOR_EXPORT void setDeviceProfile(platform::DeviceProfile profile);
// Runs `change` on the calling thread on a copy of the profile in force, which then replaces the
// profile (not when `change` throws). `change` may read device facts.
QOR_EXPORT void updateDeviceProfile(const std::function<void(platform::DeviceProfile&)>& change);
// Back to this machine's facts.
QOR_EXPORT void resetDeviceProfile();

// MARK: Console

// Receives every line the SDK prints, in place of standard output: its log lines ("[QORSDK] ..."),
// the anonymous id it uses before an auction, the analytics upload results and the few other
// lines it prints. Each call carries one whole line exactly as it would reach standard output,
// its line feed included (an analytics log entry, the one exception, spans a few lines in one
// call); text a remote party sent is escaped in it, so it never holds a line of its own or a
// terminal control. The writer runs on the thread that prints the line, any of the SDK's
// threads, and never under a lock of the SDK's, so it may be called from several threads at
// once: a writer that appends each line with one write, or takes a lock of its own, keeps lines
// whole. Set it before QOR::start to get the start-up lines too. An empty function restores
// standard output. When this returns, calls of the replaced writer already under way have ended
// and it is called no more (unless this is called from inside it). An exception thrown by the
// writer is dropped with its line.
QOR_EXPORT void setConsoleWriter(std::function<void(std::string_view line)> writer);

}  // namespace qor::host
