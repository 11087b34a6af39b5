#pragma once

#include <optional>
#include <string>

#include <QORUniversalSDK/Platform/Support/Export.h>
#include <QORUniversalSDK/Platform/UIKit/UIColor.h>
#include <QORUniversalSDK/Platform/UIKit/UIView.h>

namespace qor::platform {

enum class NSTextAlignment { left = 0, center = 1, right = 2, justified = 3, natural = 4 };

// A font by its size; every font here is the system font.
struct UIFont {
    double pointSize = 17;
    static UIFont systemFont(double size) { return UIFont{size}; }
    friend bool operator==(const UIFont&, const UIFont&) = default;
};

// Text in a view. Takes no touches by default. Main thread only.
class QOR_EXPORT UILabel : public UIView {
public:
    explicit UILabel(CGRect frame = {}) : UIView(frame) { setUserInteractionEnabled(false); }

    const std::optional<std::string>& text() const { return text_; }
    void setText(std::optional<std::string> text) { text_ = std::move(text); }
    NSTextAlignment textAlignment() const { return alignment_; }
    void setTextAlignment(NSTextAlignment alignment) { alignment_ = alignment; }
    UIFont font() const { return font_; }
    void setFont(UIFont font) { font_ = font; }
    // 0: as many lines as the text needs.
    int numberOfLines() const { return numberOfLines_; }
    void setNumberOfLines(int lines) { numberOfLines_ = lines; }
    std::optional<UIColor> textColor() const { return textColor_; }
    void setTextColor(std::optional<UIColor> color) { textColor_ = color; }

private:
    std::optional<std::string> text_;
    NSTextAlignment alignment_ = NSTextAlignment::natural;
    UIFont font_;
    int numberOfLines_ = 1;
    std::optional<UIColor> textColor_;
};

}  // namespace qor::platform
