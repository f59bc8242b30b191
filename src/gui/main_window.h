#pragma once

#include <QDialog>

class QLabel;

#include "app/preview.h"
#include "app/platform.h"

namespace plotvane::qtui {

// What the main window forwards its events to: the main dialog's logic.
class MainController : public ui::ModalDialog {
public:
    virtual void systemCommand(int command) = 0;
    virtual void mousePress(int x, int y, unsigned buttons, unsigned modifiers) = 0;
    virtual void close() = 0;
    virtual app::PreviewDescription describePreview(bool minimised, int clientWidth, int clientHeight, int iconWidth,
                                                    int iconHeight) = 0;
};

// Adapts a main dialog controller type to the interface above.
template <class Dialog>
class MainControllerOf final : public MainController {
public:
    explicit MainControllerOf(Dialog& dialog) : dialog_(dialog) {}
    void initialise() override { dialog_.initialise(); }
    void command(int id) override { dialog_.command(id); }
    void systemCommand(int command) override { dialog_.systemCommand(command); }
    void mousePress(int x, int y, unsigned buttons, unsigned modifiers) override {
        dialog_.mousePress(x, y, buttons, modifiers);
    }
    void close() override { dialog_.close(); }
    app::PreviewDescription describePreview(bool minimised, int w, int h, int iw, int ih) override {
        return dialog_.describePreview(minimised, w, h, iw, ih);
    }

private:
    Dialog& dialog_;
};

// The main dialog's window (template 102): the controls of the layout
// table, the painted preview and the About item of the context menu. It
// decides nothing: every event goes to the controller, and it draws the
// controller's preview description.
class MainWindow : public QDialog {
public:
    explicit MainWindow(MainController& controller, QWidget* parent = nullptr);

    // The controls exist: the controller sets their start state.
    void initialise();
    // Asks the controller what to draw and repaints `region` at once.
    void repaintRegion(ui::Region region);
    // The dialog ends; `exec` returns.
    void end();
    // While long work runs under its progress dialog, the window paints
    // what it painted before and passes nothing to the controller (a
    // change of its state, a press, a close); once released it asks again
    // what to draw when its state changed meanwhile.
    void holdForWork(bool held);

    const app::PreviewDescription& preview() const { return preview_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void reject() override;

private:
    void refreshPreview();

    MainController& controller_;
    app::PreviewDescription preview_;
    // What screen readers are told of the painted areas.
    QLabel* previewArea_ = nullptr;
    QLabel* classIndicator_ = nullptr;
    QLabel* colourIndicator_ = nullptr;
    bool describing_ = false;
    bool ending_ = false;
    bool held_ = false;
    bool changedWhileHeld_ = false;
};

}  // namespace plotvane::qtui
