#pragma once

#include <cstddef>
#include <vector>

#include "Platform/Foundation/URL.h"
#include "Platform/UIKit/UIKitObservation.h"
#include "Platform/WebKit/WKWebView.h"

// What the tests read about the platform layer's headless UI, which the library itself does not
// keep: recorders that watch the layer's observer hooks from the start of every program that
// links this file, each keeping the latest events only, oldest first. Any thread may read them.
namespace qor::testing {

// How many events of each kind a recorder keeps, and pages per web view.
inline constexpr std::size_t platformRecordLimit = 1000;
inline constexpr std::size_t pagesKeptPerWebView = 16;

std::vector<platform::UIViewAnimationRecord> recordedAnimations();
void clearRecordedAnimations();

std::vector<platform::UIViewControllerEvent> recordedControllerEvents();
void clearRecordedControllerEvents();

// Every URL the shared application accepted to open.
std::vector<platform::URL> openedURLs();
void clearOpenedURLs();

// The pages the view was asked to load (its current page last), while the view lives.
std::vector<platform::WKWebView::HTMLLoad> loadedHTML(const platform::WKWebView& view);

}  // namespace qor::testing
