#include "gui/qt_platform.h"

#include "gui/quit_on_signal.h"

#include <QAbstractButton>
#include <QApplication>

#include <functional>
#include <limits>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QCheckBox>
#include <QMessageBox>

#include "gui/classes_dialog.h"
#include "gui/dialog_builder.h"

namespace plotvane::qtui {

namespace {

std::string toUtf8(const QString& text) { return text.toUtf8().toStdString(); }

QMessageBox::Icon boxIcon(Icon icon) {
    switch (icon) {
    case Icon::None: return QMessageBox::NoIcon;
    case Icon::Information: return QMessageBox::Information;
    case Icon::Exclamation: return QMessageBox::Warning;
    }
    return QMessageBox::NoIcon;
}

// Edits take at most this many characters when they have no limit.
constexpr int kNoLimit = 32767;

// Tells when the pointer enters and leaves a window.
class PointerWatch : public QObject {
public:
    PointerWatch(QWidget* window, std::function<void(bool inside)> told)
        : QObject(window), told_(std::move(told)) {
        window->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Enter) told_(true);
        if (event->type() == QEvent::Leave) told_(false);
        return false;
    }

private:
    std::function<void(bool)> told_;
};

}  // namespace

QWidget* QtPlatform::dialogWindow(ui::DialogId dialog) const {
    if (dialog == ui::DialogId::Main) return main_;
    for (auto it = open_.rbegin(); it != open_.rend(); ++it)
        if (*it && (*it)->dialog() == dialog) return *it;
    return nullptr;
}

QWidget* QtPlatform::control(ui::DialogId dialog, int id) const { return findControl(dialogWindow(dialog), id); }

QWidget* QtPlatform::activeParent() const {
    for (auto it = open_.rbegin(); it != open_.rend(); ++it)
        if (*it) return *it;
    return main_;
}

std::string QtPlatform::controlText(ui::DialogId dialog, int id) const {
    QWidget* w = control(dialog, id);
    if (auto* edit = qobject_cast<QLineEdit*>(w)) return toUtf8(edit->text());
    if (auto* button = qobject_cast<QAbstractButton*>(w)) return toUtf8(button->text());
    if (auto* label = qobject_cast<QLabel*>(w)) return toUtf8(label->text());
    return {};
}

void QtPlatform::setControlText(ui::DialogId dialog, int id, std::string_view text) {
    QWidget* w = control(dialog, id);
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        edit->setText(toQString(text));
        // A long path shows its beginning, as a display field does.
        edit->setCursorPosition(0);
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) button->setText(toQString(text));
    else if (auto* label = qobject_cast<QLabel*>(w)) label->setText(toQString(text));
}

bool QtPlatform::isEnabled(ui::DialogId dialog, int id) const {
    QWidget* w = control(dialog, id);
    return w && w->isEnabled();
}

void QtPlatform::setEnabled(ui::DialogId dialog, int id, bool enabled) {
    if (QWidget* w = control(dialog, id)) w->setEnabled(enabled);
}

bool QtPlatform::isChecked(ui::DialogId dialog, int id) const {
    auto* button = qobject_cast<QAbstractButton*>(control(dialog, id));
    return button && button->isChecked();
}

void QtPlatform::setChecked(ui::DialogId dialog, int id, bool checked) {
    if (auto* button = qobject_cast<QAbstractButton*>(control(dialog, id))) button->setChecked(checked);
}

void QtPlatform::setReadOnly(ui::DialogId dialog, int id, bool readOnly) {
    setEditReadOnly(control(dialog, id), readOnly);
}

void QtPlatform::setInputLimit(ui::DialogId dialog, int id, int limit) {
    if (auto* edit = qobject_cast<QLineEdit*>(control(dialog, id))) edit->setMaxLength(limit > 0 ? limit : kNoLimit);
}

void QtPlatform::showMessage(const Message& message) {
    QMessageBox box(boxIcon(message.icon), toQString(message.title), toQString(message.text), QMessageBox::Ok,
                    activeParent());
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

ui::QuestionAnswer QtPlatform::askQuestion(const ui::Question& question) {
    QMessageBox box(QMessageBox::Question, toQString(question.title), toQString(question.text),
                    QMessageBox::Yes | QMessageBox::No, activeParent());
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    QCheckBox* check = nullptr;
    if (!question.checkBox.empty()) {
        check = new QCheckBox(toQString(question.checkBox), &box);
        box.setCheckBox(check);
    }
    ui::QuestionAnswer answer;
    answer.yes = box.exec() == QMessageBox::Yes;
    answer.checkBoxChecked = check != nullptr && check->isChecked();
    return answer;
}

std::optional<std::string> QtPlatform::fileDialog(bool save, const ui::FileDialogRequest& request) {
    QFileDialog dialog(activeParent());
    dialog.setNameFilters(toNameFilters(request.filter));
    QString suffix = toQString(request.defaultExtension);
    if (suffix.startsWith(QLatin1Char('.'))) suffix.remove(0, 1);
    dialog.setDefaultSuffix(suffix);
    if (save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.confirmOverwrite);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setOption(QFileDialog::ReadOnly, false);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return toUtf8(dialog.selectedFiles().constFirst());
}

std::optional<std::string> QtPlatform::openFileDialog(const ui::FileDialogRequest& request) {
    return fileDialog(false, request);
}

std::optional<std::string> QtPlatform::saveFileDialog(const ui::FileDialogRequest& request) {
    return fileDialog(true, request);
}

ui::DialogResult QtPlatform::runModal(ui::DialogId dialog, ui::ModalDialog& controller) {
    ModalWindow window(dialog, controller, activeParent());
    open_.push_back(&window);
    controller.initialise();
    if (!window.result()) window.exec();
    open_.pop_back();
    return window.result().value_or(ui::DialogResult::Cancel);
}

void QtPlatform::endModal(ui::DialogId dialog, ui::DialogResult result) {
    for (auto it = open_.rbegin(); it != open_.rend(); ++it) {
        if (*it && (*it)->dialog() == dialog) {
            (*it)->finish(result);
            return;
        }
    }
}

void QtPlatform::showAbout() {
    AboutBox box(activeParent());
    box.exec();
}

std::optional<ui::ClassesChoice> QtPlatform::classesDialog(const ui::ClassesDialogRequest& request) {
    return runClassesDialog(request, activeParent());
}

bool QtPlatform::progress(std::string_view what, double fraction) {
    constexpr int kSteps = 1000;
    if (!progress_) {
        progress_ = std::make_unique<QProgressDialog>(toQString(what), QStringLiteral("Cancel"), 0, kSteps, activeParent());
        progress_->setObjectName(QStringLiteral("progress"));
        progress_->setWindowTitle(QStringLiteral("Plotvane"));
        progress_->setWindowModality(Qt::WindowModal);
        // Shown here after half a second, never earlier on a guess of how
        // long the work will take.
        progress_->setMinimumDuration(std::numeric_limits<int>::max());
        progress_->setAutoClose(false);
        progress_->setAutoReset(false);
        new PointerWatch(progress_.get(), [this](bool inside) {
            pointerOnProgress_ = inside;
            showBusyCursor();
        });
        progressClock_.start();
        if (main_) main_->holdForWork(true);
    }
    progress_->setValue(static_cast<int>(fraction * kSteps));
    if (!progress_->isVisible() && progressClock_.elapsed() >= 500) progress_->show();
    // The window keeps repainting; until the dialog shows (and blocks the
    // window's input) nothing the user does reaches the window meanwhile.
    QCoreApplication::processEvents(progress_->isVisible() ? QEventLoop::AllEvents
                                                           : QEventLoop::ExcludeUserInputEvents);
    // An interrupt (SIGINT, SIGTERM, SIGHUP) stops the work as Cancel does,
    // and the program then ends.
    return !progress_->wasCanceled() && quitSignal() == 0;
}

void QtPlatform::endProgress() {
    if (progress_ && main_) main_->holdForWork(false);
    progress_.reset();
    pointerOnProgress_ = false;
    showBusyCursor();
}

void QtPlatform::setBusy(bool busy) {
    if (busy && busyDepth_++ == 0) QApplication::setOverrideCursor(busyCursor());
    if (!busy && busyDepth_ > 0 && --busyDepth_ == 0) QApplication::restoreOverrideCursor();
}

// The wait cursor is the application's, over every window; over the
// progress dialog the arrow shows instead, so its Cancel looks clickable.
Qt::CursorShape QtPlatform::busyCursor() const {
    return progress_ && pointerOnProgress_ ? Qt::ArrowCursor : Qt::WaitCursor;
}

void QtPlatform::showBusyCursor() {
    if (busyDepth_ > 0) QApplication::changeOverrideCursor(busyCursor());
}

void QtPlatform::repaint(ui::Region region) {
    if (main_) main_->repaintRegion(region);
}

void QtPlatform::endMainDialog() {
    if (main_) main_->end();
}

}  // namespace plotvane::qtui
