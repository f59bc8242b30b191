#include "gui/bitmap_button.h"

#include <cstring>

#include <QPainter>
#include <QPainterPath>
#include <QPolygon>
#include <QStyle>
#include <QStyleOptionFocusRect>

#include "gui/dialog_builder.h"
#include "gui/pixel_paint.h"

namespace plotvane::qtui {

namespace {

using ui::ButtonFace;

const QColor kFaceGrey(0xD4, 0xD0, 0xC8);
const QColor kShadow(0x80, 0x80, 0x80);
const QColor kDarkShadow(0x40, 0x40, 0x40);
const QColor kInk(0x10, 0x10, 0x10);
const QColor kGreyInk(0x90, 0x90, 0x90);

void bevel(QPainter& p, const QRect& r, bool sunken) {
    p.fillRect(r, kFaceGrey);
    const QColor light = sunken ? kDarkShadow : Qt::white;
    const QColor dark = sunken ? Qt::white : kDarkShadow;
    pixelLine(p, r.topLeft(), r.topRight(), light);
    pixelLine(p, r.topLeft(), r.bottomLeft(), light);
    pixelLine(p, r.bottomLeft(), r.bottomRight(), dark);
    pixelLine(p, r.topRight(), r.bottomRight(), dark);
    if (!sunken) {
        pixelLine(p, QPoint(r.left() + 1, r.bottom() - 1), QPoint(r.right() - 1, r.bottom() - 1), kShadow);
        pixelLine(p, QPoint(r.right() - 1, r.top() + 1), QPoint(r.right() - 1, r.bottom() - 1), kShadow);
    }
}

QFont faceFont(int pixels, bool bold) {
    QFont font = dialogFont();
    font.setPixelSize(pixels);
    font.setBold(bold);
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

// Letters of 3 x 5 pixels for the GPS faces, which are too small for any
// font: one row a byte of three bits, left bit first.
struct TinyLetter {
    char letter;
    unsigned char rows[5];
};
constexpr TinyLetter kTinyLetters[] = {
    {'G', {7, 4, 5, 5, 7}}, {'P', {7, 5, 7, 4, 4}}, {'S', {7, 4, 7, 1, 7}},
    {'O', {7, 5, 5, 5, 7}}, {'N', {6, 5, 5, 5, 5}}, {'F', {7, 4, 6, 4, 4}},
};

// Draws `word` centred on x, its top at y, in whole pixels.
void tinyWord(QPainter& p, const char* word, int centreX, int y, const QColor& ink) {
    const int length = static_cast<int>(std::strlen(word));
    int x = centreX - (length * 4 - 1) / 2;
    for (const char* c = word; *c; ++c, x += 4) {
        for (const TinyLetter& t : kTinyLetters) {
            if (t.letter != *c) continue;
            for (int row = 0; row < 5; ++row)
                for (int col = 0; col < 3; ++col)
                    if (t.rows[row] & (4 >> col)) p.fillRect(x + col, y + row, 1, 1, ink);
        }
    }
}

void arrow(QPainter& p, const QRectF& r, ButtonFace face, const QColor& ink) {
    const QPointF c = r.center();
    const qreal s = std::min(r.width(), r.height()) * 0.3;
    QPolygonF tri;
    switch (face) {
    case ButtonFace::Up: tri << QPointF(c.x(), c.y() - s) << QPointF(c.x() - s, c.y() + s * 0.6) << QPointF(c.x() + s, c.y() + s * 0.6); break;
    case ButtonFace::Down: tri << QPointF(c.x(), c.y() + s) << QPointF(c.x() - s, c.y() - s * 0.6) << QPointF(c.x() + s, c.y() - s * 0.6); break;
    case ButtonFace::Left: tri << QPointF(c.x() - s, c.y()) << QPointF(c.x() + s * 0.6, c.y() - s) << QPointF(c.x() + s * 0.6, c.y() + s); break;
    default: tri << QPointF(c.x() + s, c.y()) << QPointF(c.x() - s * 0.6, c.y() - s) << QPointF(c.x() - s * 0.6, c.y() + s); break;
    }
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawPolygon(tri);
}

// The digit of a class button; a disabled one embossed in white.
void classDigit(QPainter& p, const QRect& area, int digit, bool disabled, const QColor& ink) {
    p.setFont(faceFont(area.height() * 2 / 3, true));
    if (disabled) {
        p.setPen(Qt::white);
        p.drawText(area.translated(1, 1), Qt::AlignCenter, QString::number(digit));
    }
    p.setPen(ink);
    p.drawText(area, Qt::AlignCenter, QString::number(digit));
}

// "GPS" over "ON" or "OFF"; the lit lamp (the disabled face) marks the state
// in force.
void gpsLamp(QPainter& p, const QRect& area, bool on, bool disabled) {
    if (disabled) p.fillRect(area.adjusted(1, 1, -1, -1), on ? QColor(0x30, 0xD0, 0x30) : QColor(0xE0, 0x40, 0x30));
    const QColor letters = disabled ? QColor(Qt::black) : QColor(0x50, 0x50, 0x50);
    const int centreX = area.left() + area.width() / 2;
    const int top = area.top() + (area.height() - 12) / 2;
    if (p.device()->devicePixelRatioF() >= 2) {
        // Room for a real font at device resolution: letters, not blocks.
        p.setFont(faceFont(5, false));
        p.setPen(letters);
        p.drawText(QRect(area.left(), top, area.width(), 5), Qt::AlignCenter, QStringLiteral("GPS"));
        p.drawText(QRect(area.left(), top + 7, area.width(), 5), Qt::AlignCenter,
                   on ? QStringLiteral("ON") : QStringLiteral("OFF"));
        return;
    }
    tinyWord(p, "GPS", centreX, top, letters);
    tinyWord(p, on ? "ON" : "OFF", centreX, top + 7, letters);
}

void plusMinus(QPainter& p, const QRectF& r, bool plus, const QColor& ink) {
    const qreal s = std::min(r.width(), r.height()) * 0.3;
    const QPointF c = r.center();
    p.setPen(QPen(ink, std::max<qreal>(1.5, s / 2.5)));
    p.drawLine(QPointF(c.x() - s, c.y()), QPointF(c.x() + s, c.y()));
    if (plus) p.drawLine(QPointF(c.x(), c.y() - s), QPointF(c.x(), c.y() + s));
}

// Four coloured bars in a frame: the colour mode.
void colourBars(QPainter& p, const QRect& area) {
    const QColor colours[] = {QColor(0xE0, 0x20, 0x20), QColor(0x20, 0xB0, 0x20), QColor(0x20, 0x40, 0xE0),
                              QColor(0xF0, 0xD0, 0x20)};
    const QRect inner = area.adjusted(4, 4, -4, -4);
    const int w = inner.width() / 4;
    for (int i = 0; i < 4; ++i)
        p.fillRect(QRect(inner.left() + i * w, inner.top(), i == 3 ? inner.width() - 3 * w : w, inner.height()),
                   colours[i]);
    pixelFrame(p, inner, kInk);
}

// A text balloon with a line of writing: store the typed text.
void textBalloon(QPainter& p, const QRectF& r, bool disabled, const QColor& ink) {
    const QRectF balloon = r.adjusted(r.width() * 0.18, r.height() * 0.2, -r.width() * 0.18, -r.height() * 0.32);
    p.setPen(QPen(ink, 1));
    p.setBrush(disabled ? kFaceGrey : QColor(Qt::white));
    p.drawRect(balloon);
    QPolygonF tail;
    tail << QPointF(balloon.left() + balloon.width() * 0.25, balloon.bottom())
         << QPointF(balloon.left() + balloon.width() * 0.2, r.bottom() - r.height() * 0.14)
         << QPointF(balloon.left() + balloon.width() * 0.5, balloon.bottom());
    p.drawPolyline(tail);
    p.drawLine(QPointF(balloon.left() + 3, balloon.center().y()), QPointF(balloon.right() - 3, balloon.center().y()));
}

void glyph(QPainter& p, const QRect& area, ButtonFace face, FaceState state) {
    const bool disabled = state == FaceState::Disabled;
    const QColor ink = disabled ? kGreyInk : kInk;
    switch (face) {
    case ButtonFace::Class1:
    case ButtonFace::Class2:
    case ButtonFace::Class3:
    case ButtonFace::Class4:
        classDigit(p, area, 1 + static_cast<int>(face) - static_cast<int>(ButtonFace::Class1), disabled, ink);
        return;
    case ButtonFace::GpsOn:
    case ButtonFace::GpsOff: gpsLamp(p, area, face == ButtonFace::GpsOn, disabled); return;
    case ButtonFace::Plus:
    case ButtonFace::Minus: plusMinus(p, QRectF(area), face == ButtonFace::Plus, ink); return;
    case ButtonFace::Up:
    case ButtonFace::Down:
    case ButtonFace::Left:
    case ButtonFace::Right: arrow(p, QRectF(area), face, ink); return;
    case ButtonFace::Colour: colourBars(p, area); return;
    case ButtonFace::Information: textBalloon(p, QRectF(area), disabled, ink); return;
    case ButtonFace::None: return;
    }
}

}  // namespace

bool hasDisabledFace(ButtonFace face) {
    switch (face) {
    case ButtonFace::Colour:
    case ButtonFace::Plus:
    case ButtonFace::Minus:
    case ButtonFace::Up:
    case ButtonFace::Down:
    case ButtonFace::Left:
    case ButtonFace::Right: return false;
    default: return true;
    }
}

QPixmap drawFace(ButtonFace face, FaceState state, QSize size, qreal ratio) {
    if (state == FaceState::Disabled && !hasDisabledFace(face)) state = FaceState::Up;
    QPixmap pixmap(size * ratio);
    pixmap.setDevicePixelRatio(ratio);
    QPainter p(&pixmap);
    const QRect r(QPoint(0, 0), size);
    const bool pressed = state == FaceState::Pressed;
    bevel(p, r, pressed);
    QRect area = r.adjusted(2, 2, -2, -2);
    if (pressed) area.translate(1, 1);
    glyph(p, area, face, state);
    return pixmap;
}

BitmapButton::BitmapButton(ButtonFace face, QWidget* parent) : QAbstractButton(parent), face_(face) {
    setFocusPolicy(Qt::StrongFocus);
}

FaceState BitmapButton::faceState() const {
    if (!isEnabled()) return FaceState::Disabled;
    return isDown() ? FaceState::Pressed : FaceState::Up;
}

void BitmapButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawPixmap(0, 0, drawFace(face_, faceState(), size(), devicePixelRatioF()));
    if (!hasFocus()) return;
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.rect = rect().adjusted(3, 3, -3, -3);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &p, this);
}

}  // namespace plotvane::qtui
