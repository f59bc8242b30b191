#pragma once

#include <QImage>

#include "app/preview.h"

class QPainter;

namespace plotvane::qtui {

// MarkerIcons: 100 x 100 pixels of 10 x 10 cells, cell n at column
// (n mod 10) x 10, row (n div 10) x 10, showing the number n.
const QImage& markerIcons();

// Cell `number` of MarkerIcons for a screen of `ratio` device pixels per
// pixel: the cell of the picture above at 1, and above that the same cell
// drawn at device resolution (its border as wide, its number in a font),
// with that device pixel ratio set.
QImage markerCell(int number, qreal ratio);

// The 20 x 20 ClassIndicator (0 blank) and the 48 x 20 ColourIndicator,
// drawn at `ratio` device pixels per pixel with that ratio set.
QImage classIndicator(int digit, qreal ratio = 1);
QImage colourIndicator(const QString& caption, qreal ratio = 1);

// The 12 x 12 masks of the CentreMarker: first OR-ed onto the map (white on
// the bracket pixels, black elsewhere), then AND-ed (green on the bracket
// pixels, white elsewhere), so the brackets turn pure green and the map
// shows through everywhere else.
QImage centreMarkerOrMask();
QImage centreMarkerAndMask();

// Draws `preview` in client coordinates. Every map picture is copied pixel
// for pixel; on a screen of several device pixels per pixel each of its
// pixels becomes a block, never smoothed, while the indicators and marker
// numbers are drawn at the screen's own resolution.
void paintPreview(QPainter& painter, const app::PreviewDescription& preview, const QImage& icon);

}  // namespace plotvane::qtui
