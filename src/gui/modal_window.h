#pragma once

#include <optional>

#include <QDialog>

#include "app/platform.h"

namespace plotvane::qtui {

// A password dialog built from its template; its buttons and radio buttons
// go to the controller, which ends it through the platform. Escape and the
// close button are the cancel button's command.
class ModalWindow : public QDialog {
public:
    ModalWindow(ui::DialogId dialog, ui::ModalDialog& controller, QWidget* parent);

    ui::DialogId dialog() const { return dialog_; }
    void finish(ui::DialogResult result);
    std::optional<ui::DialogResult> result() const { return result_; }

protected:
    void reject() override;

private:
    ui::DialogId dialog_;
    ui::ModalDialog& controller_;
    std::optional<ui::DialogResult> result_;
};

// The About box (template 100), closed by "OK" or Escape.
class AboutBox : public QDialog {
public:
    explicit AboutBox(QWidget* parent);
};

}  // namespace plotvane::qtui
