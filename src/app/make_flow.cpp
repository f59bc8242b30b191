#include "app/make_flow.h"

#include <algorithm>

#include "database/input_rules.h"
#include "database/make_database.h"
#include "project/control_ids.h"

namespace plotvane::app {

namespace {

Message notMade() { return info("Do not make Map Database File.", Icon::Exclamation); }

// The corner coordinates, when GPS is on. False after a refusal, with the
// calibration switched off; the parts parsed before it keep their values.
bool takeCoordinates(MapProject& project, MakeFrontEnd& frontEnd) {
    CoordinateTexts texts;
    for (const CoordinateField& field : kCoordinateParseOrder)
        texts.at(field.value, field.part) = frontEnd.editText(field.controlId);
    const CoordinateParse parse = parseCoordinates(texts, project.geo, frontEnd.feedback(), frontEnd.fractionDigits());
    if (parse.result != 0) {
        frontEnd.switchGpsOff(project);
        return false;
    }
    for (const CoordinateField& field : kCoordinateParseOrder)
        frontEnd.setEditText(field.controlId, parse.writeBack.at(field.value, field.part));
    return true;
}

// Name, then version; both always run, and each refused edit is emptied
// right after its own message.
bool takeIdentity(MapProject& project, MakeFrontEnd& frontEnd) {
    Feedback& feedback = frontEnd.feedback();
    const FieldRule name = applyDatabaseNameRule(frontEnd.editText(ids::kIdDatabaseName), project.databaseName, feedback);
    if (name.emptyControl) frontEnd.setEditText(ids::kIdDatabaseName, "");
    const FieldRule version = applyVersionRule(frontEnd.editText(ids::kIdVersion), project.versionText, feedback);
    if (version.emptyControl) frontEnd.setEditText(ids::kIdVersion, "");
    if (name.result == 0 && version.result == 0) return true;
    feedback.show(error("Cannot make Map Database!", Icon::Exclamation));
    return false;
}

enum class SaveStep { Written, Failed, Cancelled };

// The output file and the writer. Failed when the user cancelled the save
// dialog or the writer failed (after its messages); Cancelled when the
// user stopped the writer.
SaveStep saveStep(MapProject& project, MakeFrontEnd& frontEnd) {
    const std::optional<std::filesystem::path> output = frontEnd.chooseOutput();
    if (!output) return SaveStep::Failed;
    SaveOptions options;
    options.compressChecked = frontEnd.compressChecked();
    options.ditherChecked = frontEnd.ditherChecked();
    options.workDir = frontEnd.workDir();
    bool stopped = false;
    if (const Progress report = frontEnd.progress()) {
        options.progress = [report, &stopped](double fraction) {
            stopped = !report(fraction);
            return !stopped;
        };
    }
    ControlUpdates updates;
    const bool written = saveMapDatabase(project, *output, options, frontEnd.clock(), frontEnd.feedback(), updates);
    frontEnd.endProgress();
    frontEnd.applyControlUpdates(project, updates);
    if (written) return SaveStep::Written;
    return stopped ? SaveStep::Cancelled : SaveStep::Failed;
}

}  // namespace

bool makeDatabaseCommand(MapProject& project, MakeFrontEnd& frontEnd) {
    Feedback& feedback = frontEnd.feedback();
    if (project.gpsEnabled != 0 && !takeCoordinates(project, frontEnd)) return false;
    if (project.classCount == 0) return false;
    if (!takeIdentity(project, frontEnd)) return false;

    if (project.gpsEnabled != 0 && project.compressFlag != 0)
        feedback.show(warning("CAUTION!\n Please use Non Compression Data for the GPS Data.\n Compression Data "
                              "display slowly.",
                              Icon::Exclamation));

    AccessSettings& access = project.access;
    access.encodedPassword.fill('\0');
    PasswordRequest request;
    request.binding = mapBindingOf(project);
    request.current = AccessMode{access.readOnly, access.fullEdit, access.viewMode};
    request.loaded = access.loadedFlag != 0;
    const PasswordOutcome outcome = frontEnd.choosePassword(request);
    if (outcome.cancelled) return false;
    if (!outcome.ok) {
        feedback.show(notMade());
        return false;
    }
    access.fullEdit = outcome.mode.fullEdit;
    access.viewMode = outcome.mode.viewMode;
    access.readOnly = outcome.mode.readOnly;
    std::copy(outcome.encoded.begin(), outcome.encoded.end(), access.encodedPassword.begin());

    const SaveStep saved = saveStep(project, frontEnd);
    if (saved == SaveStep::Cancelled) return false;
    if (saved == SaveStep::Failed) {
        feedback.show(notMade());
        return false;
    }
    feedback.show({"Plotvane", "Success : Map Database making", Icon::None});
    return true;
}

}  // namespace plotvane::app
