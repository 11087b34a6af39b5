#include "Views/NativeAdTemplateLayout.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "Platform/Foundation/NumberFormatter.h"
#include "Platform/Support/FatalError.h"
#include "Platform/UIKit/UIImageView.h"
#include "Platform/UIKit/UILabel.h"

namespace qor {

namespace {

constexpr std::string_view imageKind = "UIImageView";
constexpr std::string_view labelKind = "UILabel";

std::vector<std::string> words(std::string_view line) {
    std::istringstream stream{std::string(line)};
    std::vector<std::string> result;
    for (std::string word; stream >> word;) result.push_back(word);
    return result;
}

[[noreturn]] void reject(std::size_t lineNumber, const std::string& reason) {
    throw std::invalid_argument("line " + std::to_string(lineNumber) + ": " + reason);
}

platform::CGRect frameOf(const std::vector<std::string>& entry, std::size_t lineNumber) {
    const platform::NumberFormatter reader;
    double values[4];
    for (std::size_t i = 0; i < 4; ++i) {
        const auto number = reader.number(entry[2 + i]);
        if (!number) reject(lineNumber, "\"" + entry[2 + i] + "\" is not a number");
        values[i] = *number;
    }
    if (values[2] < 0 || values[3] < 0) reject(lineNumber, "a negative size");
    return platform::CGRect{platform::CGPoint{values[0], values[1]}, platform::CGSize{values[2], values[3]}};
}

std::string_view kindOfOutlet(std::string_view name) {
    return name == "iconImage" || name == "mainImage" ? imageKind : labelKind;
}

std::shared_ptr<platform::UIView> makeView(std::string_view kind, platform::CGRect frame) {
    if (kind == imageKind) {
        auto view = std::make_shared<platform::UIImageView>();
        view->setFrame(frame);
        return view;
    }
    return std::make_shared<platform::UILabel>(frame);
}

}  // namespace

NativeAdTemplateLayout NativeAdTemplateLayout::parse(std::string_view text) {
    NativeAdTemplateLayout layout;
    bool haveContent = false;
    std::size_t lineNumber = 0;
    std::istringstream lines{std::string(text)};
    for (std::string line; std::getline(lines, line);) {
        ++lineNumber;
        const auto entry = words(line);
        if (entry.empty() || entry.front().starts_with("#")) continue;
        if (entry.size() != 6) reject(lineNumber, "expected a name, a kind and four numbers");
        const auto frame = frameOf(entry, lineNumber);
        if (!haveContent) {
            if (entry[0] != "contentView" || entry[1] != "NativeAdView") {
                reject(lineNumber, "the first entry must be \"contentView NativeAdView\"");
            }
            layout.contentFrame = frame;
            haveContent = true;
            continue;
        }
        const auto& names = NativeAdView::outletNames();
        if (std::find(names.begin(), names.end(), entry[0]) == names.end()) {
            reject(lineNumber, "no outlet \"" + entry[0] + "\"");
        }
        if (entry[1] != kindOfOutlet(entry[0])) {
            reject(lineNumber, "outlet \"" + entry[0] + "\" takes a " + std::string(kindOfOutlet(entry[0])));
        }
        const auto repeated = std::any_of(layout.outlets.begin(), layout.outlets.end(),
                                          [&](const Outlet& outlet) { return outlet.name == entry[0]; });
        if (repeated) reject(lineNumber, "outlet \"" + entry[0] + "\" appears twice");
        layout.outlets.push_back(Outlet{entry[0], entry[1], frame});
    }
    if (!haveContent) throw std::invalid_argument("no \"contentView NativeAdView\" entry");
    return layout;
}

std::shared_ptr<NativeAdView> NativeAdTemplateLayout::instantiate() const {
    auto view = NativeAdView::make(contentFrame);
    for (const auto& outlet : outlets) view->connectOutlet(outlet.name, makeView(outlet.kind, outlet.frame));
    return view;
}

std::shared_ptr<NativeAdView> loadNativeAdTemplate(const platform::Bundle& resourceBundle, std::string_view name) {
    const auto path = resourceBundle.urlForResource(name, "layout");
    std::ifstream file;
    if (path) file.open(*path, std::ios::binary);
    if (!path || !file) platform::fatalError("Could not load the native ad template \"" + std::string(name) + "\"");
    std::ostringstream text;
    text << file.rdbuf();
    try {
        return NativeAdTemplateLayout::parse(text.str()).instantiate();
    } catch (const std::invalid_argument& failure) {
        platform::fatalError("The native ad template \"" + std::string(name) + "\" is unreadable: " + failure.what());
    }
}

}  // namespace qor
