#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "access/password_codec.h"
#include "database/database_writer.h"
#include "project/control_updates.h"
#include "project/feedback.h"
#include "project/map_project.h"
#include "project/progress.h"

// "Make PDB", written once for both front ends: the window runs it over its
// controls and dialogs, the command line over its options. A database made
// from the command line is therefore byte-identical to the window's.
namespace plotvane::app {

// What the access step receives, as the password input dialog opens with it.
struct PasswordRequest {
    MapBinding binding{};
    AccessMode current;  // readOnly, fullEdit, viewMode of the project
    bool loaded = false;  // a database was loaded: modes cannot change
};

// How the access step ended.
struct PasswordOutcome {
    bool ok = false;           // false: closed with OK after a refusal (or cancelled, below)
    bool cancelled = false;    // the dialog was cancelled: the make ends silently
    AccessMode mode;           // chosen modes, valid when ok
    EncodedPassword encoded{}; // valid when ok
};

// What differs between the window and the command line.
class MakeFrontEnd {
public:
    virtual ~MakeFrontEnd() = default;
    virtual Feedback& feedback() = 0;
    // Texts of the main dialog's edits by control id: the database name, the
    // version and the sixteen coordinate edits, as the user typed them.
    virtual std::string editText(int id) = 0;
    virtual void setEditText(int id, std::string_view text) = 0;
    virtual bool compressChecked() = 0;
    virtual bool ditherChecked() = 0;
    // The GPS-off button's action (buttons and `gpsEnabled`).
    virtual void switchGpsOff(MapProject& project) = 0;
    // The password input dialog, or the command line's options and stdin.
    virtual PasswordOutcome choosePassword(const PasswordRequest& request) = 0;
    // The save dialog, or -o; nullopt when cancelled.
    virtual std::optional<std::filesystem::path> chooseOutput() = 0;
    // What the writer's record divisions changed (COMPRESS box, UseRec rows).
    virtual void applyControlUpdates(const MapProject& project, const ControlUpdates& updates) = 0;
    virtual const Clock& clock() = 0;
    // Folder of the temporary files.
    virtual std::filesystem::path workDir() = 0;
    // Digits a coordinate fraction edit holds: two in the dialog, three
    // (thousandths of a second) on the command line.
    virtual std::size_t fractionDigits() { return 2; }
    // Told how far the writer is (a progress dialog, a progress line);
    // empty when nobody is. endProgress follows the writer's end.
    virtual Progress progress() { return {}; }
    virtual void endProgress() {}
};

// The steps of the "Make PDB" button in their order: coordinates (when GPS
// is on), class count, name and version, the GPS-with-compression caution,
// the access step, the output and the writer, the outcome message. True
// when a database was written; false after a refusal or a cancel, each
// already reported (or silent) as the dialog does it. A stop asked for
// through the front end's progress is a cancel: nothing is written, an
// existing database is left as it was, and no message is shown.
bool makeDatabaseCommand(MapProject& project, MakeFrontEnd& frontEnd);

}  // namespace plotvane::app
