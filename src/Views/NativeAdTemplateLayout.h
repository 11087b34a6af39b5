#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "Platform/Foundation/Bundle.h"
#include "Platform/UIKit/CGGeometry.h"
#include "Views/NativeAdView.h"

namespace qor {

// A native ad template as the framework ships it: a text file "<name>.layout" in the resource
// bundle that names one native ad view and the sub-views connected to its outlets, in place of
// an interface-builder file. One entry a line; blank lines and lines starting with "#" are
// skipped:
//
//   contentView NativeAdView 0 0 320 300      the content view and its frame (first entry)
//   title UILabel 12 8 296 20                 an outlet, the kind of its view, the view's frame
//
// A frame is x, y, width and height in points, locale-free decimals. Image outlets take
// UIImageView, the others UILabel; each outlet appears at most once, in the order it is
// connected.
struct NativeAdTemplateLayout {
    struct Outlet {
        std::string name;
        std::string kind;
        platform::CGRect frame;
    };

    platform::CGRect contentFrame;
    std::vector<Outlet> outlets;

    // Throws std::invalid_argument naming the line and what is wrong with it.
    static NativeAdTemplateLayout parse(std::string_view text);

    // A new native ad view with its outlets connected, as the layout describes it.
    std::shared_ptr<NativeAdView> instantiate() const;
};

// Reads "<name>.layout" from the resource bundle and instantiates it. A template the bundle
// lacks or that does not parse is a broken installation: the process stops, naming it.
std::shared_ptr<NativeAdView> loadNativeAdTemplate(const platform::Bundle& resourceBundle, std::string_view name);

}  // namespace qor
