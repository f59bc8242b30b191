#pragma once

#include <QImage>

#include "app/preview.h"

class QPainter;

namespace plotvane::qtui {

// MarkerIcons: 100 x 100 pixels of 10 x 10 cells, cell n at column
// (n mod 10) x 10, row (n div 10) x 10, showing the number n.
const QImage& markerIcons();

// The 20 x 20 ClassIndicator (0 blank) and the 48 x 20 ColourIndicator.
QImage classIndicator(int digit);
QImage colourIndicator(const QString& caption);

// The 12 x 12 masks of the CentreMarker: first OR-ed onto the map (white on
// the bracket pixels, black elsewhere), then AND-ed (green on the bracket
// pixels, white elsewhere), so the brackets turn pure green and the map
// shows through everywhere else.
QImage centreMarkerOrMask();
QImage centreMarkerAndMask();

// Draws `preview` in client coordinates. Every picture is copied pixel for
// pixel; on a screen of several device pixels per pixel each pixel becomes
// a block, never smoothed.
void paintPreview(QPainter& painter, const app::PreviewDescription& preview, const QImage& icon);

}  // namespace plotvane::qtui
