#include "app/main_dialog.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/class_rows.h"
#include "app/dialog_layout.h"
#include "app/dialog_make_front_end.h"
#include "app/file_load.h"
#include "app/make_flow.h"
#include "import/georeference.h"
#include "import/picture_import.h"
#include "database/input_rules.h"
#include "project/control_ids.h"
#include "project/files.h"
#include "raster/record_division.h"
#include "raster/work_raster.h"

namespace plotvane::app {

namespace {

constexpr ui::DialogId kMain = ui::DialogId::Main;
constexpr int kStep = 80;

// The client rectangle of the preview and its centre pixel.
constexpr int kCentreClientX = 390;
constexpr int kCentreClientY = 160;

// BMP first, as ever; the other pictures enter through their BMP twins.
const ui::FileDialogRequest kBitmapDialog{std::string("bitmap (*.bmp)|*.bmp|picture (") +
                                              import::kPictureFilterPatterns + ")|" +
                                              import::kPictureFilterPatterns + "||",
                                          ".bmp", false};

// The question box's offer for a map in another projection.
constexpr const char* kReprojectCheckBox = "Reproject the classes to latitude/longitude (positions then exact)";

// The bytes the information text is stored as. The edit takes only
// characters Windows-1252 holds; anything else that reaches here is left out
// rather than refusing the whole text.
std::string storedInfoText(std::string_view utf8) {
    if (auto bytes = utf8ToWindows1252(utf8)) return bytes->substr(0, kInfoTextBytes);
    std::string out;
    for (std::size_t i = 0; i < utf8.size() && out.size() < kInfoTextBytes;) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        std::size_t n = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        n = std::min(n, utf8.size() - i);
        if (auto byte = utf8ToWindows1252(utf8.substr(i, n))) out += *byte;
        i += n;
    }
    return out.substr(0, kInfoTextBytes);
}

ColourMode nextColourMode(ColourMode mode) {
    switch (mode) {
    case ColourMode::Bpp8: return ColourMode::Bpp4;
    case ColourMode::Bpp4: return ColourMode::Bpp2;
    case ColourMode::Bpp2: return ColourMode::Bpp1;
    default: return ColourMode::Bpp8;  // after Original, 1 and anything else
    }
}

}  // namespace

MainDialog::MainDialog(ui::Platform& platform, std::filesystem::path workDir, const Clock& clock)
    : platform_(platform), workDir_(std::move(workDir)), clock_(clock), feedback_(platform) {}

std::filesystem::path MainDialog::previewRasterPath() const { return workDir_ / kPreviewRasterName; }

bool MainDialog::create() {
    for (const char* name : kRestoreFileNames) {
        if (!fileExists(workDir_ / name)) continue;
        platform_.showMessage(error("Plotvane use [" + std::string(name) + "]file. Please delete it.", Icon::Exclamation));
        project_.tempFilesInUse = 1;
        return false;
    }
    return true;
}

void MainDialog::initialise() {
    for (int id : {ids::kIdClassButton[0], ids::kIdGpsOn, ids::kIdColour}) platform_.setEnabled(kMain, id, true);
    for (int id : {ids::kIdClassButton[1], ids::kIdClassButton[2], ids::kIdClassButton[3], ids::kIdGpsOff,
                   ids::kIdInfoTextButton})
        platform_.setEnabled(kMain, id, false);

    for (const ui::ControlLayout& row : ui::dialogLayout(kMain).controls)
        if (row.inputLimit > 0) platform_.setInputLimit(kMain, row.id, row.inputLimit);

    for (const auto& angle : ids::kIdCoordinate)
        for (int id : angle) setText(id, "0");
    setText(ids::kIdInfoTextEdit, "");

    project_.reset();
    showCounter(0);

    project_.ditherFlag = 0;
    project_.compressFlag = 0;
    platform_.setChecked(kMain, ids::kIdDithering, false);
    platform_.setChecked(kMain, ids::kIdCompress, false);

    project_.colourMode = ColourMode::Original;
    project_.sourceBitDepth = 24;
    project_.requestedColourMode = ColourMode::Original;
    project_.systemPalette = systemPaletteTable();
    pictures_.clear();
}

void MainDialog::command(int controlId) {
    for (int k = 0; k < kClassSlots; ++k) {
        if (controlId == ids::kIdClassButton[k]) return chooseClass(k);
    }
    switch (controlId) {
    case ids::kIdInfo: platform_.showAbout(); return;
    case ids::kIdCancel: close(); return;
    case ids::kIdUp: move(0, -kStep); return;
    case ids::kIdDown: move(0, kStep); return;
    case ids::kIdLeft: move(-kStep, 0); return;
    case ids::kIdRight: move(kStep, 0); return;
    case ids::kIdZoomIn: zoomIn(); return;
    case ids::kIdZoomOut: zoomOut(); return;
    case ids::kIdColour: cycleColourMode(); return;
    case ids::kIdDithering: ditheringToggled(); return;
    case ids::kIdCompress: compressToggled(); return;
    case ids::kIdGpsOn: switchGps(true); return;
    case ids::kIdGpsOff: switchGps(false); return;
    case ids::kIdInfoTextButton: infoTextButton(); return;
    case ids::kIdMakePdb: makeDatabase(); return;
    case ids::kIdFileLoad: loadDatabase(); return;
    default: return;
    }
}

void MainDialog::systemCommand(int command) {
    if ((command & ~0xF) == ids::kSysCommandAbout) platform_.showAbout();
    if ((command & ~0xF) == ids::kSysCommandMakeClasses) makeClassesFromPicture();
}

void MainDialog::close() { platform_.endMainDialog(); }

void MainDialog::destroy() {
    pictures_.clear();
    if (project_.tempFilesInUse == 0) {
        for (const char* name : kRestoreFileNames) removeIfExists(workDir_ / name);
    }
    for (const char* name : {kPreviewRasterName, kDatabaseRasterName, kCompressionFileName})
        removeIfExists(workDir_ / name);
    import::removePictureTwins(workDir_);
}

// ---- Class rows ---------------------------------------------------------------

void MainDialog::chooseClass(int classIndex) {
    // Rows fill strictly in order: only the next free row's button acts.
    if (project_.classCount != classIndex) return;

    const std::optional<std::string> path = platform_.openFileDialog(kBitmapDialog);
    if (path && pickClass(classIndex, *path) && classIndex == 0) offerPictureCorners(*path);
}

bool MainDialog::pickClass(int classIndex, const std::string& path) {
    import::ClassPicture picture;
    if (import::enterClassPicture(path, workDir_, feedback_, picture) != import::PictureResult::Entered) return false;
    const bool reproject = warp_ && (classIndex == 0 || project_.classes[0].fileName.str() == warpedClassOne_);
    // A class refused after its reprojection leaves the warp as it was.
    const std::optional<import::ClassWarp> warpBefore = reproject ? warp_ : std::nullopt;
    if (reproject) {
        std::filesystem::path warped;
        if (warp_->warpClass(classIndex, picture.rulesPath, std::filesystem::path(path).filename().string(), workDir_,
                             feedback_, warped) != import::WarpResult::Warped)
            return false;
        picture.rulesPath = warped;
        picture.converted = true;
    }
    ControlUpdates updates;
    if (checkClassBitmap(project_, picture.rulesPath, classIndex, checked(ids::kIdCompress), feedback_, updates) !=
        ClassBitmapResult::Ok) {
        if (reproject) warp_ = warpBefore;
        applyControlUpdates(updates, false);
        return false;
    }
    if (reproject && classIndex == 0) warpedClassOne_ = picture.rulesPath.string();
    MapClassEntry& entry = project_.classes[static_cast<std::size_t>(classIndex)];
    setText(ids::kIdClassFileName[classIndex], path);
    entry.fileName.assign(picture.rulesPath.string());
    entry.pictureName.assign(picture.converted ? path : std::string());
    // A new file under a name shown before must be read again.
    pictures_.forget(picture.rulesPath.string());
    showClassRow(platform_, project_, classIndex);
    applyControlUpdates(updates, false);

    project_.classCount = classIndex + 1;
    platform_.setEnabled(kMain, ids::kIdClassButton[classIndex], false);
    if (classIndex + 1 < kClassSlots) platform_.setEnabled(kMain, ids::kIdClassButton[classIndex + 1], true);

    project_.previewClass = project_.classCount;
    applyInfoButtonAccess();
    project_.previewCentreX = 80;
    project_.previewCentreY = 80;
    // The preview never shows the raster of the class shown before.
    if (project_.colourMode != ColourMode::Original) rebuildWorkRaster(project_.requestedColourMode);
    platform_.repaint(ui::Region::ClassIndicator);
    platform_.repaint(ui::Region::PreviewArea);
    return true;
}

void MainDialog::offerPictureCorners(const std::string& picture, const import::PictureGrid* grid) {
    import::Georeference geo;
    const import::GeoreferenceStatus status = grid != nullptr ? import::readGeoreference(picture, *grid, geo, feedback_)
                                                              : import::readGeoreference(picture, geo, feedback_);
    if (status != import::GeoreferenceStatus::Found) return;
    // In pixels of the most detailed class chosen so far: the error grows
    // with the magnification.
    const import::DetailedClass detailed = import::mostDetailedClass(project_, geo);
    std::string text = import::georeferenceSummary(geo, detailed);
    if (import::interpolationOffMoreThanPixel(geo, detailed)) text += "\nCAUTION: that is more than one pixel.";
    text += "\n\nFill in the corner coordinates and switch GPS on?";
    // Plain latitude and longitude need no reprojection.
    const ui::QuestionAnswer answer =
        platform_.askQuestion({"Plotvane", text, geo.latLong ? "" : kReprojectCheckBox});
    if (!answer.yes) return;
    if (!answer.checkBoxChecked || geo.latLong) {
        fillCorners(geo);
        return;
    }
    warp_ = import::ClassWarp::plan(geo, feedback_);
    if (!warp_) return;
    // The classes chosen so far again, reprojected; when one is refused,
    // they stay as they were.
    std::vector<std::string> chosen;
    for (int k = 0; k < std::min<int>(project_.classCount, kClassSlots); ++k) {
        const MapClassEntry& entry = project_.classes[static_cast<std::size_t>(k)];
        chosen.push_back(entry.pictureName.empty() ? entry.fileName.str() : entry.pictureName.str());
    }
    const auto pickAll = [&] {
        for (int k = 0; k < static_cast<int>(chosen.size()); ++k)
            if (!pickClass(k, chosen[static_cast<std::size_t>(k)])) return false;
        return true;
    };
    if (!pickAll()) {
        warp_.reset();
        pickAll();
        return;
    }
    fillCorners(warp_->georeference());
}

void MainDialog::fillCorners(const import::Georeference& geo) {
    // As typed: the fraction edits hold hundredths of a second.
    const GeoBounds bounds = import::cornerBounds(geo);
    const std::uint32_t totals[4] = {bounds.upperLeftLatTotal, bounds.upperLeftLongTotal, bounds.bottomRightLatTotal,
                                     bounds.bottomRightLongTotal};
    for (int v = 0; v < 4; ++v) {
        const std::uint32_t hundredths = (totals[v] + 5) / 10;
        char fraction[4];
        std::snprintf(fraction, sizeof fraction, "%02u", static_cast<unsigned>(hundredths % 100));
        setText(ids::kIdCoordinate[v][0], std::to_string(hundredths / 360000));
        setText(ids::kIdCoordinate[v][1], std::to_string(hundredths / 6000 % 60));
        setText(ids::kIdCoordinate[v][2], std::to_string(hundredths / 100 % 60));
        setText(ids::kIdCoordinate[v][3], fraction);
    }
    switchGps(true);
}

// ---- Preview navigation -----------------------------------------------------------

void MainDialog::move(int dx, int dy) {
    if (project_.previewClass < 1) return;
    const MapClassEntry& shown = project_.classes[static_cast<std::size_t>(project_.previewClass - 1)];
    const auto step = [](std::int32_t value, int delta, int size) {
        const std::int64_t moved = static_cast<std::int64_t>(value) + delta;
        if (delta < 0) return static_cast<std::int32_t>(std::max<std::int64_t>(moved, 0));
        return static_cast<std::int32_t>(moved >= size ? size - 1 : moved);
    };
    if (dx != 0) project_.previewCentreX = step(project_.previewCentreX, dx, shown.width);
    if (dy != 0) project_.previewCentreY = step(project_.previewCentreY, dy, shown.height);
    platform_.repaint(ui::Region::PreviewArea);
}

void MainDialog::zoomIn() {
    const int c = project_.previewClass;
    if (c >= kClassSlots || c >= project_.classCount) return;
    const std::int32_t magnification = project_.classes[static_cast<std::size_t>(c)].magnification;
    project_.previewClass = c + 1;
    project_.previewCentreX *= magnification;
    project_.previewCentreY *= magnification;
    applyInfoButtonAccess();
    rebuildWorkRaster(project_.requestedColourMode);
    platform_.repaint(ui::Region::ClassIndicator);
    platform_.repaint(ui::Region::PreviewArea);
}

void MainDialog::zoomOut() {
    const int c = project_.previewClass;
    if (c < 2 || c > kClassSlots) return;
    const std::int32_t magnification = project_.classes[static_cast<std::size_t>(c - 1)].magnification;
    if (magnification != 0) {
        project_.previewCentreX /= magnification;
        project_.previewCentreY /= magnification;
    }
    project_.previewClass = c - 1;
    applyInfoButtonAccess();
    rebuildWorkRaster(project_.requestedColourMode);
    platform_.repaint(ui::Region::ClassIndicator);
    platform_.repaint(ui::Region::PreviewArea);
}

void MainDialog::cycleColourMode() {
    if (project_.previewClass < 1) return;
    const ColourMode mode = nextColourMode(project_.colourMode);
    project_.requestedColourMode = mode;
    if (mode != project_.colourMode) {
        if (!rebuildWorkRaster(mode)) project_.requestedColourMode = project_.colourMode;
    }
    platform_.repaint(ui::Region::ColourIndicator);
    platform_.repaint(ui::Region::PreviewArea);
}

void MainDialog::ditheringToggled() {
    if (project_.previewClass < 1 || project_.requestedColourMode == ColourMode::Original) return;
    const bool box = checked(ids::kIdDithering);
    if (box != (project_.ditherFlag != 0)) {
        if (rebuildWorkRaster(project_.requestedColourMode)) project_.ditherFlag = box ? 1 : 0;
    }
    platform_.repaint(ui::Region::ColourIndicator);
    platform_.repaint(ui::Region::PreviewArea);
}

void MainDialog::compressToggled() {
    ControlUpdates updates;
    redivideAfterCompressToggle(project_, checked(ids::kIdCompress), feedback_, updates);
    applyControlUpdates(updates);
}

void MainDialog::switchGps(bool on) {
    const int button = on ? ids::kIdGpsOn : ids::kIdGpsOff;
    if (!platform_.isEnabled(kMain, button)) return;
    project_.gpsEnabled = on ? 1 : 0;
    platform_.setEnabled(kMain, ids::kIdGpsOn, !on);
    platform_.setEnabled(kMain, ids::kIdGpsOff, on);
}

void MainDialog::mousePress(int x, int y, unsigned buttons, unsigned modifiers) {
    if (buttons != kLeftButton || modifiers != 0) return;
    if (x < kPreviewAreaRect.left || x >= kPreviewAreaRect.right || y < kPreviewAreaRect.top ||
        y >= kPreviewAreaRect.bottom)
        return;
    if (project_.previewClass < 1 || project_.previewClass > kClassSlots) return;

    const MapClassEntry& shown = project_.classes[static_cast<std::size_t>(project_.previewClass - 1)];
    const auto clamp = [](std::int64_t value, int size) {
        if (value >= size) value = size - 1;
        return static_cast<std::int32_t>(value < 0 ? 0 : value);
    };
    project_.previewCentreX = clamp(static_cast<std::int64_t>(project_.previewCentreX) + x - kCentreClientX, shown.width);
    project_.previewCentreY = clamp(static_cast<std::int64_t>(project_.previewCentreY) + y - kCentreClientY, shown.height);

    if (project_.previewClass == 1) {
        project_.selectedInfoText = 0;
        const int count = std::min<int>(project_.infoTextCount, kInfoTextSlots);
        for (int i = 0; i < count; ++i) {
            const auto s = static_cast<std::size_t>(i);
            if (project_.infoLeft[s] <= project_.previewCentreX && project_.previewCentreX <= project_.infoRight[s] &&
                project_.infoTop[s] <= project_.previewCentreY && project_.previewCentreY <= project_.infoBottom[s]) {
                project_.selectedInfoText = static_cast<std::int8_t>(i + 1);
                break;
            }
        }
        if (project_.selectedInfoText > 0) {
            setText(ids::kIdInfoTextEdit, windows1252ToUtf8(project_.infoText(project_.selectedInfoText - 1).text));
        } else {
            setText(ids::kIdInfoTextEdit, "");
        }
        showCounter(project_.selectedInfoText);
    }
    platform_.repaint(ui::Region::PreviewArea);
}

// ---- Information texts ------------------------------------------------------------

void MainDialog::infoTextButton() {
    if (!platform_.isEnabled(kMain, ids::kIdInfoTextButton)) return;
    const std::string bytes = storedInfoText(platform_.controlText(kMain, ids::kIdInfoTextEdit));
    applyInfoTextButton(project_, bytes, feedback_);
    setText(ids::kIdInfoTextEdit, "");
    showCounter(0);
    project_.selectedInfoText = 0;
    platform_.repaint(ui::Region::PreviewArea);
}

// ---- Make PDB -----------------------------------------------------------------------

void MainDialog::makeDatabase() {
    DialogMakeFrontEnd frontEnd(platform_, clock_, workDir_);
    makeDatabaseCommand(project_, frontEnd);
}

// ---- File Load ----------------------------------------------------------------------

void MainDialog::loadDatabase() {
    FileLoadContext context{platform_, feedback_, workDir_, pictures_,
                            [this](ColourMode mode) { return rebuildLoadedPreview(mode); }};
    fileLoadCommand(project_, context);
}

// ---- Paint --------------------------------------------------------------------------

PreviewDescription MainDialog::describePreview(bool minimised, int clientWidth, int clientHeight, int iconWidth,
                                               int iconHeight) {
    PreviewDescription description;
    if (minimised) {
        placeMinimisedIcon(description, clientWidth, clientHeight, iconWidth, iconHeight);
        return description;
    }
    description.classDigit = classIndicatorDigit(project_.previewClass);
    description.colourCaption = colourIndicatorCaption(project_.colourMode);
    description.spoken = previewSpoken(project_.previewClass, description.colourCaption, project_.previewCentreX,
                                       project_.previewCentreY);
    const int shown = project_.previewClass;
    if (shown >= 1 && shown <= project_.classCount && shown <= kClassSlots) {
        std::filesystem::path file;
        if (project_.colourMode == ColourMode::Original) {
            file = project_.classes[static_cast<std::size_t>(shown - 1)].fileName.str();
        } else {
            // Whether or not the rebuild succeeds, the raster file is what is shown.
            if (project_.colourMode != project_.requestedColourMode) rebuildWorkRaster(project_.requestedColourMode);
            file = previewRasterPath();
        }
        description.picture = previewPicture(pictures_, file, project_.previewCentreX, project_.previewCentreY);
    }
    if (shown == 1) description.markers = infoTextMarkers(project_);
    return description;
}

// ---- Shared operations ----------------------------------------------------------------

void MainDialog::showCounter(int selected) {
    setText(ids::kIdInfoTextCounter, std::to_string(selected) + "/" + std::to_string(project_.infoTextCount));
}

void MainDialog::clearInfoSelection() {
    setText(ids::kIdInfoTextEdit, "");
    showCounter(0);
    project_.selectedInfoText = 0;
}

void MainDialog::applyInfoButtonAccess() {
    if (project_.previewClass == 1) {
        if (project_.access.fullEdit == 1) platform_.setEnabled(kMain, ids::kIdInfoTextButton, true);
        return;
    }
    clearInfoSelection();
    platform_.setEnabled(kMain, ids::kIdInfoTextButton, false);
}

bool MainDialog::rebuildWorkRaster(ColourMode mode) {
    const int shown = project_.previewClass;
    if (shown < 1 || shown > kClassSlots) return false;
    RasterRequest request;
    request.classIndex = shown - 1;
    request.mode = mode;
    request.source = project_.classes[static_cast<std::size_t>(shown - 1)].fileName.str();
    request.raster = previewRasterPath();
    request.ditherChecked = checked(ids::kIdDithering);
    request.compressChecked = checked(ids::kIdCompress);
    ControlUpdates updates;
    pictures_.forget(request.raster);
    const bool rebuilt = convertToWorkRaster(project_, request, feedback_, updates) == RasterResult::Ok;
    pictures_.forget(request.raster);
    applyControlUpdates(updates);
    if (rebuilt) project_.colourMode = mode;
    return rebuilt;
}

bool MainDialog::rebuildLoadedPreview(ColourMode mode) {
    // The conversion's record-count step would divide the classes anew for
    // `mode`; a loaded map keeps the rows its directory gives, so the
    // conversion runs on a copy that holds the shown class only.
    MapProject scratch = project_;
    scratch.classCount = std::min(scratch.classCount, 1);
    RasterRequest request;
    request.classIndex = 0;
    request.mode = mode;
    request.source = project_.classes[0].fileName.str();
    request.raster = previewRasterPath();
    request.ditherChecked = checked(ids::kIdDithering);
    request.compressChecked = checked(ids::kIdCompress);
    // File Load has said what it had to; a preview that cannot be built
    // stays grey instead of showing the map before.
    class Quiet : public Feedback {
    public:
        explicit Quiet(Feedback& busy) : busy_(busy) {}
        void show(const Message&) override {}
        void setBusy(bool busy) override { busy_.setBusy(busy); }

    private:
        Feedback& busy_;
    } quiet(feedback_);
    ControlUpdates ignored;
    pictures_.forget(request.raster);
    const RasterResult result = convertToWorkRaster(scratch, request, quiet, ignored);
    pictures_.forget(request.raster);
    if (result != RasterResult::Ok) {
        removeIfExists(request.raster);
        return false;
    }
    project_.ditherFlag = scratch.ditherFlag;
    project_.rasterDataOffset = scratch.rasterDataOffset;
    project_.sourceBitDepth = scratch.sourceBitDepth;
    project_.classes[0].invertedPolarity = scratch.classes[0].invertedPolarity;
    return true;
}

void MainDialog::applyControlUpdates(const ControlUpdates& updates, bool rows) {
    if (rows) {
        app::applyControlUpdates(platform_, project_, updates);
        return;
    }
    if (updates.uncheckCompress) platform_.setChecked(kMain, ids::kIdCompress, false);
}

bool MainDialog::checked(int id) const { return platform_.isChecked(kMain, id); }

void MainDialog::setText(int id, std::string_view text) { platform_.setControlText(kMain, id, text); }

}  // namespace plotvane::app
