#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <QORUniversalSDK/Platform/Support/ConstructionKey.h>
#include <QORUniversalSDK/Platform/Support/Export.h>
#include <QORUniversalSDK/Platform/UIKit/UIView.h>
#include <QORUniversalSDK/Views/NativeAdView.h>

namespace qor {

// A ready-made native ad layout: loads one of the framework's templates from its resource
// bundle ("QORSDK.bundle") and shows the template's native ad view as its only subview,
// reachable as contentView, through which the app loads the ad and hears its events. The
// content view follows the template view's width, not its height.
//
// A UI object: main thread only. A missing or unreadable resource bundle or template stops the
// process.
class QOR_EXPORT NativeAdTemplateView : public platform::UIView {
public:
    // `default_`: "default" is a reserved word here.
    enum class TemplateType { default_, medium, article };

    // Made with the medium template.
    static std::shared_ptr<NativeAdTemplateView> make(platform::CGRect frame = {});
    // Keeps the name; a name that is a template's raw value ("Default", "Medium", "Article")
    // chooses that template, any other keeps the medium one.
    static std::shared_ptr<NativeAdTemplateView> make(platform::CGRect frame, std::string templateName);
    NativeAdTemplateView(platform::ConstructionKey<NativeAdTemplateView>, platform::CGRect frame) : UIView(frame) {}

    // The loaded template's native ad view; nothing once it has left this view.
    std::shared_ptr<NativeAdView> contentView() const { return contentView_.lock(); }
    void setContentView(const std::shared_ptr<NativeAdView>& view) { contentView_ = view; }
    TemplateType templateType() const { return template_; }
    const std::string& templateName() const { return templateName_; }

    // Replaces the content view with a fresh one from the template (no ad, no delegate).
    void loadTemplate();
    // The tap action of the content view's second recogniser.
    void onClicked();
    // Loads the template again and prepares the new content view.
    void prepareForInterfaceBuilder() override;

private:
    std::weak_ptr<NativeAdView> contentView_;
    TemplateType template_ = TemplateType::medium;
    std::string templateName_;
};

// "Default", "Medium" or "Article".
QOR_EXPORT std::string_view rawValue(NativeAdTemplateView::TemplateType type);
// Exact and case-sensitive; nothing for any other text.
QOR_EXPORT std::optional<NativeAdTemplateView::TemplateType> templateTypeFromRawValue(std::string_view raw);
// The template's layout name in the resource bundle: "NativeAdTemplate" and the raw value.
QOR_EXPORT std::string templateLayoutName(NativeAdTemplateView::TemplateType type);

}  // namespace qor
