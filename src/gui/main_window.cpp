#include "gui/main_window.h"

#include <cmath>

#include <QAction>
#include <QMouseEvent>
#include <QPainter>

#include "app/main_dialog.h"
#include "project/control_ids.h"
#include "app/dialog_layout.h"
#include "gui/app_icon.h"
#include "gui/dialog_builder.h"
#include "gui/preview_painter.h"

namespace plotvane::qtui {

namespace {

QRect toQRect(const app::PixelRect& r) { return QRect(r.left, r.top, r.width(), r.height()); }

unsigned buttonBits(Qt::MouseButtons buttons) {
    unsigned bits = 0;
    if (buttons & Qt::LeftButton) bits |= app::kLeftButton;
    if (buttons & Qt::RightButton) bits |= app::kRightButton;
    if (buttons & Qt::MiddleButton) bits |= app::kMiddleButton;
    return bits;
}

unsigned modifierBits(Qt::KeyboardModifiers modifiers) {
    unsigned bits = 0;
    if (modifiers & Qt::ShiftModifier) bits |= app::kShiftKey;
    if (modifiers & Qt::ControlModifier) bits |= app::kControlKey;
    if (modifiers & Qt::AltModifier) bits |= app::kAltKey;
    if (modifiers & Qt::MetaModifier) bits |= app::kMetaKey;
    return bits;
}

}  // namespace

MainWindow::MainWindow(MainController& controller, QWidget* parent) : QDialog(parent), controller_(controller) {
    setObjectName(QString::number(ids::kMainDialog));
    setWindowIcon(appIcon());
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    buildControls(*this, ui::dialogLayout(ui::DialogId::Main), [this](int id) { controller_.command(id); });

    // The preview is painted by the window itself; this child only gives it
    // a place and a name for screen readers, and lets the presses through.
    auto* area = new QWidget(this);
    area->setObjectName(QStringLiteral("preview"));
    area->setAccessibleName(QStringLiteral("Preview"));
    area->setGeometry(toQRect(app::kPreviewAreaRect));
    area->setAttribute(Qt::WA_TransparentForMouseEvents);
    area->lower();

    // Window managers do not let a program extend their window menu, so
    // the About item is offered on the dialog's context menu.
    auto* about = new QAction(QStringLiteral("About Plotvane (&A)..."), this);
    connect(about, &QAction::triggered, this, [this] { controller_.systemCommand(ids::kSysCommandAbout); });
    addAction(about);
    setContextMenuPolicy(Qt::ActionsContextMenu);
}

void MainWindow::initialise() {
    controller_.initialise();
    refreshPreview();
    update();
}

void MainWindow::refreshPreview() {
    // A rebuild inside the description may show a message box, whose event
    // loop can ask for another repaint; that one draws what is known.
    if (describing_) return;
    describing_ = true;
    preview_ = controller_.describePreview(isMinimized(), width(), height(), kIconSize, kIconSize);
    describing_ = false;
}

void MainWindow::repaintRegion(ui::Region region) {
    refreshPreview();
    switch (region) {
    case ui::Region::ClassIndicator: repaint(toQRect(app::kClassIndicatorRect)); return;
    case ui::Region::ColourIndicator: repaint(toQRect(app::kColourIndicatorRect)); return;
    case ui::Region::PreviewArea: repaint(toQRect(app::kPreviewAreaRect)); return;
    }
}

void MainWindow::end() {
    ending_ = true;
    done(0);
}

void MainWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    paintPreview(p, preview_, drawAppIcon(kIconSize));
}

void MainWindow::mousePressEvent(QMouseEvent* event) {
    const int x = static_cast<int>(std::floor(event->position().x()));
    const int y = static_cast<int>(std::floor(event->position().y()));
    controller_.mousePress(x, y, buttonBits(event->buttons()), modifierBits(event->modifiers()));
    QDialog::mousePressEvent(event);
}

void MainWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::WindowStateChange) refreshPreview();
    QDialog::changeEvent(event);
}

void MainWindow::reject() {
    if (!ending_) controller_.close();
}

}  // namespace plotvane::qtui
