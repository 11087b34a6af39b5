#include "testing/UIProbes.h"

#include <algorithm>
#include <deque>
#include <memory>
#include <mutex>

#include "Platform/WebKit/WebKitObservation.h"

namespace qor::testing {

namespace {

using platform::WKWebView;

// The latest `limit` records, under a lock: events come from any thread.
template <class Record>
class BoundedRecorder {
public:
    void append(const Record& record) {
        std::lock_guard lock(mutex_);
        records_.push_back(record);
        if (records_.size() > platformRecordLimit) records_.pop_front();
    }
    std::vector<Record> all() const {
        std::lock_guard lock(mutex_);
        return {records_.begin(), records_.end()};
    }
    void clear() {
        std::lock_guard lock(mutex_);
        records_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::deque<Record> records_;
};

// Pages per web view, known by the view's owner (an address alone could be reused by a later
// view); a view's pages go when the view has gone.
class PageRecorder {
public:
    void append(const WKWebView& view, const WKWebView::HTMLLoad& load) {
        const auto key = view.weak_from_this();
        std::lock_guard lock(mutex_);
        std::erase_if(views_, [](const ViewPages& entry) { return entry.view.expired(); });
        auto found = find(views_, key);
        if (found == views_.end()) {
            if (views_.size() >= platformRecordLimit) views_.pop_front();
            found = views_.insert(views_.end(), ViewPages{key, {}});
        }
        found->pages.push_back(load);
        if (found->pages.size() > pagesKeptPerWebView) found->pages.pop_front();
    }
    std::vector<WKWebView::HTMLLoad> pages(const WKWebView& view) const {
        std::lock_guard lock(mutex_);
        const auto found = find(views_, view.weak_from_this());
        if (found == views_.end()) return {};
        return {found->pages.begin(), found->pages.end()};
    }

private:
    struct ViewPages {
        std::weak_ptr<const platform::UIView> view;
        std::deque<WKWebView::HTMLLoad> pages;
    };

    template <class Views>
    static auto find(Views& views, const std::weak_ptr<const platform::UIView>& key) -> decltype(views.begin()) {
        return std::find_if(views.begin(), views.end(), [&key](const ViewPages& entry) {
            return !entry.view.owner_before(key) && !key.owner_before(entry.view);
        });
    }

    mutable std::mutex mutex_;
    std::deque<ViewPages> views_;
};

// Never destroyed: detached workers may still report while the process exits.
auto* const animations = new BoundedRecorder<platform::UIViewAnimationRecord>;
auto* const controllerEvents = new BoundedRecorder<platform::UIViewControllerEvent>;
auto* const urls = new BoundedRecorder<platform::URL>;
auto* const pages = new PageRecorder;

[[maybe_unused]] const bool installed = [] {
    platform::observation::animations.install([](const auto& record) { animations->append(record); });
    platform::observation::controllerEvents.install([](const auto& event) { controllerEvents->append(event); });
    platform::observation::openedURLs.install([](const auto& url) { urls->append(url); });
    platform::observation::pageLoads.install(
        [](const WKWebView& view, const WKWebView::HTMLLoad& load) { pages->append(view, load); });
    return true;
}();

}  // namespace

std::vector<platform::UIViewAnimationRecord> recordedAnimations() { return animations->all(); }
void clearRecordedAnimations() { animations->clear(); }

std::vector<platform::UIViewControllerEvent> recordedControllerEvents() { return controllerEvents->all(); }
void clearRecordedControllerEvents() { controllerEvents->clear(); }

std::vector<platform::URL> openedURLs() { return urls->all(); }
void clearOpenedURLs() { urls->clear(); }

std::vector<WKWebView::HTMLLoad> loadedHTML(const WKWebView& view) { return pages->pages(view); }

}  // namespace qor::testing
