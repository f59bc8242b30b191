#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "app/make_flow.h"
#include "app/platform.h"

namespace plotvane::app {

// "Make PDB" as the main dialog runs it: the edits and check boxes of the
// main dialog, the password input dialog, the save dialog and message
// boxes, all through the platform. Construct one per press of the button:
//     DialogMakeFrontEnd frontEnd(platform, clock, workDir);
//     makeDatabaseCommand(project, frontEnd);
class DialogMakeFrontEnd : public MakeFrontEnd {
public:
    // `workDir` holds the temporary files.
    DialogMakeFrontEnd(ui::Platform& platform, const Clock& clock, std::filesystem::path workDir);

    Feedback& feedback() override { return feedback_; }
    std::string editText(int id) override;
    void setEditText(int id, std::string_view text) override;
    bool compressChecked() override;
    bool ditherChecked() override;
    void switchGpsOff(MapProject& project) override;
    PasswordOutcome choosePassword(const PasswordRequest& request) override;
    std::optional<std::filesystem::path> chooseOutput() override;
    void applyControlUpdates(const MapProject& project, const ControlUpdates& updates) override;
    const Clock& clock() override { return clock_; }
    std::filesystem::path workDir() override { return workDir_; }
    // The progress dialog, shown once the writer has taken half a second.
    Progress progress() override;
    void endProgress() override;

private:
    ui::Platform& platform_;
    ui::PlatformFeedback feedback_;
    const Clock& clock_;
    std::filesystem::path workDir_;
};

}  // namespace plotvane::app
