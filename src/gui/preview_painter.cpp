#include "gui/preview_painter.h"

#include <algorithm>

#include <QPainter>

#include "gui/dialog_builder.h"
#include "gui/pixel_paint.h"

namespace plotvane::qtui {

namespace {

// Digits of 3 x 5 pixels, one row a byte of three bits (left bit first), so
// every number up to 99 fits a 10 x 10 cell inside its border.
constexpr unsigned char kDigits[10][5] = {
    {7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 7, 1, 7}, {5, 5, 7, 1, 1},
    {7, 4, 7, 1, 7}, {7, 4, 7, 5, 7}, {7, 1, 1, 2, 2}, {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7},
};

constexpr QRgb kMarkerBorder = 0xFFC00000;
constexpr QRgb kMarkerFill = 0xFFFFFFE0;
constexpr QRgb kMarkerInk = 0xFF000000;

void drawDigit(QImage& image, int digit, int x, int y) {
    for (int row = 0; row < 5; ++row)
        for (int col = 0; col < 3; ++col)
            if (kDigits[digit][row] & (4 >> col)) image.setPixel(x + col, y + row, kMarkerInk);
}

QImage buildMarkerIcons() {
    QImage image(100, 100, QImage::Format_RGB32);
    for (int n = 0; n < 100; ++n) {
        const int x0 = n % 10 * 10;
        const int y0 = n / 10 * 10;
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 10; ++x) {
                const bool border = x == 0 || y == 0 || x == 9 || y == 9;
                image.setPixel(x0 + x, y0 + y, border ? kMarkerBorder : kMarkerFill);
            }
        if (n < 10) {
            drawDigit(image, n, x0 + 4, y0 + 3);
        } else {
            drawDigit(image, n / 10, x0 + 1, y0 + 3);
            drawDigit(image, n % 10, x0 + 6, y0 + 3);
        }
    }
    return image;
}

// Bracket pixels of the 12 x 12 square: at each corner the first 4 pixels
// of the two edges that meet there.
bool isBracketPixel(int x, int y) {
    const bool edgeX = x == 0 || x == 11;
    const bool edgeY = y == 0 || y == 11;
    const bool nearX = x < 4 || x > 7;
    const bool nearY = y < 4 || y > 7;
    return (edgeY && nearX) || (edgeX && nearY);
}

QImage mask(QRgb bracket, QRgb elsewhere) {
    QImage image(12, 12, QImage::Format_RGB32);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 12; ++x) image.setPixel(x, y, isBracketPixel(x, y) ? bracket : elsewhere);
    return image;
}

// An image of `width` x `height` pixels at `ratio` device pixels per pixel.
QImage deviceImage(int width, int height, qreal ratio) {
    QImage image(qRound(width * ratio), qRound(height * ratio), QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    return image;
}

QImage indicator(int width, const QString& text, int pixelSize, bool bold, qreal ratio) {
    QImage image = deviceImage(width, 20, ratio);
    image.fill(0xFFFFFFFF);
    QPainter p(&image);
    pixelFrame(p, QRect(0, 0, width, 20), QColor(0x40, 0x40, 0x40));
    QFont font = dialogFont();
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setStyleStrategy(QFont::NoAntialias);
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(QRect(0, 0, width, 20), Qt::AlignCenter, text);
    return image;
}

QRect toQRect(const app::PixelRect& r) { return QRect(r.left, r.top, r.width(), r.height()); }

QImage pictureImage(const app::PreviewPicture& picture) {
    const int w = picture.source.width();
    const int h = picture.source.height();
    if (w <= 0 || h <= 0 || picture.pixels.size() < static_cast<std::size_t>(w) * static_cast<std::size_t>(h))
        return {};
    QImage image(w, h, QImage::Format_RGB32);
    const std::uint32_t* from = picture.pixels.data();
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x) line[x] = 0xFF000000u | (*from++ & 0xFFFFFFu);
    }
    return image;
}

}  // namespace

const QImage& markerIcons() {
    static const QImage icons = buildMarkerIcons();
    return icons;
}

QImage markerCell(int number, qreal ratio) {
    const int n = std::clamp(number, 0, 99);
    if (ratio <= 1) return markerIcons().copy(n % 10 * 10, n / 10 * 10, 10, 10);
    QImage cell = deviceImage(10, 10, ratio);
    cell.fill(kMarkerBorder);
    QPainter p(&cell);
    p.fillRect(QRectF(1, 1, 8, 8), QColor::fromRgb(kMarkerFill));
    QFont font = dialogFont();
    font.setPixelSize(6);
    font.setStyleStrategy(QFont::NoAntialias);
    p.setFont(font);
    p.setPen(QColor::fromRgb(kMarkerInk));
    p.drawText(QRectF(1, 1, 8, 8), Qt::AlignCenter, QString::number(n));
    return cell;
}

QImage classIndicator(int digit, qreal ratio) {
    return indicator(20, digit == 0 ? QString() : QString::number(digit), 14, true, ratio);
}

QImage colourIndicator(const QString& caption, qreal ratio) { return indicator(48, caption, 10, false, ratio); }

QImage centreMarkerOrMask() { return mask(0xFFFFFFFF, 0xFF000000); }

QImage centreMarkerAndMask() { return mask(0xFF00FF00, 0xFFFFFFFF); }

void paintPreview(QPainter& p, const app::PreviewDescription& preview, const QImage& icon) {
    p.save();
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    if (preview.iconOnly) {
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        p.drawImage(preview.iconX, preview.iconY, icon);
        p.restore();
        return;
    }
    const qreal ratio = p.device() != nullptr ? p.device()->devicePixelRatioF() : 1.0;
    p.drawImage(app::kClassIndicatorRect.left, app::kClassIndicatorRect.top, classIndicator(preview.classDigit, ratio));
    p.drawImage(app::kColourIndicatorRect.left, app::kColourIndicatorRect.top,
                colourIndicator(toQString(preview.colourCaption), ratio));
    p.fillRect(toQRect(app::kPreviewFrameRect), QColor::fromRgb(app::kFrameGrey));

    // Only the part of the picture inside the PreviewArea is drawn.
    p.setClipRect(toQRect(app::kPreviewAreaRect));
    if (preview.picture) {
        const QImage image = pictureImage(*preview.picture);
        if (!image.isNull()) p.drawImage(preview.picture->destX, preview.picture->destY, image);
    }
    for (const app::PreviewMarker& marker : preview.markers) {
        if (marker.number < 0 || marker.number > 99) continue;
        QImage cell = markerCell(marker.number, ratio);
        if (marker.inverted) cell.invertPixels();
        p.drawImage(marker.x, marker.y, cell);
    }
    if (preview.centreMarker) {
        const QPoint at(app::kCentreMarkerRect.left, app::kCentreMarkerRect.top);
        p.setCompositionMode(QPainter::RasterOp_SourceOrDestination);
        p.drawImage(at, centreMarkerOrMask());
        p.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
        p.drawImage(at, centreMarkerAndMask());
    }
    p.restore();
}

}  // namespace plotvane::qtui
