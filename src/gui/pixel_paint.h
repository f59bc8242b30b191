#pragma once

#include <QColor>
#include <QPainter>
#include <QPoint>
#include <QRect>

namespace plotvane::qtui {

// Lines of whole pixels, filled rather than stroked: a pen one pixel wide
// strokes along the pixel's edge, so at two device pixels per pixel its
// line falls half a pixel up and to the left, off the rectangle it edges.

// The pixels from `a` to `b`, both included, on one row or one column.
inline void pixelLine(QPainter& p, QPoint a, QPoint b, const QColor& colour) {
    p.fillRect(QRect(a, b).normalized(), colour);
}

// The outermost pixels of `r`.
inline void pixelFrame(QPainter& p, const QRect& r, const QColor& colour) {
    pixelLine(p, r.topLeft(), r.topRight(), colour);
    pixelLine(p, r.bottomLeft(), r.bottomRight(), colour);
    pixelLine(p, r.topLeft(), r.bottomLeft(), colour);
    pixelLine(p, r.topRight(), r.bottomRight(), colour);
}

}  // namespace plotvane::qtui
