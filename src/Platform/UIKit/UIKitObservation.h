#pragma once

#include <memory>

#include "Platform/Foundation/URL.h"
#include "Platform/Support/ObserverHook.h"
#include "Platform/UIKit/UIView.h"

namespace qor::platform {

class UIViewController;

// What UIView::animate was asked for.
struct UIViewAnimationRecord {
    double duration = 0;
    double delay = 0;
    UIViewAnimationOptions options = 0;
};

// One step in the life of view controllers.
struct UIViewControllerEvent {
    enum class Kind { viewDidLoad, present, dismiss };
    Kind kind;
    // The controller whose view loaded, or that was presented or dismissed.
    std::weak_ptr<UIViewController> controller;
    // For present and dismiss: the controller it was presented from.
    std::weak_ptr<UIViewController> presenter;
    bool animated = false;
};

// The UI stand-ins' events, for whoever watches them (see ObserverHook).
namespace observation {

// Every UIView::animate call, on the calling thread, before its blocks run (an outer call
// before those it starts).
extern ObserverHook<UIViewAnimationRecord> animations;
// Every viewDidLoad, presentation and dismissal, on the main thread, in order.
extern ObserverHook<UIViewControllerEvent> controllerEvents;
// Every URL UIApplication::openURL accepts, on the calling thread, before the host's opener
// gets it.
extern ObserverHook<URL> openedURLs;

}  // namespace observation

}  // namespace qor::platform
