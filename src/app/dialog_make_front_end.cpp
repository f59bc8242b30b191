#include "app/dialog_make_front_end.h"

#include <utility>

#include "app/class_rows.h"
#include "app/password_dialogs.h"
#include "project/control_ids.h"

namespace plotvane::app {

namespace {
constexpr ui::DialogId kMain = ui::DialogId::Main;
}

DialogMakeFrontEnd::DialogMakeFrontEnd(ui::Platform& platform, const Clock& clock, std::filesystem::path workDir)
    : platform_(platform), feedback_(platform), clock_(clock), workDir_(std::move(workDir)) {}

std::string DialogMakeFrontEnd::editText(int id) { return platform_.controlText(kMain, id); }

void DialogMakeFrontEnd::setEditText(int id, std::string_view text) { platform_.setControlText(kMain, id, text); }

bool DialogMakeFrontEnd::compressChecked() { return platform_.isChecked(kMain, ids::kIdCompress); }

bool DialogMakeFrontEnd::ditherChecked() { return platform_.isChecked(kMain, ids::kIdDithering); }

void DialogMakeFrontEnd::switchGpsOff(MapProject& project) {
    project.gpsEnabled = 0;
    platform_.setEnabled(kMain, ids::kIdGpsOff, false);
    platform_.setEnabled(kMain, ids::kIdGpsOn, true);
}

PasswordOutcome DialogMakeFrontEnd::choosePassword(const PasswordRequest& request) {
    PasswordInputDialog dialog(platform_, request.binding, request.current, request.loaded);
    PasswordOutcome outcome;
    if (platform_.runModal(ui::DialogId::PasswordInput, dialog) != ui::DialogResult::Ok) {
        outcome.cancelled = true;
        return outcome;
    }
    outcome.ok = dialog.ok();
    outcome.mode = dialog.mode();
    outcome.encoded = dialog.encoded();
    return outcome;
}

std::optional<std::filesystem::path> DialogMakeFrontEnd::chooseOutput() {
    ui::FileDialogRequest request;
    request.filter = "Database for Orbilune(*.pdb)|*.pdb||";
    request.defaultExtension = ".pdb";
    request.confirmOverwrite = true;
    const std::optional<std::string> chosen = platform_.saveFileDialog(request);
    if (!chosen || chosen->empty()) return std::nullopt;
    return std::filesystem::path(*chosen);
}

Progress DialogMakeFrontEnd::progress() {
    return [this](double fraction) { return platform_.progress("Making the map database", fraction); };
}

void DialogMakeFrontEnd::endProgress() { platform_.endProgress(); }

void DialogMakeFrontEnd::applyControlUpdates(const MapProject& project, const ControlUpdates& updates) {
    app::applyControlUpdates(platform_, project, updates);
}

}  // namespace plotvane::app
