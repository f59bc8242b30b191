#pragma once

#include <QAbstractButton>
#include <QPixmap>

#include "app/dialog_layout.h"

namespace plotvane::qtui {

enum class FaceState { Up, Pressed, Disabled };

// A face of a bitmap button, drawn at `size` for a screen of `ratio`
// device pixels per pixel. The colour and navigation buttons have no
// disabled face and show their up face instead. The GPS buttons' disabled
// face is the lit one: the button of the current state cannot be pressed.
QPixmap drawFace(ui::ButtonFace face, FaceState state, QSize size, qreal ratio);

bool hasDisabledFace(ui::ButtonFace face);

// A push button that shows one of three faces drawn by the program.
class BitmapButton : public QAbstractButton {
public:
    BitmapButton(ui::ButtonFace face, QWidget* parent);

    ui::ButtonFace face() const { return face_; }
    FaceState faceState() const;
    QSize sizeHint() const override { return size(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ui::ButtonFace face_;
};

}  // namespace plotvane::qtui
