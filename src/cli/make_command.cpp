// plotvane2-cli make: the class buttons and the information button of the
// dialog, then the same "Make PDB" flow the dialog runs, over the options
// instead of the edits and dialogs. A database made here is byte-identical
// to one made in the window from the same inputs.
#include <algorithm>
#include <cmath>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <CLI/CLI.hpp>

#include "access/password_codec.h"
#include "app/make_flow.h"
#include "cli/class_options.h"
#include "cli/password_source.h"
#include "cli/commands.h"
#include "cli/coordinate_options.h"
#include "cli/escaped_text.h"
#include "database/database_writer.h"
#include "database/input_rules.h"
#include "import/class_warp.h"
#include "import/picture_import.h"
#include "project/control_ids.h"
#include "project/files.h"
#include "project/run_folder.h"
#include "raster/record_division.h"

namespace plotvane::cli {

namespace {

struct MakeOptions {
    std::string output;
    std::optional<std::string> name;
    std::optional<std::string> version;
    std::string mode = "original";
    bool dither = false;
    bool compress = false;
    std::optional<std::string> upperLeft;
    std::optional<std::string> bottomRight;
    bool georef = false;
    bool warp = false;
    std::vector<std::string> texts;
    std::string view = "none";
    std::string edit = "readonly";
    bool passwordStdin = false;
    std::vector<std::string> classes;
    std::optional<std::string> from;
    ClassOptions classOptions;
};

// Edit limits of the dialog. What the edit could not hold is refused, not
// cut: on the command line nobody would see the cut.
constexpr std::size_t kNameLimit = 15;
constexpr std::size_t kVersionLimit = 5;
constexpr std::size_t kDegreesLimit = 3;
constexpr std::size_t kPartLimit = 2;

// Characters (code points) of a UTF-8 text.
std::size_t characters(std::string_view utf8) {
    return static_cast<std::size_t>(
        std::count_if(utf8.begin(), utf8.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

void requireAtMost(const std::string& option, const std::string& what, const std::string& text, std::size_t limit) {
    if (characters(text) <= limit) return;
    throw UsageError(option + ": " + what + " can have at most " + std::to_string(limit) +
                     " characters (its edit holds no more): " + text);
}

// C0 controls, DEL and the C1 controls: no edit of the dialog holds one.
bool holdsControlCharacter(std::string_view windows1252) {
    for (char c : windows1252) {
        if (!isWindows1252TextByte(static_cast<std::uint8_t>(c))) return true;
    }
    return false;
}

// "D:M:S" or "D:M:S.F" into the four edit texts of one angle. The parts go
// into the edits as typed; the coordinate rule then refuses what is not a
// number, exactly as in the dialog. A part longer than its edit is a usage
// error of `option`.
std::array<std::string, 4> angleTexts(const std::string& option, const std::string& angle) {
    std::array<std::string, 4> parts{"", "", "", "0"};
    const std::size_t c1 = angle.find(':');
    if (c1 == std::string::npos) {
        parts[0] = angle;
        requireAtMost(option, "the degrees", parts[0], kDegreesLimit);
        return parts;
    }
    parts[0] = angle.substr(0, c1);
    const std::size_t c2 = angle.find(':', c1 + 1);
    if (c2 == std::string::npos) {
        parts[1] = angle.substr(c1 + 1);
        requireAtMost(option, "the degrees", parts[0], kDegreesLimit);
        requireAtMost(option, "the minutes", parts[1], kPartLimit);
        return parts;
    }
    parts[1] = angle.substr(c1 + 1, c2 - c1 - 1);
    const std::string seconds = angle.substr(c2 + 1);
    const std::size_t dot = seconds.find('.');
    if (dot == std::string::npos) {
        parts[2] = seconds;
    } else {
        parts[2] = seconds.substr(0, dot);
        parts[3] = seconds.substr(dot + 1);
    }
    requireAtMost(option, "the degrees", parts[0], kDegreesLimit);
    requireAtMost(option, "the minutes", parts[1], kPartLimit);
    requireAtMost(option, "the seconds", parts[2], kPartLimit);
    requireAtMost(option, "the fraction of the seconds", parts[3], kPartLimit);
    return parts;
}

// Puts one corner into the edit texts; returns its latitude and longitude
// when the text says their sides.
std::pair<std::optional<double>, std::optional<double>> putCorner(const std::string& option, const std::string& value,
                                                                  CoordinateValue lat, CoordinateValue lon,
                                                                  CoordinateTexts& texts) {
    const std::size_t comma = value.find(',');
    if (comma == std::string::npos || value.find(',', comma + 1) != std::string::npos)
        throw UsageError(option + " takes LAT,LONG, each as D:M:S or D:M:S.F");
    const auto latDecimal = parseDecimalAngle(option, value.substr(0, comma), AngleAxis::Latitude);
    const auto longDecimal = parseDecimalAngle(option, value.substr(comma + 1), AngleAxis::Longitude);
    const auto latParts = latDecimal ? latDecimal->parts : angleTexts(option, value.substr(0, comma));
    const auto longParts = longDecimal ? longDecimal->parts : angleTexts(option, value.substr(comma + 1));
    for (std::size_t i = 0; i < 4; ++i) {
        texts.at(lat, static_cast<AnglePart>(i)) = latParts[i];
        texts.at(lon, static_cast<AnglePart>(i)) = longParts[i];
    }
    return {latDecimal ? latDecimal->signedDegrees : std::nullopt,
            longDecimal ? longDecimal->signedDegrees : std::nullopt};
}

struct PinnedText {
    std::int64_t x = 0;
    std::int64_t y = 0;
    std::string bytes;  // Windows-1252
};

std::optional<std::int64_t> parseWhole(const std::string& text) {
    if (text.empty() || text.size() > 12) return std::nullopt;
    std::int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

PinnedText parseText(const std::string& value) {
    const std::size_t c1 = value.find(',');
    const std::size_t c2 = c1 == std::string::npos ? std::string::npos : value.find(',', c1 + 1);
    if (c2 == std::string::npos) throw UsageError("--text takes X,Y,TEXT");
    const auto x = parseWhole(value.substr(0, c1));
    const auto y = parseWhole(value.substr(c1 + 1, c2 - c1 - 1));
    if (!x || !y) throw UsageError("--text: X and Y must be whole numbers of Class 1 pixels: " + value);
    const auto bytes = utf8ToWindows1252(value.substr(c2 + 1));
    if (!bytes)
        throw UsageError("--text: the text has a character that the handheld's Windows-1252 character set "
                         "cannot hold: " + value);
    if (bytes->size() > static_cast<std::size_t>(kInfoTextBytes))
        throw UsageError("--text: TEXT can have at most " + std::to_string(kInfoTextBytes) +
                         " Windows-1252 characters (its edit holds no more): " + value);
    if (holdsControlCharacter(*bytes))
        throw UsageError("--text: TEXT cannot hold a control character (a tab, a line break, ...), as its edit "
                         "cannot");
    return {*x, *y, *bytes};
}

// The write stamp's clock: SOURCE_DATE_EPOCH when set, for reproducible
// files, else the system clock.
class CommandClock : public Clock {
public:
    explicit CommandClock(std::optional<std::int64_t> fixed) : fixed_(fixed) {}
    std::int64_t now() const override { return fixed_ ? *fixed_ : system_.now(); }
    int localYear(std::int64_t seconds) const override { return system_.localYear(seconds); }

private:
    std::optional<std::int64_t> fixed_;
    SystemClock system_;
};

std::optional<std::int64_t> sourceDateEpoch() {
    const char* value = std::getenv("SOURCE_DATE_EPOCH");
    if (value == nullptr) return std::nullopt;
    const std::string text = value;
    std::size_t start = (!text.empty() && text[0] == '-') ? 1 : 0;
    const auto magnitude = parseWhole(text.substr(start));
    if (!magnitude) throw UsageError("SOURCE_DATE_EPOCH must be a whole number of seconds: " + text);
    return start == 1 ? -*magnitude : *magnitude;
}

// The writer converts every class again, and each conversion divides the
// loaded classes anew; the advice those divisions give was already printed
// once per class while the classes were checked, so it is not repeated.
class AdviceOnceFeedback : public Feedback {
public:
    explicit AdviceOnceFeedback(Feedback& out) : out_(out) {}
    void show(const Message& message) override {
        if (dropRepeats_) {
            if (std::find(shown_.begin(), shown_.end(), message) != shown_.end()) return;
        } else {
            shown_.push_back(message);
        }
        out_.show(message);
    }
    void setBusy(bool busy) override { out_.setBusy(busy); }
    void explain(const FileProblem& problem) override { out_.explain(problem); }
    std::string shown(const std::string& foreign) const override { return out_.shown(foreign); }
    // From now on, a message equal to one shown before is dropped.
    void dropRepeats() { dropRepeats_ = true; }

private:
    Feedback& out_;
    std::vector<Message> shown_;
    bool dropRepeats_ = false;
};

// Adds the command line's own line after a message whose cause lies in the
// command line: a clock year refused when the date came from
// SOURCE_DATE_EPOCH.
class EpochNoteFeedback : public Feedback {
public:
    EpochNoteFeedback(Feedback& out, std::optional<std::int64_t> epoch, const Clock& clock)
        : out_(out), epoch_(epoch), clock_(clock) {}
    void show(const Message& message) override {
        out_.show(message);
        if (epoch_ && message.text == "Error : The date of this system is abnormal.")
            std::fprintf(stderr, "plotvane2-cli: the date came from SOURCE_DATE_EPOCH=%lld (the year %d here)\n",
                         static_cast<long long>(*epoch_), clock_.localYear(*epoch_));
    }
    void setBusy(bool busy) override { out_.setBusy(busy); }
    void explain(const FileProblem& problem) override { out_.explain(problem); }
    std::string shown(const std::string& foreign) const override { return out_.shown(foreign); }

private:
    Feedback& out_;
    std::optional<std::int64_t> epoch_;
    const Clock& clock_;
};

// "Make PDB" over the options: the edits hold what the options say, the
// password comes from stdin or the environment, the output from -o.
class CommandFrontEnd : public app::MakeFrontEnd {
public:
    CommandFrontEnd(const MakeOptions& options, Feedback& feedback, const Clock& clock,
                    std::filesystem::path workDir, bool compressChecked, ProgressLine& progressLine)
        : options_(options),
          feedback_(feedback),
          clock_(clock),
          workDir_(std::move(workDir)),
          compressChecked_(compressChecked),
          progressLine_(progressLine) {
        edits_[ids::kIdDatabaseName] = options.name.value_or("");
        edits_[ids::kIdVersion] = options.version.value_or("");
    }

    void setCorners(const CoordinateTexts& corners) {
        for (std::size_t v = 0; v < 4; ++v)
            for (std::size_t p = 0; p < 4; ++p) edits_[ids::kIdCoordinate[v][p]] = corners.texts[v][p];
    }

    Feedback& feedback() override { return feedback_; }
    std::string editText(int id) override { return edits_[id]; }
    void setEditText(int id, std::string_view text) override { edits_[id] = std::string(text); }
    bool compressChecked() override { return compressChecked_; }
    bool ditherChecked() override { return options_.dither; }
    void switchGpsOff(MapProject& project) override { project.gpsEnabled = 0; }

    // The access setting as the password dialog would take it.
    app::PasswordOutcome choosePassword(const app::PasswordRequest& request) override {
        ModeChoices choices;
        choices.readOnly = options_.edit == "readonly";
        choices.fullEdit = options_.edit == "full";
        choices.nonPassword = options_.view == "none";
        choices.information = options_.view == "information";
        choices.allView = options_.view == "all";
        const std::string password = usesFixedReadOnlyPassword(choices) ? std::string(kFixedReadOnlyPassword)
                                                                        : readPassword(options_.passwordStdin);
        app::PasswordOutcome outcome;
        if (!fitsPasswordField(password, feedback_) || !checkPasswordRule(password, feedback_)) return outcome;
        outcome.ok = true;
        outcome.mode = deriveAccessMode(choices);
        outcome.encoded = encodePassword(password, accessCodeOf(outcome.mode), request.binding);
        return outcome;
    }

    std::optional<std::filesystem::path> chooseOutput() override { return std::filesystem::path(options_.output); }
    void applyControlUpdates(const MapProject&, const ControlUpdates& updates) override {
        if (updates.uncheckCompress) compressChecked_ = false;
    }
    const Clock& clock() override { return clock_; }
    std::filesystem::path workDir() override { return workDir_; }
    // Decimal degrees come rounded to thousandths of a second.
    std::size_t fractionDigits() override { return 3; }
    Progress progress() override { return progressLine_.callback(); }
    void endProgress() override { progressLine_.end(); }

private:
    const MakeOptions& options_;
    Feedback& feedback_;
    const Clock& clock_;
    std::filesystem::path workDir_;
    bool compressChecked_;
    ProgressLine& progressLine_;
    std::map<int, std::string> edits_;
};

// What the options say, checked before any file is touched: the texts to
// pin and the corners' edit texts. Throws UsageError.
struct CheckedOptions {
    std::vector<PinnedText> texts;
    CoordinateTexts corners;
    std::optional<std::int64_t> epoch;
};

CheckedOptions checkOptions(const MakeOptions& options) {
    if (options.upperLeft.has_value() != options.bottomRight.has_value())
        throw UsageError("--upper-left and --bottom-right go together");
    if (options.georef && options.upperLeft)
        throw UsageError("--georef takes the corners from Class 1's georeferencing: not with --upper-left and "
                         "--bottom-right");
    if (options.warp && !options.georef)
        throw UsageError("--warp reprojects the classes by Class 1's georeferencing: give --georef with it");
    requireAtMost("--name", "the name", options.name.value_or(""), kNameLimit);
    requireAtMost("--version", "the version", options.version.value_or(""), kVersionLimit);
    if (options.texts.size() > static_cast<std::size_t>(kInfoTextLimit))
        throw UsageError("--text: at most " + std::to_string(kInfoTextLimit) + " texts, not " +
                         std::to_string(options.texts.size()));
    CheckedOptions checked;
    for (const std::string& t : options.texts) checked.texts.push_back(parseText(t));
    if (options.upperLeft) {
        const auto [ulLat, ulLong] = putCorner("--upper-left", *options.upperLeft, CoordinateValue::UpperLeftLat,
                                               CoordinateValue::UpperLeftLong, checked.corners);
        const auto [brLat, brLong] = putCorner("--bottom-right", *options.bottomRight,
                                               CoordinateValue::BottomRightLat, CoordinateValue::BottomRightLong,
                                               checked.corners);
        checkCornerSides(ulLat, ulLong, brLat, brLong);
    }
    checked.epoch = sourceDateEpoch();

    if (options.from.has_value() == !options.classes.empty())
        throw UsageError(options.from ? "give the class bitmaps or --from, not both" : "give the class bitmaps or --from MASTER");
    return checked;
}

// Builds the classes of the master picture --from into the private folder
// and adds their files to `classFiles`; false when refused (the messages
// are shown).
bool buildClassesFromMaster(const MakeOptions& options, ColourMode mode, bool withTexts,
                            const std::filesystem::path& workDir, Feedback& feedback,
                            std::vector<std::string>& classFiles, std::optional<import::PictureGrid>& classOne) {
    const import::ClassRequest request = classRequest(options.classOptions, mode, withTexts);
    import::ClassPicturesMade made;
    {
        ProgressLine progress("Building classes", options.classOptions.progress);
        if (import::makeClassPictures(*options.from, workDir, request, feedback, progress.callback(), made) !=
            import::BuildResult::Built)
            return false;
    }
    std::fprintf(stderr, "plotvane2-cli: %d classes of %u x %u to %u x %u pixels, reduced by %u. %s\n",
                 made.plan.classCount, made.plan.widths[0], made.plan.heights[0],
                 made.plan.widths[made.plan.lastClass()], made.plan.heights[made.plan.lastClass()],
                 made.plan.reduction, import::paddingReport(made.plan).c_str());
    for (int k = 0; k < made.plan.classCount; ++k)
        classFiles.push_back(import::classPicturePath(workDir, k).string());
    // Class 1 as a picture of the master's pixels, for its corners.
    classOne = import::PictureGrid{static_cast<int>(made.plan.boxSide(0)), static_cast<int>(made.plan.widths[0]),
                                   static_cast<int>(made.plan.heights[0])};
    return true;
}

// The class buttons, in order; false when a class is refused (the messages
// and the refused file are shown).
bool enterClasses(const std::vector<std::string>& classFiles, RunFolder& workDir, MapProject& project,
                  bool& compressChecked, Feedback& feedback, import::ClassWarp* warp) {
    for (std::size_t k = 0; k < classFiles.size(); ++k) {
        ControlUpdates updates;
        const int classIndex = static_cast<int>(k);
        import::ClassPicture picture;
        bool entered =
            import::enterClassPicture(classFiles[k], workDir.path(), feedback, picture) == import::PictureResult::Entered;
        if (entered && picture.converted) workDir.holdFile(picture.rulesPath);
        if (entered && warp != nullptr) {
            std::filesystem::path warped;
            entered = warp->warpClass(classIndex, picture.rulesPath, classFiles[k], workDir.path(),
                                      feedback, warped) == import::WarpResult::Warped;
            if (entered) workDir.holdFile(warped);
            picture.rulesPath = warped;
            picture.converted = true;
        }
        if (!entered ||
            checkClassBitmap(project, picture.rulesPath, classIndex, compressChecked, feedback, updates) !=
                ClassBitmapResult::Ok) {
            std::fprintf(stderr, "plotvane2-cli: refused Class %d: %s\n", classIndex + 1,
                         shownPath(classFiles[k]).c_str());
            return false;
        }
        if (updates.uncheckCompress) compressChecked = false;
        project.classes[k].fileName.assign(std::filesystem::absolute(picture.rulesPath).string());
        if (picture.converted)
            project.classes[k].pictureName.assign(std::filesystem::absolute(classFiles[k]).string());
        project.classCount = classIndex + 1;
    }
    return true;
}

// The information texts, each added with the preview centred on its spot.
// A spot outside Class 1 is a usage error.
void pinTexts(MapProject& project, const std::vector<PinnedText>& texts, Feedback& feedback) {
    const MapClassEntry& top = project.classes[0];
    for (const PinnedText& t : texts) {
        if (t.x >= top.width || t.y >= top.height)
            throw UsageError("--text: " + std::to_string(t.x) + "," + std::to_string(t.y) +
                             " lies outside Class 1 (" + std::to_string(top.width) + " x " +
                             std::to_string(top.height) + ")");
        project.previewClass = 1;
        project.previewCentreX = static_cast<std::int32_t>(t.x);
        project.previewCentreY = static_cast<std::int32_t>(t.y);
        project.selectedInfoText = 0;
        applyInfoTextButton(project, t.bytes, feedback);
    }
}

// A text is pinned to Class 1's pixel as the user saw it: its spot moves
// with the reprojection; a spot the reprojection cannot place stays.
void reprojectTexts(const import::ClassWarp& warp, std::vector<PinnedText>& texts) {
    for (PinnedText& t : texts) {
        double x = 0, y = 0;
        if (!warp.reprojectedPixel(static_cast<double>(t.x) + 0.5, static_cast<double>(t.y) + 0.5, x, y)) continue;
        t.x = static_cast<std::int64_t>(std::floor(x));
        t.y = static_cast<std::int64_t>(std::floor(y));
    }
}

int runMake(const MakeOptions& options) {
    CheckedOptions checked = checkOptions(options);

    StderrFeedback feedback;
    RunFolder workDir({kDatabaseRasterName, kCompressionFileName, "class1.bmp", "class2.bmp", "class3.bmp", "class4.bmp"});
    if (workDir.path().empty()) {
        feedback.show(warning("Error : Cannot make  compression temp file.", Icon::Exclamation));
        feedback.explain(FileProblem{FileProblem::Kind::CannotCreate, workDir.attempted(), {}, {}, workDir.error()});
        return kExitRefused;
    }

    MapProject project;
    const ColourMode mode = colourModeOfOption(options.mode);
    project.colourMode = mode;
    project.requestedColourMode = mode;
    bool compressChecked = options.compress;

    std::vector<std::string> classFiles = options.classes;
    std::optional<import::PictureGrid> masterGrid;
    if (options.from && !buildClassesFromMaster(options, mode, !checked.texts.empty(), workDir.path(), feedback,
                                                classFiles, masterGrid))
        return kExitRefused;
    // --warp reprojects every class by Class 1's georeferencing before the
    // rules see it.
    import::Georeference georeference;
    if (options.georef && !readClassOneGeoreference(options.from ? *options.from : classFiles[0],
                                                    masterGrid ? &*masterGrid : nullptr, georeference, feedback))
        return kExitRefused;
    std::optional<import::ClassWarp> warp;
    if (options.warp && !(warp = import::ClassWarp::plan(georeference, feedback))) return kExitRefused;
    AdviceOnceFeedback adviceOnce(feedback);
    if (!enterClasses(classFiles, workDir, project, compressChecked, adviceOnce, warp ? &*warp : nullptr))
        return kExitRefused;
    if (warp) reprojectTexts(*warp, checked.texts);
    pinTexts(project, checked.texts, feedback);
    if (options.georef)
        putGeoreferenceCorners(warp ? warp->georeference() : georeference, project, checked.corners, feedback);
    if (options.upperLeft || options.georef) project.gpsEnabled = 1;

    // "Make PDB". The writer's conversions divide the classes again; their
    // advice was given while the classes were checked and is not repeated.
    const CommandClock clock(checked.epoch);
    EpochNoteFeedback epochNote(adviceOnce, checked.epoch, clock);
    ProgressLine progressLine("Making the map database", options.classOptions.progress);
    CommandFrontEnd frontEnd(options, epochNote, clock, workDir.path(), compressChecked, progressLine);
    frontEnd.setCorners(checked.corners);
    adviceOnce.dropRepeats();
    return app::makeDatabaseCommand(project, frontEnd) ? kExitOk : kExitRefused;
}

}  // namespace

void addMakeCommand(CLI::App& app, Action& action) {
    auto options = std::make_shared<MakeOptions>();
    CLI::App* sub = app.add_subcommand(
        "make", "Make a map database (.pdb) for the handheld from one to four class bitmaps, as \"Make PDB\" does.");
    sub->footer(
        "Each class is 2, 4 or 8 times the scale of the class before it. Messages go to stderr.\n"
        "Access other than --view none --edit readonly needs an 8-character password of letters and\n"
        "digits: the first line of standard input with --password-stdin, else the environment variable\n"
        "PLOTVANE2_PASSWORD. SOURCE_DATE_EPOCH, when set, replaces the clock in the file's dates.\n"
        "A value longer than the dialog's edit for it (name 15, version 5, degrees 3, minutes, seconds\n"
        "and fraction 2 each, text 48) is a usage error, never cut.\n"
        "Exit status: 0 made, 1 refused (the messages say why; an existing OUT is left as it was),\n"
        "2 usage error.");
    sub->add_option("-o,--output", options->output, "The database to write (replaced only when complete)")
        ->required();
    sub->add_option("--name", options->name,
                    "Database name, needed: up to 15 letters, digits, spaces or ()*+,-./");
    sub->add_option("--version", options->version, "Version, needed: five digits");
    sub->add_option("--mode", options->mode, "Colour mode: original (1-bit classes as they are), 1, 2, 4 or 8")
        ->check(CLI::IsMember({"original", "1", "2", "4", "8"}));
    sub->add_flag("--dither", options->dither, "Error-diffusion dithering when converting");
    sub->add_flag("--compress", options->compress, "Run-length compress the tiles");
    sub->add_option("--upper-left", options->upperLeft, "Upper-left corner LAT,LONG, each D:M:S, D:M:S.F, decimal degrees (35.68934, -33.8688, 33.8688S) or D:M.M (35:41.3604)");
    sub->add_option("--bottom-right", options->bottomRight, "Bottom-right corner LAT,LONG");
    sub->add_flag("--georef", options->georef,
                  "Corners from Class 1's georeferencing (GeoTIFF, world file with .prj, OziExplorer .map, .aux.xml); "
                  "with --from, the master's, for the outer edges of the padded picture");
    sub->add_flag("--warp", options->warp,
                  "With --georef: reproject the classes to latitude/longitude first, so the handheld's positions "
                  "are exact (the reprojected pictures stay in the private folder)");
    sub->add_option("--text", options->texts,
                    "X,Y,TEXT: pin TEXT (up to 48 characters, no control characters) at Class 1 pixel X,Y; "
                    "up to 99 times")
        ->allow_extra_args(false);
    sub->add_option("--view", options->view, "View mode: none, information or all")
        ->check(CLI::IsMember({"none", "information", "all"}));
    sub->add_option("--edit", options->edit, "Edit mode: readonly or full")
        ->check(CLI::IsMember({"readonly", "full"}));
    sub->add_flag("--password-stdin", options->passwordStdin, "Read the password from the first line of stdin");
    sub->add_option("classes", options->classes, "CLASS1.bmp [CLASS2.bmp [CLASS3.bmp [CLASS4.bmp]]]")
        ->expected(1, 4);
    sub->add_option("--from", options->from,
                    "Build the classes from this one master picture instead (see `plotvane2-cli classes`), sized "
                    "for --mode");
    addClassOptions(*sub, options->classOptions);
    sub->callback([&action, options] { action = [options] { return runMake(*options); }; });
}

}  // namespace plotvane::cli
