#pragma once

namespace plotvane::app {

// A rectangle of client pixels; left and top inclusive, right and bottom
// exclusive.
struct PixelRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool operator==(const PixelRect&) const = default;
};

}  // namespace plotvane::app
