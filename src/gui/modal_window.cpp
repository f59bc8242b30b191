#include "gui/modal_window.h"

#include "project/control_ids.h"
#include "app/dialog_layout.h"
#include "gui/dialog_builder.h"

namespace plotvane::qtui {

namespace {

constexpr Qt::WindowFlags kDialogFlags = Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;

}  // namespace

ModalWindow::ModalWindow(ui::DialogId dialog, ui::ModalDialog& controller, QWidget* parent)
    : QDialog(parent, kDialogFlags), dialog_(dialog), controller_(controller) {
    setObjectName(QString::number(static_cast<int>(dialog)));
    buildControls(*this, ui::dialogLayout(dialog), [this](int id) { controller_.command(id); });
}

void ModalWindow::finish(ui::DialogResult result) {
    result_ = result;
    done(result == ui::DialogResult::Ok ? Accepted : Rejected);
}

void ModalWindow::reject() {
    if (!result_) controller_.command(ids::kIdCancel);
}

AboutBox::AboutBox(QWidget* parent) : QDialog(parent, kDialogFlags) {
    setObjectName(QString::number(ids::kAboutDialog));
    buildControls(*this, ui::dialogLayout(ui::DialogId::About), [this](int) { accept(); });
}

}  // namespace plotvane::qtui
