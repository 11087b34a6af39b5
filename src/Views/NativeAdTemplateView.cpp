#include "Views/NativeAdTemplateView.h"

#include "Core/PlatformFacts.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Support/Console.h"
#include "Platform/UIKit/UITapGestureRecognizer.h"
#include "Views/NativeAdTemplateLayout.h"

namespace qor {

std::string_view rawValue(NativeAdTemplateView::TemplateType type) {
    switch (type) {
        case NativeAdTemplateView::TemplateType::default_:
            return "Default";
        case NativeAdTemplateView::TemplateType::medium:
            return "Medium";
        case NativeAdTemplateView::TemplateType::article:
            return "Article";
    }
    return {};
}

std::optional<NativeAdTemplateView::TemplateType> templateTypeFromRawValue(std::string_view raw) {
    using Type = NativeAdTemplateView::TemplateType;
    for (const Type type : {Type::default_, Type::medium, Type::article}) {
        if (rawValue(type) == raw) return type;
    }
    return std::nullopt;
}

std::string templateLayoutName(NativeAdTemplateView::TemplateType type) {
    return "NativeAdTemplate" + std::string(rawValue(type));
}

std::shared_ptr<NativeAdTemplateView> NativeAdTemplateView::make(platform::CGRect frame) {
    auto view = std::make_shared<NativeAdTemplateView>(platform::ConstructionKey<NativeAdTemplateView>{}, frame);
    view->loadTemplate();
    return view;
}

std::shared_ptr<NativeAdTemplateView> NativeAdTemplateView::make(platform::CGRect frame, std::string templateName) {
    auto view = std::make_shared<NativeAdTemplateView>(platform::ConstructionKey<NativeAdTemplateView>{}, frame);
    view->template_ = templateTypeFromRawValue(templateName).value_or(TemplateType::medium);
    view->templateName_ = std::move(templateName);
    view->loadTemplate();
    return view;
}

void NativeAdTemplateView::loadTemplate() {
    if (const auto old = contentView()) {
        old->removeFromSuperview();
        contentView_.reset();
    }
    const auto resources = sdkResourceBundle(*platform::Bundle::frameworkBundle());
    const auto content = loadNativeAdTemplate(*resources, templateLayoutName(template_));
    contentView_ = content;
    content->setAutoresizingMask(platform::UIViewAutoresizing::flexibleWidth);
    content->setUserInteractionEnabled(true);
    auto self = std::static_pointer_cast<NativeAdTemplateView>(shared_from_this());
    content->addGestureRecognizer(
        std::make_shared<platform::UITapGestureRecognizer>(self, &NativeAdTemplateView::onClicked));
    addSubview(content);
}

void NativeAdTemplateView::onClicked() { platform::writeConsoleLine("Tets\n"); }

void NativeAdTemplateView::prepareForInterfaceBuilder() {
    UIView::prepareForInterfaceBuilder();
    loadTemplate();
    if (const auto content = contentView()) content->prepareForInterfaceBuilder();
}

}  // namespace qor
