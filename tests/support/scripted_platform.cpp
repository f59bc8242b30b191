#include "support/scripted_platform.h"

#include <gtest/gtest.h>

#include "database/input_rules.h"
#include "project/control_ids.h"
#include "app/dialog_layout.h"

namespace plotvane::test {

namespace {

int key(ui::DialogId dialog) { return static_cast<int>(dialog); }

std::string where(ui::DialogId dialog, int id) { return std::to_string(key(dialog)) + "/" + std::to_string(id); }

const char* iconName(Icon icon) {
    switch (icon) {
    case Icon::None: return "none";
    case Icon::Information: return "information";
    case Icon::Exclamation: return "exclamation";
    }
    return "?";
}

// Splits UTF-8 into characters; a malformed byte stands alone.
std::vector<std::string> characters(const std::string& text) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t n = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        if (i + n > text.size()) n = 1;
        out.push_back(text.substr(i, n));
        i += n;
    }
    return out;
}

bool isRadio(ui::DialogId dialog, int id) {
    if (dialog != ui::DialogId::PasswordInput) return false;
    return id == ids::kIdNonPassword || id == ids::kIdInformation || id == ids::kIdAllView ||
           id == ids::kIdReadOnly || id == ids::kIdFullEdit;
}

bool isCheckBox(ui::DialogId dialog, int id) {
    return dialog == ui::DialogId::Main && (id == ids::kIdDithering || id == ids::kIdCompress);
}

}  // namespace

UserAction chooseFile(std::string path) {
    return {UserAction::Kind::ChooseFile, ui::DialogId::Main, 0, std::move(path)};
}
UserAction cancelFile() { return {UserAction::Kind::CancelFile, ui::DialogId::Main, 0, {}}; }
UserAction click(ui::DialogId dialog, int id) { return {UserAction::Kind::Click, dialog, id, {}}; }
UserAction type(ui::DialogId dialog, int id, std::string text) {
    return {UserAction::Kind::Type, dialog, id, std::move(text)};
}

UserAction answer(bool yes, bool checkBox) {
    return {UserAction::Kind::Answer, ui::DialogId::Main, yes ? 1 : 0, checkBox ? "checked" : ""};
}

ScriptedPlatform::ScriptedPlatform() {
    for (int id : {ids::kIdDatabaseName, ids::kIdVersion, ids::kIdInfoTextEdit, ids::kIdInfoTextCounter}) {
        slot(ui::DialogId::Main, id);
    }
    // A new slot takes its read-only style and limit from the dialog's layout.
    for (int k = 0; k < 4; ++k) {
        for (int id : {ids::kIdClassFileName[k], ids::kIdClassTopxN[k], ids::kIdClassWidth[k],
                       ids::kIdClassHeight[k], ids::kIdClassUseRec[k]})
            slot(ui::DialogId::Main, id);
    }
}

void ScriptedPlatform::queue(std::initializer_list<UserAction> actions) {
    for (const UserAction& a : actions) actions_.push_back(a);
}

ScriptedPlatform::Control& ScriptedPlatform::slot(ui::DialogId dialog, int id) {
    auto [it, inserted] = controls_.try_emplace({key(dialog), id});
    if (inserted) {
        it->second.readOnly = ui::hasStyle(dialog, id, ui::kReadOnlyAtStart);
        it->second.limit = ui::inputLimit(dialog, id);
    }
    return it->second;
}

const ScriptedPlatform::Control& ScriptedPlatform::control(int id, ui::DialogId dialog) const {
    static const Control none;
    const auto it = controls_.find({key(dialog), id});
    return it == controls_.end() ? none : it->second;
}

std::string ScriptedPlatform::filtered(ui::DialogId dialog, int id, const std::string& text, bool typed) const {
    const Control& c = control(id, dialog);
    std::string out;
    int count = 0;
    for (const std::string& ch : characters(text)) {
        if (c.limit > 0 && count >= c.limit) break;
        if (typed && ui::hasStyle(dialog, id, ui::kDigitsOnly) && !(ch.size() == 1 && ch[0] >= '0' && ch[0] <= '9')) continue;
        if (ui::hasStyle(dialog, id, ui::kWindows1252Text)) {
            const auto byte = utf8ToWindows1252(ch);
            if (!byte || byte->size() != 1) continue;
            if (!isWindows1252TextByte(static_cast<std::uint8_t>((*byte)[0]))) continue;
        }
        out += ch;
        ++count;
    }
    return out;
}

std::string ScriptedPlatform::typeInto(ui::DialogId dialog, int id, const std::string& text) {
    Control& c = slot(dialog, id);
    if (c.readOnly || !c.enabled) return c.text;
    c.text = filtered(dialog, id, text);
    log_.push_back("typed " + where(dialog, id) + "=" + c.text);
    return c.text;
}

std::string ScriptedPlatform::pasteInto(ui::DialogId dialog, int id, const std::string& text) {
    Control& c = slot(dialog, id);
    if (c.readOnly || !c.enabled) return c.text;
    c.text = filtered(dialog, id, text, false);
    log_.push_back("pasted " + where(dialog, id) + "=" + c.text);
    return c.text;
}

bool ScriptedPlatform::clickControl(ui::ModalDialog& controller, int id, ui::DialogId dialog) {
    Control& c = slot(dialog, id);
    if (!c.enabled) return false;
    if (isCheckBox(dialog, id)) c.checked = !c.checked;
    if (isRadio(dialog, id)) c.checked = true;
    log_.push_back("clicked " + where(dialog, id));
    controller.command(id);
    return true;
}

std::vector<std::string> ScriptedPlatform::messageTexts() const {
    std::vector<std::string> out;
    for (const Message& m : messages_) out.push_back(m.text);
    return out;
}

std::string ScriptedPlatform::controlText(ui::DialogId dialog, int id) const { return control(id, dialog).text; }

void ScriptedPlatform::setControlText(ui::DialogId dialog, int id, std::string_view text) {
    slot(dialog, id).text = std::string(text);
    log_.push_back("text " + where(dialog, id) + "=" + std::string(text));
}

bool ScriptedPlatform::isEnabled(ui::DialogId dialog, int id) const { return control(id, dialog).enabled; }

void ScriptedPlatform::setEnabled(ui::DialogId dialog, int id, bool enabled) {
    slot(dialog, id).enabled = enabled;
    log_.push_back(std::string(enabled ? "enable " : "disable ") + where(dialog, id));
}

bool ScriptedPlatform::isChecked(ui::DialogId dialog, int id) const { return control(id, dialog).checked; }

void ScriptedPlatform::setChecked(ui::DialogId dialog, int id, bool checked) {
    slot(dialog, id).checked = checked;
    log_.push_back(std::string(checked ? "check " : "uncheck ") + where(dialog, id));
}

void ScriptedPlatform::setReadOnly(ui::DialogId dialog, int id, bool readOnly) {
    slot(dialog, id).readOnly = readOnly;
    log_.push_back(std::string(readOnly ? "readonly " : "editable ") + where(dialog, id));
}

void ScriptedPlatform::setInputLimit(ui::DialogId dialog, int id, int limit) {
    slot(dialog, id).limit = limit;
    log_.push_back("limit " + where(dialog, id) + "=" + std::to_string(limit));
}

void ScriptedPlatform::showMessage(const Message& message) {
    messages_.push_back(message);
    log_.push_back("message " + message.title + "|" + message.text + "|" + iconName(message.icon));
}

ui::QuestionAnswer ScriptedPlatform::askQuestion(const ui::Question& question) {
    questions_.push_back(question);
    log_.push_back("question " + question.title + "|" + question.text + "|" + question.checkBox);
    if (actions_.empty() || actions_.front().kind != UserAction::Kind::Answer) {
        ADD_FAILURE() << "a question box opened with no answer queued";
        return {};
    }
    const UserAction action = actions_.front();
    actions_.pop_front();
    return {action.id == 1, !action.text.empty()};
}

std::optional<std::string> ScriptedPlatform::answerFileDialog(bool save, const ui::FileDialogRequest& request) {
    fileDialogs_.push_back({save, request});
    log_.push_back(std::string(save ? "save dialog " : "open dialog ") + request.filter);
    if (actions_.empty()) {
        ADD_FAILURE() << "a file dialog opened with no answer queued";
        return std::nullopt;
    }
    const UserAction action = actions_.front();
    actions_.pop_front();
    if (action.kind == UserAction::Kind::ChooseFile) return action.text;
    if (action.kind != UserAction::Kind::CancelFile)
        ADD_FAILURE() << "a file dialog opened while the script expected a dialog action";
    return std::nullopt;
}

std::optional<std::string> ScriptedPlatform::openFileDialog(const ui::FileDialogRequest& request) {
    return answerFileDialog(false, request);
}

std::optional<std::string> ScriptedPlatform::saveFileDialog(const ui::FileDialogRequest& request) {
    return answerFileDialog(true, request);
}

ui::DialogResult ScriptedPlatform::runModal(ui::DialogId dialog, ui::ModalDialog& controller) {
    // A dialog opens with fresh controls every time it is shown.
    for (auto it = controls_.begin(); it != controls_.end();) {
        it = it->first.first == key(dialog) ? controls_.erase(it) : std::next(it);
    }
    dialogsShown_.push_back(dialog);
    log_.push_back("dialog " + std::to_string(key(dialog)));
    open_.emplace_back(dialog, std::nullopt);
    const std::size_t depth = open_.size();
    controller.initialise();
    while (!open_[depth - 1].second) {
        if (actions_.empty()) {
            ADD_FAILURE() << "dialog " << key(dialog) << " is open and no action is queued";
            open_[depth - 1].second = ui::DialogResult::Cancel;
            break;
        }
        const UserAction action = actions_.front();
        actions_.pop_front();
        if (action.dialog != dialog ||
            (action.kind != UserAction::Kind::Click && action.kind != UserAction::Kind::Type)) {
            ADD_FAILURE() << "dialog " << key(dialog) << " is open but the next action is for dialog "
                          << key(action.dialog);
            open_[depth - 1].second = ui::DialogResult::Cancel;
            break;
        }
        if (action.kind == UserAction::Kind::Type) {
            typeInto(dialog, action.id, action.text);
        } else {
            clickControl(controller, action.id, dialog);
        }
    }
    const ui::DialogResult result = *open_[depth - 1].second;
    open_.pop_back();
    log_.push_back("closed " + std::to_string(key(dialog)) + (result == ui::DialogResult::Ok ? " ok" : " cancel"));
    return result;
}

void ScriptedPlatform::endModal(ui::DialogId dialog, ui::DialogResult result) {
    if (open_.empty() || open_.back().first != dialog) {
        ADD_FAILURE() << "endModal for dialog " << key(dialog) << " which is not the innermost open dialog";
        return;
    }
    open_.back().second = result;
}

void ScriptedPlatform::showAbout() {
    ++aboutBoxes_;
    log_.push_back("about");
}

void ScriptedPlatform::setBusy(bool busy) {
    busyDepth_ += busy ? 1 : -1;
    ++busyCalls_;
    if (busyDepth_ < 0) ADD_FAILURE() << "the wait cursor was ended more often than started";
}

void ScriptedPlatform::repaint(ui::Region region) { repaints_.push_back(region); }

void ScriptedPlatform::endMainDialog() {
    mainEnded_ = true;
    // Built in place: GCC 12 follows a moved temporary of this length into
    // the short-string branch it never takes and warns of a read past it.
    log_.emplace_back("main dialog ended");
}

std::optional<ui::ClassesChoice> ScriptedPlatform::classesDialog(const ui::ClassesDialogRequest& request) {
    classesDialogs_.emplace_back(request.initial, request.describe ? request.describe(request.initial) : "");
    log_.push_back("classesDialog");
    if (classesAnswers_.empty()) {
        ADD_FAILURE() << "a classes dialog opened with no answer queued";
        return std::nullopt;
    }
    auto answer = classesAnswers_.front();
    classesAnswers_.pop_front();
    return answer;
}

bool ScriptedPlatform::progress(std::string_view, double fraction) {
    progress_.push_back(fraction);
    return !(cancelAt_ && progress_.size() == *cancelAt_ + 1);
}

}  // namespace plotvane::test
