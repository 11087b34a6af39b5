#pragma once

#include <QORUniversalSDK/Platform/Foundation/Any.h>

namespace qor::platform {

// Keys of the launch options (the user info of the did-finish-launching notification).
namespace UIApplicationLaunchOptionsKey {
inline constexpr const char* url = "UIApplicationLaunchOptionsURLKey";
inline constexpr const char* sourceApplication = "UIApplicationLaunchOptionsSourceApplicationKey";
}  // namespace UIApplicationLaunchOptionsKey

using UIApplicationLaunchOptions = AnyDictionary;

enum class UIApplicationState { active = 0, inactive = 1, background = 2 };
enum class UIBackgroundRefreshStatus { restricted = 0, denied = 1, available = 2 };

}  // namespace qor::platform
