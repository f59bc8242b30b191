#include "app/file_load.h"

#include <algorithm>
#include <optional>
#include <string>

#include "app/class_rows.h"
#include "app/password_dialogs.h"
#include "database/database_loader.h"
#include "database/input_rules.h"
#include "database/map_database.h"
#include "database/staged_restore.h"
#include "project/control_ids.h"
#include "project/files.h"

namespace plotvane::app {

namespace {

constexpr ui::DialogId kMain = ui::DialogId::Main;

const ui::FileDialogRequest kDatabaseDialog{"bitmap (*.pdb)|*.pdb||", ".pdb", false};

// The map's edits, in the order a read-only load locks them.
constexpr int kLockedEdits[] = {
    ids::kIdDatabaseName,           ids::kIdVersion,
    ids::kIdUpperLeftLatDegrees,    ids::kIdUpperLeftLatMinutes,     ids::kIdUpperLeftLatSeconds,
    ids::kIdUpperLeftLatFraction,   ids::kIdBottomRightLatDegrees,   ids::kIdBottomRightLatMinutes,
    ids::kIdBottomRightLatSeconds,  ids::kIdBottomRightLatFraction,  ids::kIdUpperLeftLongDegrees,
    ids::kIdUpperLeftLongMinutes,   ids::kIdUpperLeftLongSeconds,    ids::kIdUpperLeftLongFraction,
    ids::kIdBottomRightLongDegrees, ids::kIdBottomRightLongMinutes,  ids::kIdBottomRightLongSeconds,
    ids::kIdBottomRightLongFraction, ids::kIdInfoTextEdit};
// The edits a full-edit load opens again, in numeric order; the name stays locked.
constexpr int kEditableEdits[] = {
    ids::kIdVersion,                ids::kIdUpperLeftLatDegrees,     ids::kIdUpperLeftLatMinutes,
    ids::kIdUpperLeftLatSeconds,    ids::kIdUpperLeftLatFraction,    ids::kIdUpperLeftLongDegrees,
    ids::kIdUpperLeftLongMinutes,   ids::kIdUpperLeftLongSeconds,    ids::kIdUpperLeftLongFraction,
    ids::kIdBottomRightLatDegrees,  ids::kIdBottomRightLatMinutes,   ids::kIdBottomRightLatSeconds,
    ids::kIdBottomRightLatFraction, ids::kIdBottomRightLongDegrees,  ids::kIdBottomRightLongMinutes,
    ids::kIdBottomRightLongSeconds, ids::kIdBottomRightLongFraction, ids::kIdInfoTextEdit};

class DialogUpdate {
public:
    DialogUpdate(MapProject& project, ui::Platform& platform) : project_(project), platform_(platform) {}

    // The dialog after a successful restore.
    void run() {
        markDatabaseLoaded(project_);
        for (int id : ids::kIdClassButton) enable(id, false);
        enable(ids::kIdGpsOff, false);
        enable(ids::kIdInfoTextButton, false);
        enable(ids::kIdGpsOn, true);
        enable(ids::kIdColour, true);
        clearEdits();
        if (project_.access.readOnly == 1) lockForViewing();
        if (project_.access.fullEdit == 1) openForEditing();
        showCounter();
        // The digits after the leading "0"; a damaged field may hold fewer, or other bytes.
        const std::string version = project_.versionText.str();
        setText(ids::kIdVersion, windows1252ToUtf8(version.size() > 1 ? version.substr(1, 5) : std::string()));
        setText(ids::kIdDatabaseName, windows1252ToUtf8(project_.databaseName.str()));
        showClassRows();
        if (project_.gpsEnabled == 1) showCorners();
    }

private:
    void enable(int id, bool on) { platform_.setEnabled(kMain, id, on); }
    void setText(int id, std::string_view text) { platform_.setControlText(kMain, id, text); }
    void showCounter() { setText(ids::kIdInfoTextCounter, "0/" + std::to_string(project_.infoTextCount)); }

    void clearEdits() {
        for (const auto* column : {&ids::kIdClassTopxN, &ids::kIdClassWidth, &ids::kIdClassHeight, &ids::kIdClassUseRec})
            for (int id : *column) setText(id, "");
        for (const auto& angle : ids::kIdCoordinate)
            for (int id : angle) setText(id, "0");
        for (int id : {ids::kIdVersion, ids::kIdDatabaseName, ids::kIdInfoTextEdit}) setText(id, "");
        showCounter();
    }

    void lockForViewing() {
        platform_.showMessage(info("This PDB database is ReadOnly.", Icon::Exclamation));
        for (int id : kLockedEdits) platform_.setReadOnly(kMain, id, true);
        enable(ids::kIdGpsOn, true);
        enable(ids::kIdGpsOff, true);
        enable(ids::kIdMakePdb, false);
    }

    void openForEditing() {
        platform_.setReadOnly(kMain, ids::kIdDatabaseName, true);
        for (int id : kEditableEdits) platform_.setReadOnly(kMain, id, false);
        enable(ids::kIdInfoTextButton, true);
        if (project_.classCount >= 0 && project_.classCount < kClassSlots)
            enable(ids::kIdClassButton[project_.classCount], true);
        const bool gps = project_.gpsEnabled == 1;
        enable(ids::kIdGpsOff, gps);
        enable(ids::kIdGpsOn, !gps);
        enable(ids::kIdMakePdb, true);
    }

    void showClassRows() {
        for (int k = 0; k < project_.classCount && k < kClassSlots; ++k) showClassRow(platform_, project_, k);
    }

    void showCorners() {
        const GeoBounds& g = project_.geo;
        const DmsAngle* angles[4] = {&g.upperLeftLat, &g.upperLeftLong, &g.bottomRightLat, &g.bottomRightLong};
        for (int v = 0; v < 4; ++v) {
            const DmsAngle& a = *angles[v];
            const std::int32_t parts[4] = {a.degrees, a.minutes, a.seconds, a.milliseconds};
            for (int p = 0; p < 4; ++p) setText(ids::kIdCoordinate[v][p], std::to_string(parts[p]));
        }
    }

    MapProject& project_;
    ui::Platform& platform_;
};

// The password stage: false when the load stops here.
bool passwordStage(MapProject& project, FileLoadContext& context) {
    if (settleLoadedAccess(project) == LoadAccess::Settled) return true;
    const std::optional<PasswordCheck> check =
        runPasswordCheckDialog(context.platform, loadedPasswordOf(project), project.access.loadedBinding);
    if (!check) return false;
    return acceptPasswordCheck(project, *check, context.feedback);
}

// The restore stage into new files beside the RestoreFiles, put in their
// places (those of an earlier load swapped out) only once every class is
// complete; false when the load stops here.
bool restoreStage(const std::string& path, MapProject& loaded, FileLoadContext& context) {
    // Before the first load a RestoreFile on disk is another run's.
    if (loaded.access.loadedFlag == 0) {
        for (const char* name : kRestoreFileNames) {
            if (!fileExists(context.workDir / name)) continue;
            context.feedback.show(
                error("Plotvane use [" + std::string(name) + "]file. Please delete it.", Icon::Exclamation));
            return false;
        }
    }
    StagedRestore output([&context](int k) { return context.workDir / kRestoreFileNames[k - 1]; }, {path});
    // A cancel stops it as a failure would, silently.
    const Progress progress = [&context](double fraction) {
        return context.platform.progress("Loading the map database", fraction);
    };
    const RestoreResult restored = restoreDatabase(path, output, loaded, context.feedback, progress);
    context.platform.endProgress();
    if (restored != RestoreResult::Ok) return false;
    if (!output.commit()) {
        context.feedback.show(error("Cannot make bmp-file.", Icon::Exclamation));
        context.feedback.explain(output.problem());
        return false;
    }
    // The classes an earlier load had beyond this map's.
    for (int k = std::max(loaded.classCount, 0); k < kClassSlots; ++k)
        removeIfExists(context.workDir / kRestoreFileNames[k]);
    for (const char* name : kRestoreFileNames) context.pictures.forget(context.workDir / name);
    return true;
}

}  // namespace

void fileLoadCommand(MapProject& project, FileLoadContext& context) {
    const std::optional<std::string> path = context.platform.openFileDialog(kDatabaseDialog);
    if (!path) return;
    // Every stage works on a copy: a load that stops anywhere leaves the
    // project, the dialog and the RestoreFiles as they were.
    MapProject loaded = project;
    if (readDatabaseHeader(*path, loaded, context.feedback) != DatabaseCheck::Ok) return;
    if (!passwordStage(loaded, context)) return;
    if (!restoreStage(*path, loaded, context)) return;
    project = loaded;

    DialogUpdate(project, context.platform).run();
    // The preview shows the loaded map, not the raster of the one before.
    if (project.colourMode != ColourMode::Original) context.rebuildWorkRaster(project.colourMode);
    context.platform.repaint(ui::Region::ClassIndicator);
    context.platform.repaint(ui::Region::PreviewArea);
}

}  // namespace plotvane::app
