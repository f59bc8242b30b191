#pragma once

#include <vector>

#include <memory>

#include <QElapsedTimer>
#include <QPointer>
#include <QProgressDialog>

#include "app/platform.h"
#include "gui/main_window.h"
#include "gui/modal_window.h"

namespace plotvane::qtui {

// The platform interface over Qt Widgets: controls by object name in the
// window of their dialog, QMessageBox, QFileDialog, modal password dialogs
// built from their templates, the override cursor (the arrow while the
// pointer is over the progress dialog).
class QtPlatform : public ui::Platform {
public:
    // The main dialog's window, once it exists (nullptr when it is gone).
    void attachMain(MainWindow* window) { main_ = window; }
    MainWindow* mainWindow() const { return main_; }

    // The window of `dialog` (the innermost one shown), or nullptr.
    QWidget* dialogWindow(ui::DialogId dialog) const;
    QWidget* control(ui::DialogId dialog, int id) const;

    std::string controlText(ui::DialogId dialog, int id) const override;
    void setControlText(ui::DialogId dialog, int id, std::string_view text) override;
    bool isEnabled(ui::DialogId dialog, int id) const override;
    void setEnabled(ui::DialogId dialog, int id, bool enabled) override;
    bool isChecked(ui::DialogId dialog, int id) const override;
    void setChecked(ui::DialogId dialog, int id, bool checked) override;
    void setReadOnly(ui::DialogId dialog, int id, bool readOnly) override;
    void setInputLimit(ui::DialogId dialog, int id, int limit) override;

    void showMessage(const Message& message) override;
    ui::QuestionAnswer askQuestion(const ui::Question& question) override;
    std::optional<std::string> openFileDialog(const ui::FileDialogRequest& request) override;
    std::optional<std::string> saveFileDialog(const ui::FileDialogRequest& request) override;
    ui::DialogResult runModal(ui::DialogId dialog, ui::ModalDialog& controller) override;
    void endModal(ui::DialogId dialog, ui::DialogResult result) override;
    void showAbout() override;
    std::optional<ui::ClassesChoice> classesDialog(const ui::ClassesDialogRequest& request) override;
    bool progress(std::string_view what, double fraction) override;
    void endProgress() override;
    // The progress dialog while long work runs (for the tests), or nullptr.
    QProgressDialog* progressDialog() const { return progress_.get(); }

    void setBusy(bool busy) override;
    void repaint(ui::Region region) override;
    void endMainDialog() override;

protected:
    // The window new boxes and dialogs belong to.
    QWidget* activeParent() const;

private:
    std::optional<std::string> fileDialog(bool save, const ui::FileDialogRequest& request);
    Qt::CursorShape busyCursor() const;
    void showBusyCursor();

    QPointer<MainWindow> main_;
    std::vector<QPointer<ModalWindow>> open_;
    int busyDepth_ = 0;
    std::unique_ptr<QProgressDialog> progress_;
    bool pointerOnProgress_ = false;
    QElapsedTimer progressClock_;
};

}  // namespace plotvane::qtui
