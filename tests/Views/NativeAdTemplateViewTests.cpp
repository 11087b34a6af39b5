#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "Core/PlatformFacts.h"
#include "Views/NativeAdTemplateLayout.h"
#include "Views/NativeAdTemplateView.h"
#include "testing/TempDirectory.h"

namespace qor {
namespace {

using Type = NativeAdTemplateView::TemplateType;

NativeAdTemplateLayout shippedLayout(Type type) {
    const auto bundle = sdkResourceBundle(*platform::Bundle::frameworkBundle());
    std::ifstream file(*bundle->urlForResource(templateLayoutName(type), "layout"));
    std::ostringstream text;
    text << file.rdbuf();
    return NativeAdTemplateLayout::parse(text.str());
}

// The view connected to the outlet of that name.
std::shared_ptr<platform::UIView> outletView(const NativeAdView& view, const std::string& name) {
    using Label = std::shared_ptr<platform::UILabel> (NativeAdView::*)() const;
    const std::vector<std::pair<std::string, Label>> labels = {
        {"title", &NativeAdView::title},
        {"desc", &NativeAdView::desc},
        {"ctaDescription", &NativeAdView::ctaDescription},
        {"sponsored", &NativeAdView::sponsored},
        {"rating", &NativeAdView::rating},
        {"likes", &NativeAdView::likes},
        {"downloads", &NativeAdView::downloads},
        {"price", &NativeAdView::price},
        {"salePrice", &NativeAdView::salePrice},
        {"phone", &NativeAdView::phone},
        {"address", &NativeAdView::address},
        {"additionalDesc", &NativeAdView::additionalDesc},
        {"displayUrl", &NativeAdView::displayUrl},
    };
    if (name == "mainImage") return view.mainImage();
    if (name == "iconImage") return view.iconImage();
    for (const auto& [label, getter] : labels) {
        if (label == name) return (view.*getter)();
    }
    return nullptr;
}

TEST(NativeAdTemplateView, EachTemplateLoadsOneContentViewWithItsOutletsWhoseWidthFollowsTheTemplates) {
    for (const auto type : {Type::default_, Type::medium, Type::article}) {
        SCOPED_TRACE(std::string(rawValue(type)));
        const auto layout = shippedLayout(type);
        EXPECT_GE(layout.outlets.size(), 4U);
        const auto view = NativeAdTemplateView::make({{0, 0}, {400, 500}}, std::string(rawValue(type)));
        EXPECT_EQ(view->templateType(), type);
        ASSERT_EQ(view->subviews().size(), 1U);
        const auto content = view->contentView();
        ASSERT_EQ(view->subviews()[0], content);
        EXPECT_EQ(content->frame().size.width, layout.contentFrame.size.width);
        ASSERT_EQ(content->subviews().size(), layout.outlets.size());
        for (std::size_t i = 0; i < layout.outlets.size(); ++i) {
            const auto& outlet = layout.outlets[i];
            EXPECT_EQ(outletView(*content, outlet.name), content->subviews()[i]) << outlet.name;
            EXPECT_EQ(content->subviews()[i]->frame().size.width, outlet.frame.size.width) << outlet.name;
        }
        const auto height = content->frame().size.height;
        view->setFrame({{0, 0}, {500, 900}});
        EXPECT_EQ(content->frame().size.width, layout.contentFrame.size.width + 100);
        EXPECT_EQ(content->frame().size.height, height);
    }
    // Without a known name the template is the medium one; the name is kept either way.
    EXPECT_EQ(NativeAdTemplateView::make({}, "medium")->templateType(), Type::medium);
    EXPECT_EQ(NativeAdTemplateView::make({}, "medium")->templateName(), "medium");
    EXPECT_EQ(NativeAdTemplateView::make()->templateType(), Type::medium);
}

TEST(NativeAdTemplateView, ReloadingReplacesTheContentViewAndTapsLandOnlyOnIt) {
    const auto view = NativeAdTemplateView::make({{0, 0}, {320, 600}});
    const auto first = view->contentView();
    view->prepareForInterfaceBuilder();
    ASSERT_EQ(view->subviews().size(), 1U);
    EXPECT_NE(view->contentView(), first);
    EXPECT_EQ(first->superview(), nullptr);
    // The native ad view's recogniser, the template's and the one prepareForInterfaceBuilder adds.
    EXPECT_EQ(view->contentView()->gestureRecognizers().size(), 3U);
    EXPECT_FALSE(view->tap());  // outside the content view: no recogniser of its own
    ::testing::internal::CaptureStdout();
    EXPECT_TRUE(view->contentView()->tap());
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Tets\n");
}

TEST(NativeAdTemplateView, RawValuesAreExact) {
    EXPECT_EQ(templateTypeFromRawValue("Medium"), Type::medium);
    EXPECT_EQ(templateTypeFromRawValue("Default"), Type::default_);
    EXPECT_EQ(templateTypeFromRawValue("Article"), Type::article);
    for (const auto* text : {"medium", "", "Article "}) EXPECT_FALSE(templateTypeFromRawValue(text)) << text;
    EXPECT_EQ(templateLayoutName(Type::article), "NativeAdTemplateArticle");
}

TEST(NativeAdTemplateLayout, RefusesLayoutsThatWouldNotGiveAConnectedContentView) {
    const std::vector<std::pair<std::string, std::string>> bad = {
        {"", "no \"contentView NativeAdView\" entry"},
        {"# only a comment\n", "no \"contentView NativeAdView\" entry"},
        {"title UILabel 0 0 1 1\n", "line 1: the first entry must be"},
        {"contentView NativeAdView 0 0 10\n", "line 1: expected a name"},
        {"contentView NativeAdView 0 0 1e3 10\n", "line 1: \"1e3\" is not a number"},
        {"contentView NativeAdView 0 0 -1 10\n", "line 1: a negative size"},
        {"contentView NativeAdView 0 0 10 10\n\nsubtitle UILabel 0 0 1 1\n", "line 3: no outlet \"subtitle\""},
        {"contentView NativeAdView 0 0 10 10\nicon UIImageView 0 0 1 1\n", "line 2: no outlet \"icon\""},
        {"contentView NativeAdView 0 0 10 10\nmainImage UILabel 0 0 1 1\n", "takes a UIImageView"},
        {"contentView NativeAdView 0 0 10 10\ntitle UIImageView 0 0 1 1\n", "takes a UILabel"},
        {"contentView NativeAdView 0 0 10 10\ntitle UILabel 0 0 1 1\ntitle UILabel 0 0 1 1\n", "appears twice"},
    };
    for (const auto& [text, reason] : bad) {
        try {
            NativeAdTemplateLayout::parse(text);
            ADD_FAILURE() << "accepted: " << text;
        } catch (const std::invalid_argument& error) {
            EXPECT_NE(std::string(error.what()).find(reason), std::string::npos) << error.what();
        }
    }
    const auto layout = NativeAdTemplateLayout::parse(
        "  contentView   NativeAdView 0 0 10.5 20\r\n"
        "price UILabel 1 2 3 4 \n");
    EXPECT_EQ(layout.contentFrame.size.width, 10.5);
    ASSERT_EQ(layout.outlets.size(), 1U);
    EXPECT_EQ(layout.instantiate()->price()->frame().origin.y, 2);
}

TEST(NativeAdTemplateLayoutDeathTest, AMissingTemplateStopsTheProcessNamingIt) {
    testing::TempDirectory folder("qor-templates");
    const auto bundle = platform::Bundle::make(folder.path());
    EXPECT_DEATH(loadNativeAdTemplate(*bundle, "NativeAdTemplateMedium"),
                 "Could not load the native ad template \"NativeAdTemplateMedium\"");
}

}  // namespace
}  // namespace qor
