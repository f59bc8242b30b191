#include "gui/main_window.h"

#include <cmath>

#include <QAction>
#include <QLabel>
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

// A place on the painted client area that a screen reader can read: its
// text is what the window draws there, and it draws nothing itself.
class SpokenArea : public QLabel {
public:
    SpokenArea(const QString& objectName, const app::PixelRect& rect, QWidget* parent) : QLabel(parent) {
        setObjectName(objectName);
        setGeometry(toQRect(rect));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setTextFormat(Qt::PlainText);
        lower();
    }

protected:
    void paintEvent(QPaintEvent*) override {}
};

}  // namespace

MainWindow::MainWindow(MainController& controller, QWidget* parent) : QDialog(parent), controller_(controller) {
    setObjectName(QString::number(ids::kMainDialog));
    setWindowIcon(appIcon());
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    buildControls(*this, ui::dialogLayout(ui::DialogId::Main), [this](int id) { controller_.command(id); });

    // The preview and its indicators are painted by the window itself; these
    // children only give them a place, a name and the current value for
    // screen readers, and let the presses through.
    previewArea_ = new SpokenArea(QStringLiteral("preview"), app::kPreviewAreaRect, this);
    previewArea_->setAccessibleName(QStringLiteral("Preview"));
    classIndicator_ = new SpokenArea(QStringLiteral("classIndicator"), app::kClassIndicatorRect, this);
    colourIndicator_ = new SpokenArea(QStringLiteral("colourIndicator"), app::kColourIndicatorRect, this);

    // Window managers do not let a program extend their window menu, so
    // the About item is offered on the dialog's context menu.
    auto* classes = new QAction(QStringLiteral("Make classes from one picture..."), this);
    connect(classes, &QAction::triggered, this, [this] { controller_.systemCommand(ids::kSysCommandMakeClasses); });
    addAction(classes);
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
    if (preview_.iconOnly) return;
    classIndicator_->setText(toQString(app::classIndicatorSpoken(preview_.classDigit)));
    colourIndicator_->setText(toQString(preview_.colourCaption));
    if (previewArea_->accessibleDescription() != toQString(preview_.spoken))
        previewArea_->setAccessibleDescription(toQString(preview_.spoken));
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
    if (held_) return;
    const int x = static_cast<int>(std::floor(event->position().x()));
    const int y = static_cast<int>(std::floor(event->position().y()));
    controller_.mousePress(x, y, buttonBits(event->buttons()), modifierBits(event->modifiers()));
    QDialog::mousePressEvent(event);
}

void MainWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::WindowStateChange) {
        if (held_)
            changedWhileHeld_ = true;
        else
            refreshPreview();
    }
    QDialog::changeEvent(event);
}

void MainWindow::reject() {
    if (!ending_ && !held_) controller_.close();
}

void MainWindow::holdForWork(bool held) {
    held_ = held;
    if (held_ || !changedWhileHeld_) return;
    changedWhileHeld_ = false;
    refreshPreview();
    update();
}

}  // namespace plotvane::qtui
