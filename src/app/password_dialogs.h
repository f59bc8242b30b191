#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "access/password_codec.h"
#include "app/platform.h"

// The three password dialogs as controllers. They read and write their
// controls through the platform only; the computations are in the codec.
namespace plotvane::app {

// "PassWord Input": the access modes and the password of the database
// about to be made. OK always ends the dialog with the result OK; `ok()`
// tells whether the entry was accepted. Only Cancel ends it with Cancel.
class PasswordInputDialog : public ui::ModalDialog {
public:
    // `loaded`: a database was loaded in this run, so no mode may change.
    PasswordInputDialog(ui::Platform& platform, const MapBinding& binding, const AccessMode& current,
                        bool loaded);

    void initialise() override;
    void command(int controlId) override;

    bool ok() const { return ok_; }
    // The chosen modes and the EncodedPassword; meaningful when ok().
    const AccessMode& mode() const { return mode_; }
    const EncodedPassword& encoded() const { return encoded_; }

private:
    void radioClicked(int id);
    void showChoices();
    void accept();
    // Asks for the password again until it matches; false when cancelled.
    bool confirmedAgain(const std::string& first);

    ui::Platform& platform_;
    MapBinding binding_;
    bool loaded_;
    ModeChoices choices_;
    bool ok_ = false;
    AccessMode mode_;
    EncodedPassword encoded_{};
};

// "PassWord" with "Enter Password Again": the second entry of a password.
class PasswordAgainDialog : public ui::ModalDialog {
public:
    explicit PasswordAgainDialog(ui::Platform& platform) : platform_(platform) {}

    void initialise() override;
    void command(int controlId) override;

    // The text entered, when the dialog ended with OK.
    const std::string& entry() const { return entry_; }

private:
    ui::Platform& platform_;
    std::string entry_;
};

// "PassWord" with "Enter Password": the password of a database being loaded.
class PasswordCheckDialog : public ui::ModalDialog {
public:
    // `stored` is the database's EncodedPassword (8 bytes).
    PasswordCheckDialog(ui::Platform& platform, std::string_view stored, const MapBinding& binding);

    void initialise() override;
    void command(int controlId) override;

    // The modes found; ok is clear until OK accepted the entry.
    const PasswordCheck& result() const { return result_; }

private:
    ui::Platform& platform_;
    std::string stored_;
    MapBinding binding_;
    PasswordCheck result_;
};

// Runs the check dialog for a loaded database's password. nullopt when the
// user cancelled (the load stops silently); otherwise the check, whose ok
// is clear when the entry was refused (the load then reports it).
std::optional<PasswordCheck> runPasswordCheckDialog(ui::Platform& platform, std::string_view stored,
                                                    const MapBinding& binding);

}  // namespace plotvane::app
