#pragma once

namespace qor::platform {

struct CGPoint {
    double x = 0;
    double y = 0;
    friend bool operator==(const CGPoint&, const CGPoint&) = default;
};

struct CGSize {
    double width = 0;
    double height = 0;
    friend bool operator==(const CGSize&, const CGSize&) = default;
};

struct CGRect {
    CGPoint origin;
    CGSize size;
    double width() const { return size.width; }
    double height() const { return size.height; }
    friend bool operator==(const CGRect&, const CGRect&) = default;
};

}  // namespace qor::platform
