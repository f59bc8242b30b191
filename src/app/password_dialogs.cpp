#include "app/password_dialogs.h"

#include <array>

#include "app/dialog_layout.h"
#include "project/control_ids.h"

namespace plotvane::app {

namespace {

using ui::DialogId;
using ui::DialogResult;

// The five radio buttons and the choice each one stands for. Each button
// is a group of its own, so the dialog keeps them exclusive.
struct Radio {
    int id;
    bool ModeChoices::*choice;
};

constexpr std::array<Radio, 5> kRadios = {{
    {ids::kIdReadOnly, &ModeChoices::readOnly},
    {ids::kIdFullEdit, &ModeChoices::fullEdit},
    {ids::kIdNonPassword, &ModeChoices::nonPassword},
    {ids::kIdInformation, &ModeChoices::information},
    {ids::kIdAllView, &ModeChoices::allView},
}};

const Radio* radioOf(int id) {
    for (const Radio& r : kRadios)
        if (r.id == id) return &r;
    return nullptr;
}

// Choosing one button clears the others of its box.
void choose(ModeChoices& c, int id) {
    switch (id) {
    case ids::kIdReadOnly: c.readOnly = true; c.fullEdit = false; break;
    case ids::kIdFullEdit: c.fullEdit = true; c.readOnly = false; break;
    case ids::kIdNonPassword: c.nonPassword = true; c.information = false; c.allView = false; break;
    case ids::kIdInformation: c.information = true; c.nonPassword = false; c.allView = false; break;
    case ids::kIdAllView: c.allView = true; c.nonPassword = false; c.information = false; break;
    default: break;
    }
}

void openEmptyField(ui::Platform& platform, DialogId dialog) {
    platform.setInputLimit(dialog, ids::kIdPasswordEdit, ui::inputLimit(dialog, ids::kIdPasswordEdit));
    platform.setControlText(dialog, ids::kIdPasswordEdit, "");
}

}  // namespace

// ---- PasswordInputDialog -----------------------------------------------------

PasswordInputDialog::PasswordInputDialog(ui::Platform& platform, const MapBinding& binding,
                                         const AccessMode& current, bool loaded)
    : platform_(platform), binding_(binding), loaded_(loaded), choices_(choicesFor(current)), mode_(current) {}

void PasswordInputDialog::initialise() {
    ok_ = false;
    openEmptyField(platform_, DialogId::PasswordInput);
    showChoices();
}

void PasswordInputDialog::showChoices() {
    for (const Radio& r : kRadios) platform_.setChecked(DialogId::PasswordInput, r.id, choices_.*r.choice);
    platform_.setReadOnly(DialogId::PasswordInput, ids::kIdPasswordEdit, usesFixedReadOnlyPassword(choices_));
}

void PasswordInputDialog::command(int controlId) {
    if (controlId == ids::kIdOk) {
        accept();
        platform_.endModal(DialogId::PasswordInput, DialogResult::Ok);
    } else if (controlId == ids::kIdCancel) {
        platform_.endModal(DialogId::PasswordInput, DialogResult::Cancel);
    } else if (radioOf(controlId) != nullptr) {
        radioClicked(controlId);
    }
}

void PasswordInputDialog::radioClicked(int id) {
    if (choices_.*(radioOf(id)->choice)) return;
    if (loaded_) {
        platform_.showMessage(warning("The loading PDB-file cannot change mode.", Icon::Exclamation));
        platform_.setChecked(DialogId::PasswordInput, id, false);
        return;
    }
    choose(choices_, id);
    showChoices();
}

void PasswordInputDialog::accept() {
    ok_ = false;
    const bool fixed = usesFixedReadOnlyPassword(choices_);
    const std::string password = fixed ? std::string(kFixedReadOnlyPassword)
                                       : platform_.controlText(DialogId::PasswordInput, ids::kIdPasswordEdit);
    ui::PlatformFeedback feedback(platform_);
    if (!checkPasswordRule(password, feedback)) return;
    if (!fixed && !confirmedAgain(password)) return;

    mode_ = deriveAccessMode(choices_);
    encoded_ = encodePassword(password, accessCodeOf(mode_), binding_);
    ok_ = true;
}

bool PasswordInputDialog::confirmedAgain(const std::string& first) {
    for (;;) {
        PasswordAgainDialog again(platform_);
        if (platform_.runModal(DialogId::PasswordAgain, again) != DialogResult::Ok) return false;
        if (again.entry() == first) return true;
        platform_.showMessage(error("This Password is not same first-password !", Icon::Exclamation));
    }
}

// ---- PasswordAgainDialog -----------------------------------------------------

void PasswordAgainDialog::initialise() {
    entry_.clear();
    openEmptyField(platform_, DialogId::PasswordAgain);
}

void PasswordAgainDialog::command(int controlId) {
    if (controlId == ids::kIdOk) {
        entry_ = platform_.controlText(DialogId::PasswordAgain, ids::kIdPasswordEdit).substr(0, kPasswordLength);
        platform_.endModal(DialogId::PasswordAgain, DialogResult::Ok);
    } else if (controlId == ids::kIdCancel) {
        platform_.endModal(DialogId::PasswordAgain, DialogResult::Cancel);
    }
}

// ---- PasswordCheckDialog -----------------------------------------------------

PasswordCheckDialog::PasswordCheckDialog(ui::Platform& platform, std::string_view stored, const MapBinding& binding)
    : platform_(platform), stored_(stored), binding_(binding) {}

void PasswordCheckDialog::initialise() {
    result_ = {};
    openEmptyField(platform_, DialogId::PasswordCheck);
}

void PasswordCheckDialog::command(int controlId) {
    if (controlId == ids::kIdOk) {
        ui::PlatformFeedback feedback(platform_);
        result_ = checkPassword(platform_.controlText(DialogId::PasswordCheck, ids::kIdPasswordEdit), stored_,
                                binding_, feedback);
        platform_.endModal(DialogId::PasswordCheck, DialogResult::Ok);
    } else if (controlId == ids::kIdCancel) {
        platform_.endModal(DialogId::PasswordCheck, DialogResult::Cancel);
    }
}

std::optional<PasswordCheck> runPasswordCheckDialog(ui::Platform& platform, std::string_view stored,
                                                    const MapBinding& binding) {
    PasswordCheckDialog dialog(platform, stored, binding);
    if (platform.runModal(ui::DialogId::PasswordCheck, dialog) != ui::DialogResult::Ok) return std::nullopt;
    return dialog.result();
}

}  // namespace plotvane::app
