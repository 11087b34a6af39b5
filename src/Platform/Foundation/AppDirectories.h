#pragma once

#include <filesystem>

namespace qor::platform {

// The app's own data folder, where its documents and its defaults files live:
// $QOR_APP_HOME when set (tests point it at a fresh temporary folder), else
// $XDG_DATA_HOME/<app>, else ~/.local/share/<app>, where <app> is the main bundle's identifier,
// or the executable's file name when the bundle has none. Read anew at every call, never cached.
// The folder is not created here.
std::filesystem::path applicationHomeDirectory();

// <app home>/Documents: the user-domain documents directory.
std::filesystem::path documentsDirectory();

// <app home>/Preferences: one file per UserDefaults suite.
std::filesystem::path preferencesDirectory();

}  // namespace qor::platform
