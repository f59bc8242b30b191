#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "project/feedback.h"

// The one way the controllers reach the window system. Everything here is
// in the program's own types; texts are UTF-8. The Qt window implements it
// in a few lines per call, the tests with a scripted platform.
namespace plotvane::ui {

// Dialog templates, by the numbers of their resources.
enum class DialogId {
    About = 100,
    Main = 102,
    PasswordCheck = 160,
    PasswordInput = 161,
    PasswordAgain = 162,
};

enum class DialogResult { Ok, Cancel };

// Parts of the main window's client area that a command changed.
enum class Region { ClassIndicator, ColourIndicator, PreviewArea };

// A question box with "Yes" and "No" (question icon), and a check box
// below the text when `checkBox` names one.
struct Question {
    std::string title;
    std::string text;
    std::string checkBox;
};

struct QuestionAnswer {
    bool yes = false;
    bool checkBoxChecked = false;
};

struct FileDialogRequest {
    // Filter in the "description|pattern||" form, e.g. "bitmap (*.bmp)|*.bmp||".
    std::string filter;
    // Added to a typed name that has no extension, e.g. ".pdb".
    std::string defaultExtension;
    // Save dialogs: ask before an existing file is replaced. Open dialogs
    // always require the file to exist.
    bool confirmOverwrite = false;
};

// The small dialog of "Make classes from one picture...": how many
// classes, the magnification between each and the next, and the folder
// the class pictures go to.
struct ClassesChoice {
    int classCount = 3;
    std::array<int, 3> magnifications{2, 2, 2};
    std::string folder;
};

struct ClassesDialogRequest {
    ClassesChoice initial;
    // The sizes each class will have for the values now shown (or why none
    // fit), told again whenever the user changes one.
    std::function<std::string(const ClassesChoice&)> describe;
};

// The logic of a modal dialog (the password dialogs). The platform shows
// the dialog's template, calls `initialise` once its controls exist, and
// forwards every button click as `command(id)`. A click on a radio button
// marks it first, as an automatic radio button that is a group of its own
// does; the controller then sets every mark it wants. The controller ends
// the dialog with `Platform::endModal`; the window's close button and
// Escape end it as `command(ids::kIdCancel)` does.
class ModalDialog {
public:
    virtual ~ModalDialog() = default;
    virtual void initialise() = 0;
    virtual void command(int controlId) = 0;
};

class Platform {
public:
    virtual ~Platform() = default;

    // ---- Controls, addressed by dialog and control id ----------------------
    virtual std::string controlText(DialogId dialog, int id) const = 0;
    virtual void setControlText(DialogId dialog, int id, std::string_view text) = 0;
    virtual bool isEnabled(DialogId dialog, int id) const = 0;
    virtual void setEnabled(DialogId dialog, int id, bool enabled) = 0;
    virtual bool isChecked(DialogId dialog, int id) const = 0;
    virtual void setChecked(DialogId dialog, int id, bool checked) = 0;
    virtual void setReadOnly(DialogId dialog, int id, bool readOnly) = 0;
    // Characters an edit takes as the user types; 0 for no limit.
    virtual void setInputLimit(DialogId dialog, int id, int limit) = 0;

    // ---- Modal boxes and dialogs -----------------------------------------
    virtual void showMessage(const Message& message) = 0;
    // Modal; "No", Escape or the close button answer no.
    virtual QuestionAnswer askQuestion(const Question& question) = 0;
    // The chosen path, or nullopt when the user cancelled.
    virtual std::optional<std::string> openFileDialog(const FileDialogRequest& request) = 0;
    virtual std::optional<std::string> saveFileDialog(const FileDialogRequest& request) = 0;
    // Shows `dialog` modally and returns once the controller ended it.
    virtual DialogResult runModal(DialogId dialog, ModalDialog& controller) = 0;
    // Ends the innermost dialog shown by runModal with `result`.
    virtual void endModal(DialogId dialog, DialogResult result) = 0;
    // The About box: modal, closed by its "OK" button or Escape.
    virtual void showAbout() = 0;
    // The classes dialog; nullopt when the user cancelled.
    virtual std::optional<ClassesChoice> classesDialog(const ClassesDialogRequest& request) {
        (void)request;
        return std::nullopt;
    }
    // Work a person waits on tells how far it is (0..1); once it has taken
    // half a second a dialog shows it with Cancel, and the window keeps
    // repainting. False: the user cancelled. endProgress closes the dialog.
    virtual bool progress(std::string_view what, double fraction) {
        (void)what;
        (void)fraction;
        return true;
    }
    virtual void endProgress() {}

    // ---- The main window ---------------------------------------------------
    // Wait cursor on (true) or back to the arrow (false); calls nest.
    virtual void setBusy(bool busy) = 0;
    // Marks a region for repainting without erasing and repaints at once.
    virtual void repaint(Region region) = 0;
    // The main dialog ends; the program ends with it.
    virtual void endMainDialog() = 0;
};

// Core operations report through Feedback; in the window that is a
// message box and the wait cursor.
class PlatformFeedback : public Feedback {
public:
    explicit PlatformFeedback(Platform& platform) : platform_(platform) {}
    void show(const Message& message) override { platform_.showMessage(message); }
    void setBusy(bool busy) override { platform_.setBusy(busy); }

private:
    Platform& platform_;
};

}  // namespace plotvane::ui
