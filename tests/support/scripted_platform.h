#pragma once

#include <deque>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "project/feedback.h"
#include "app/platform.h"

namespace plotvane::test {

// A user's action inside a dialog that a command opens: an answer to a file
// dialog, or a click or typing inside a modal dialog.
struct UserAction {
    enum class Kind { ChooseFile, CancelFile, Click, Type, Answer };
    Kind kind = Kind::Click;
    ui::DialogId dialog = ui::DialogId::Main;  // the dialog the action is meant for
    int id = 0;
    std::string text;
};

UserAction chooseFile(std::string path);
UserAction cancelFile();
UserAction click(ui::DialogId dialog, int id);
UserAction type(ui::DialogId dialog, int id, std::string text);
// The answer to the next question box: Yes or No, and its check box.
UserAction answer(bool yes, bool checkBox = false);

// The window system of the tests. Controls behave as the widgets do: an
// edit takes no more than its limit, a digits-only edit drops other
// characters, the information edit drops characters Windows-1252 cannot
// hold, a read-only edit takes nothing, a check box toggles when clicked,
// a radio button is marked when clicked. Every change and box is logged in
// order. Dialogs opened by a command play the queued actions; running out
// of actions inside a dialog is a test failure.
class ScriptedPlatform : public ui::Platform {
public:
    struct Control {
        std::string text;
        bool enabled = true;
        bool checked = false;
        bool readOnly = false;
        int limit = 0;
        bool operator==(const Control&) const = default;
    };

    struct FileDialogCall {
        bool save = false;
        ui::FileDialogRequest request;
    };

    ScriptedPlatform();

    // ---- The user ----------------------------------------------------------
    // Queues actions for the dialogs the next commands open.
    void queue(UserAction action) { actions_.push_back(std::move(action)); }
    void queue(std::initializer_list<UserAction> actions);
    bool allActionsPlayed() const { return actions_.empty() && classesAnswers_.empty(); }
    // The answer to the next classes dialog: the choice, or nullopt to cancel.
    void queueClassesAnswer(std::optional<ui::ClassesChoice> answer) { classesAnswers_.push_back(std::move(answer)); }
    // The progress dialog's Cancel is pressed at report `n` (0-based).
    void cancelProgressAt(std::size_t n) { cancelAt_ = n; }
    // Forgets the reports, the closings and the Cancel to come.
    void clearProgress() {
        progress_.clear();
        progressEnds_ = 0;
        cancelAt_.reset();
    }
    // Types into a control as a user would, with the widget's filters.
    // Typing replaces the whole text. Returns what the edit now holds.
    std::string typeInto(ui::DialogId dialog, int id, const std::string& text);
    // Pastes over the whole text: as typing, except that a digits-only edit
    // takes every character.
    std::string pasteInto(ui::DialogId dialog, int id, const std::string& text);
    // Clicks a control of the main dialog (or of `dialog`): nothing when it is
    // disabled; check boxes toggle and radio buttons are marked before the
    // controller hears of it. Returns false when the control was disabled.
    bool clickControl(ui::ModalDialog& controller, int id, ui::DialogId dialog = ui::DialogId::Main);

    // ---- What happened -------------------------------------------------------
    const std::vector<Message>& messages() const { return messages_; }
    std::vector<std::string> messageTexts() const;
    void clearMessages() { messages_.clear(); }
    const std::vector<std::string>& log() const { return log_; }
    void clearLog() { log_.clear(); }
    const std::vector<FileDialogCall>& fileDialogs() const { return fileDialogs_; }
    const std::vector<ui::Question>& questions() const { return questions_; }
    // Dialogs opened by runModal, in order.
    const std::vector<ui::DialogId>& dialogsShown() const { return dialogsShown_; }
    int aboutBoxes() const { return aboutBoxes_; }
    // What the classes dialogs showed first: the initial values and the sizes for them.
    const std::vector<std::pair<ui::ClassesChoice, std::string>>& classesDialogs() const { return classesDialogs_; }
    const std::vector<double>& progressReports() const { return progress_; }
    int progressEnds() const { return progressEnds_; }
    int busyDepth() const { return busyDepth_; }
    int busyCalls() const { return busyCalls_; }
    const std::vector<ui::Region>& repaints() const { return repaints_; }
    void clearRepaints() { repaints_.clear(); }
    bool mainDialogEnded() const { return mainEnded_; }

    const Control& control(int id, ui::DialogId dialog = ui::DialogId::Main) const;
    // Every control touched so far, by dialog and id.
    const std::map<std::pair<int, int>, Control>& controls() const { return controls_; }
    std::string text(int id) const { return control(id).text; }
    bool enabled(int id) const { return control(id).enabled; }
    bool checked(int id) const { return control(id).checked; }
    bool readOnly(int id) const { return control(id).readOnly; }

    // ---- ui::Platform ---------------------------------------------------------
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
    void endProgress() override { ++progressEnds_; }
    void setBusy(bool busy) override;
    void repaint(ui::Region region) override;
    void endMainDialog() override;

private:
    Control& slot(ui::DialogId dialog, int id);
    std::optional<std::string> answerFileDialog(bool save, const ui::FileDialogRequest& request);
    std::string filtered(ui::DialogId dialog, int id, const std::string& text, bool typed = true) const;

    std::map<std::pair<int, int>, Control> controls_;
    std::deque<UserAction> actions_;
    std::vector<Message> messages_;
    std::vector<std::string> log_;
    std::vector<FileDialogCall> fileDialogs_;
    std::vector<ui::Question> questions_;
    std::vector<ui::DialogId> dialogsShown_;
    std::vector<ui::Region> repaints_;
    // Dialogs opened by runModal that are still open, innermost last, with
    // the result they were ended with.
    std::vector<std::pair<ui::DialogId, std::optional<ui::DialogResult>>> open_;
    int aboutBoxes_ = 0;
    std::deque<std::optional<ui::ClassesChoice>> classesAnswers_;
    std::vector<std::pair<ui::ClassesChoice, std::string>> classesDialogs_;
    std::vector<double> progress_;
    std::optional<std::size_t> cancelAt_;
    int progressEnds_ = 0;
    int busyDepth_ = 0;
    int busyCalls_ = 0;
    bool mainEnded_ = false;
};

}  // namespace plotvane::test
