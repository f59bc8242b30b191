// File Load driven through the main dialog as a user drives it: the open
// dialog, the password dialog, and what the dialog shows afterwards.
#include <algorithm>
#include <functional>
#include <map>
#include <ostream>
#include <tuple>
#include <string>
#include <vector>

#include "access/password_codec.h"
#include "app/main_dialog_fixture.h"
#include "database/make_database.h"
#include "project/files.h"
#include "raster/record_division.h"
#include "raster/work_raster.h"
#include "support/output_cases.h"
#include "support/recording_feedback.h"

namespace plotvane::test {
namespace {

using ui::DialogId;

constexpr DialogId kCheck = DialogId::PasswordCheck;
const Message kReadOnly = info("This PDB database is ReadOnly.", Icon::Exclamation);
const Message kInvalid = error("Invalid Password !", Icon::Exclamation);

struct MapRecipe {
    int classes = 2;
    bool corners = false;
    int texts = 0;
    const char* password = nullptr;  // null: none stored; "": the fixed read-only one
    AccessMode mode{1, 0, 0};
};

bool picture(int x, int y) { return ((x / 7) ^ (y / 3)) % 5 < 2; }

// A database made by the writer from 1-bit classes of 160, 320, 640 pixels.
std::filesystem::path makeMap(const std::filesystem::path& folder, const std::string& name, const MapRecipe& recipe) {
    MapProject p;
    for (int k = 0; k < recipe.classes; ++k) {
        const int side = 160 << k;
        addOneBitClass(p, k, folder / (name + std::to_string(k) + ".bmp"), side, side, 1, 1, picture);
    }
    p.databaseName.assign("Bay \xE9");
    p.versionText.assign("024680");
    for (int i = 0; i < recipe.texts; ++i)
        p.setInfoText(i, {"text " + std::to_string(i), static_cast<std::uint16_t>(i), 0,
                          static_cast<std::uint16_t>(i + 9), 9});
    p.infoTextCount = static_cast<std::uint16_t>(recipe.texts);
    if (recipe.corners) {
        p.gpsEnabled = 1;
        p.geo.upperLeftLatTotal = 128412500;     // 35:40:12.500
        p.geo.upperLeftLongTotal = 503130000;    // 139:45:30.000
        p.geo.bottomRightLatTotal = 127800000;   // 35:30:00.000
        p.geo.bottomRightLongTotal = 504000120;  // 140:00:00.120
    }
    if (recipe.password != nullptr) {
        const std::string password = *recipe.password ? recipe.password : std::string(kFixedReadOnlyPassword);
        const EncodedPassword e = encodePassword(password, accessCodeOf(recipe.mode), mapBindingOf(p));
        std::copy(e.begin(), e.end(), p.access.encodedPassword.begin());
    }
    const auto out = folder / (name + ".pdb");
    RecordingFeedback feedback;
    ControlUpdates updates;
    const FixedClock clock(1700000000);
    EXPECT_TRUE(saveMapDatabase(p, out, {false, false, folder}, clock, feedback, updates));
    return out;
}

// What the dialog update writes, in the order of the layout, for a map of
// `classes` square classes of 160 << k pixels.
std::vector<std::string> expectedUpdate(const MapRecipe& recipe, bool readOnly) {
    const auto at = [](int id) { return "102/" + std::to_string(id); };
    std::vector<std::string> log;
    for (int id : {1000, 1001, 1003, 1004, 5, 1005}) log.push_back("disable " + at(id));
    for (int id : {4, 1053}) log.push_back("enable " + at(id));
    for (int id = 1009; id <= 1024; ++id) log.push_back("text " + at(id) + "=");
    for (int id : {1027, 1028, 1029, 1032, 1033, 1034, 1035, 1036, 1037, 1038, 1039, 1040, 1041, 1042, 1043, 1044})
        log.push_back("text " + at(id) + "=0");
    for (int id : {1026, 1025, 1047}) log.push_back("text " + at(id) + "=");
    const std::string counter = "text " + at(1048) + "=0/" + std::to_string(recipe.texts);
    log.push_back(counter);
    if (readOnly) {
        log.push_back("message Info|This PDB database is ReadOnly.|exclamation");
        for (int id : {1025, 1026, 1027, 1028, 1029, 1032, 1037, 1038, 1039, 1040, 1033, 1034, 1035, 1036, 1041,
                       1042, 1043, 1044, 1047})
            log.push_back("readonly " + at(id));
        log.push_back("enable " + at(4));
        log.push_back("enable " + at(5));
        log.push_back("disable " + at(1030));
    } else {
        log.push_back("readonly " + at(1025));
        for (int id : {1026, 1027, 1028, 1029, 1032, 1033, 1034, 1035, 1036, 1037, 1038, 1039, 1040, 1041, 1042,
                       1043, 1044, 1047})
            log.push_back("editable " + at(id));
        log.push_back("enable " + at(1005));
        if (recipe.classes < 4) log.push_back("enable " + at(ids::kIdClassButton[recipe.classes]));
        log.push_back(recipe.corners ? "enable " + at(5) : "disable " + at(5));
        log.push_back(recipe.corners ? "disable " + at(4) : "enable " + at(4));
        log.push_back("enable " + at(1030));
    }
    log.push_back(counter);
    log.push_back("text " + at(1026) + "=24680");
    log.push_back("text " + at(1025) + "=Bay \xC3\xA9");
    for (int k = 0; k < recipe.classes; ++k) {
        const std::string side = std::to_string(160 << k);
        log.push_back("text " + at(1009 + k) + "=" + (k == 0 ? "TOP" : std::to_string(1 << k)));
        log.push_back("text " + at(1013 + k) + "=" + side);
        log.push_back("text " + at(1017 + k) + "=" + side);
        log.push_back("text " + at(1021 + k) + "=1");
    }
    if (recipe.corners) {
        const char* parts[16] = {"35", "40", "12", "500", "139", "45", "30", "0",
                                 "35", "30", "0",  "0",   "140", "0",  "0",  "120"};
        for (int i = 0; i < 16; ++i) log.push_back("text " + at(ids::kIdCoordinate[i / 4][i % 4]) + "=" + parts[i]);
    }
    return log;
}

// The log from the first change of the dialog update on.
std::vector<std::string> updateLog(const ScriptedPlatform& platform) {
    const auto& log = platform.log();
    const auto first = std::find(log.begin(), log.end(), "disable 102/1000");
    return {first, log.end()};
}

struct LoadCase {
    const char* name;
    MapRecipe recipe;
    std::vector<UserAction> passwordDialog;  // empty: no dialog opens
    bool readOnly;
};
void PrintTo(const LoadCase& c, std::ostream* os) { *os << c.name; }

class FileLoad : public MainDialogTest, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(FileLoad, RestoresTheMapAndShowsItInItsAccessMode) {
    const LoadCase& c = GetParam();
    const auto db = makeMap(inputs, "map", c.recipe);
    platform.queue(chooseFile(db.string()));
    for (const UserAction& a : c.passwordDialog) platform.queue(a);
    ASSERT_TRUE(click(ids::kIdFileLoad));
    EXPECT_TRUE(platform.allActionsPlayed());

    ASSERT_EQ(platform.fileDialogs().size(), 1u);
    EXPECT_FALSE(platform.fileDialogs()[0].save);
    EXPECT_EQ(platform.fileDialogs()[0].request.filter, "bitmap (*.pdb)|*.pdb||");
    EXPECT_EQ(platform.fileDialogs()[0].request.defaultExtension, ".pdb");
    EXPECT_EQ(platform.dialogsShown(),
              c.passwordDialog.empty() ? std::vector<DialogId>{} : std::vector<DialogId>{kCheck});
    EXPECT_EQ(platform.messages(), c.readOnly ? std::vector<Message>{kReadOnly} : std::vector<Message>{});
    EXPECT_EQ(updateLog(platform), expectedUpdate(c.recipe, c.readOnly));
    EXPECT_EQ(platform.repaints(), (std::vector<ui::Region>{ui::Region::ClassIndicator, ui::Region::PreviewArea}));
    EXPECT_EQ(platform.busyDepth(), 0);

    const MapProject& p = project();
    EXPECT_EQ(p.access.loadedFlag, 1);
    EXPECT_EQ(p.access.readOnly, c.readOnly ? 1 : 0);
    EXPECT_EQ(p.access.fullEdit, c.readOnly ? 0 : 1);
    EXPECT_EQ(p.access.viewMode, c.passwordDialog.empty() ? 0 : c.recipe.mode.viewMode);
    EXPECT_EQ(p.classCount, c.recipe.classes);
    EXPECT_EQ(p.previewClass, 1);
    EXPECT_EQ(std::tie(p.previewCentreX, p.previewCentreY), std::make_tuple(80, 80));
    for (int k = 0; k < c.recipe.classes; ++k)
        EXPECT_TRUE(std::filesystem::exists(work(kRestoreFileNames[k]))) << kRestoreFileNames[k];
}

UserAction typePassword(std::string text) { return type(kCheck, ids::kIdPasswordEdit, std::move(text)); }

INSTANTIATE_TEST_SUITE_P(
    Access, FileLoad,
    ::testing::Values(
        LoadCase{"noPasswordStored", {2, true, 3, nullptr, {1, 0, 0}}, {}, true},
        LoadCase{"fixedReadOnlyPassword", {1, false, 0, "", {1, 0, 0}}, {}, true},
        LoadCase{"readOnlyWithAPassword", {3, true, 1, "Abcd1234", {1, 0, 1}},
                 {typePassword("Abcd1234"), click(kCheck, ids::kIdOk)}, true},
        LoadCase{"fullEditWithCorners", {2, true, 2, "Zz9Yy8Xx", {0, 1, 2}},
                 {typePassword("Zz9Yy8Xx"), click(kCheck, ids::kIdOk)}, false},
        LoadCase{"fullEditOfFourClasses", {4, false, 0, "Q1w2E3r4", {0, 1, 0}},
                 {typePassword("Q1w2E3r4"), click(kCheck, ids::kIdOk)}, false}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Loads that stop ------------------------------------------------------------

struct StopCase {
    const char* name;
    std::vector<UserAction> script;  // after the database is chosen
    std::vector<Message> messages;
    std::function<void(const std::filesystem::path& work, std::vector<std::uint8_t>& database)> prepare = {};
};
void PrintTo(const StopCase& c, std::ostream* os) { *os << c.name; }

class FileLoadStops : public MainDialogTest, public ::testing::WithParamInterface<StopCase> {};

// The dialog keeps what it showed and the project its map.
TEST_P(FileLoadStops, LeavesTheDialogAsItWas) {
    const StopCase& c = GetParam();
    ASSERT_TRUE(pickClass(0, bitmap("mine.bmp", oneBitClass(160, 160))));
    platform.typeInto(DialogId::Main, ids::kIdDatabaseName, "MINE");
    const auto made = makeMap(inputs, "locked", {2, false, 0, "Abcd1234", {0, 1, 0}});
    std::vector<std::uint8_t> bytes = readFile(made);
    if (c.prepare) c.prepare(dir.path() / "work", bytes);
    const auto db = inputs / "chosen.pdb";
    writeFile(db, bytes);
    platform.clearLog();
    platform.clearMessages();
    platform.clearRepaints();

    platform.queue(chooseFile(db.string()));
    for (const UserAction& a : c.script) platform.queue(a);
    ASSERT_TRUE(click(ids::kIdFileLoad));
    EXPECT_TRUE(platform.allActionsPlayed());
    EXPECT_EQ(platform.messages(), c.messages);
    EXPECT_EQ(updateLog(platform), std::vector<std::string>{});
    EXPECT_TRUE(platform.repaints().empty());
    EXPECT_EQ(platform.text(ids::kIdDatabaseName), "MINE");
    EXPECT_EQ(platform.text(ids::kIdClassTopxN[0]), "TOP");
    EXPECT_EQ(project().access.loadedFlag, 0);
    EXPECT_EQ(platform.busyDepth(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FileLoadStops,
    ::testing::Values(
        StopCase{"passwordCancelled", {click(kCheck, ids::kIdCancel)}, {}},
        StopCase{"wrongPassword", {typePassword("Zyxw9876"), click(kCheck, ids::kIdOk)}, {kInvalid}},
        StopCase{"shortPassword",
                 {typePassword("Abcd123"), click(kCheck, ids::kIdOk)},
                 {error("Password must 8 characters.", Icon::Exclamation), kInvalid}},
        StopCase{"notOrbilune", {}, {error("Not Orbilune data!", Icon::Information)},
                 [](const std::filesystem::path&, std::vector<std::uint8_t>& b) { b[60] = 'd'; }},
        StopCase{"restoreFileLeftOver",
                 {typePassword("Abcd1234"), click(kCheck, ids::kIdOk)},
                 {error("Plotvane use [mktempfl.002]file. Please delete it.", Icon::Exclamation)},
                 [](const std::filesystem::path& work, std::vector<std::uint8_t>&) { writeFile(work / "mktempfl.002", {1}); }},
        StopCase{"damagedTile",
                 {typePassword("Abcd1234"), click(kCheck, ids::kIdOk)},
                 {error("PDB file data", Icon::Information)},
                 [](const std::filesystem::path&, std::vector<std::uint8_t>& b) { b.pop_back(); }}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- All or nothing ----------------------------------------------------------

// Where a cut of the database ends a load: inside each stage's part of the
// file, a few bytes past its start.
struct Cut {
    std::string stage;
    std::size_t at;
};

std::uint32_t recordOffset(const std::vector<std::uint8_t>& db, int record) {
    const std::size_t e = 78 + 8 * static_cast<std::size_t>(record);
    return (std::uint32_t{db[e]} << 24) | (std::uint32_t{db[e + 1]} << 16) | (std::uint32_t{db[e + 2]} << 8) | db[e + 3];
}

// A map of three classes of one tile each (records 2, 3, 4) and two texts.
std::vector<Cut> stageCuts(const std::vector<std::uint8_t>& db) {
    std::vector<Cut> cuts = {{"header", 40}, {"record list", 84}, {"record 0", recordOffset(db, 0) + 30},
                             {"directory", recordOffset(db, 0) + 64 + 20}, {"text record", recordOffset(db, 1) + 40}};
    for (int k = 0; k < 3; ++k) cuts.push_back({"class " + std::to_string(k + 1) + " tiles", recordOffset(db, 2 + k) + 20});
    return cuts;
}

class FileLoadAllOrNothing : public MainDialogTest {
protected:
    struct Seen {
        MapProject project;
        std::map<std::pair<int, int>, ScriptedPlatform::Control> controls;
        std::map<std::string, std::string> folder;
        bool operator==(const Seen&) const = default;
    };
    Seen seen() const {
        // The click itself is the one change: the button the user pressed.
        auto controls = platform.controls();
        controls.erase({static_cast<int>(DialogId::Main), ids::kIdFileLoad});
        return {project(), controls, folderSnapshot(dir.path() / "work")};
    }

    // Loads `db` with no password asked; the messages it gave.
    std::vector<Message> load(const std::filesystem::path& db) {
        platform.clearMessages();
        platform.clearRepaints();
        platform.queue(chooseFile(db.string()));
        EXPECT_TRUE(click(ids::kIdFileLoad));
        return platform.messages();
    }

    // A good map, loaded after every failure: it must load in full.
    void expectGoodLoad(const std::filesystem::path& good, const std::string& label) {
        EXPECT_EQ(load(good), std::vector<Message>{kReadOnly}) << label;
        EXPECT_EQ(project().classCount, 2) << label;
        EXPECT_EQ(project().infoTextCount, 1) << label;
        EXPECT_EQ(platform.text(ids::kIdClassWidth[1]), "320") << label;
        EXPECT_EQ(folderEntries(dir.path() / "work"), (std::vector<std::string>{"mktempfl.001", "mktempfl.002"}))
            << label;
    }
};

// A load cut short at any stage changes nothing a user can see or find on
// disk, over a fresh start and over a map loaded before; a good database
// loads right after.
TEST_F(FileLoadAllOrNothing, ACutDatabaseChangesNothing) {
    const auto whole = makeMap(inputs, "three", {3, true, 2, nullptr});
    const auto good = makeMap(inputs, "two", {2, false, 1, nullptr});
    const std::vector<std::uint8_t> bytes = readFile(whole);
    for (const bool loadedBefore : {false, true}) {
        for (const Cut& cut : stageCuts(bytes)) {
            const std::string label = cut.stage + (loadedBefore ? " over a loaded map" : " over a fresh start");
            dialog.destroy();
            open();
            if (loadedBefore) {
                ASSERT_EQ(load(whole), std::vector<Message>{kReadOnly});
            }
            const auto db = inputs / "cut.pdb";
            writeFile(db, std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut.at)));
            platform.clearLog();
            const Seen before = seen();

            EXPECT_EQ(load(db), std::vector<Message>{error("PDB file data", Icon::Information)}) << label;
            EXPECT_TRUE(seen() == before) << label;
            EXPECT_EQ(updateLog(platform), std::vector<std::string>{}) << label;
            EXPECT_TRUE(platform.repaints().empty()) << label;
            EXPECT_EQ(platform.busyDepth(), 0) << label;
            expectGoodLoad(good, label);
        }
    }
}

// Every file operation of a load failing in turn, over a loaded map: the
// RestoreFiles of that map stay, none of the new ones is left.
TEST_F(FileLoadAllOrNothing, AFailingFileOperationChangesNothing) {
    const auto first = makeMap(inputs, "three", {3, true, 2, nullptr});
    const auto good = makeMap(inputs, "two", {2, false, 1, nullptr});
    for (const FileOperation op :
         {FileOperation::Open, FileOperation::Write, FileOperation::Flush, FileOperation::Sync, FileOperation::Rename}) {
        for (std::uint64_t nth = 1;; nth += op == FileOperation::Write ? 150 : 1) {
            const std::string label = "operation " + std::to_string(static_cast<int>(op)) + " call " + std::to_string(nth);
            dialog.destroy();
            open();
            ASSERT_EQ(load(first), std::vector<Message>{kReadOnly});
            const Seen before = seen();
            armFileFailure(op, nth);
            const std::vector<Message> messages = load(good);
            const bool failed = armedFileFailureHappened();
            disarmFileFailure();
            if (!failed) {
                EXPECT_EQ(messages, std::vector<Message>{kReadOnly}) << label;
                break;
            }
            EXPECT_FALSE(messages.empty()) << label;
            EXPECT_NE(messages.back(), kReadOnly) << label;
            EXPECT_TRUE(seen() == before) << label;
            expectGoodLoad(good, label);
        }
    }
}

// Cancel at any report of the restore's progress, over a loaded map,
// changes nothing a user can see or find on disk and says nothing; a good
// database loads right after.
TEST_F(FileLoadAllOrNothing, CancelAtEveryProgressStepChangesNothing) {
    const auto first = makeMap(inputs, "two", {2, false, 1, nullptr});
    const auto three = makeMap(inputs, "three", {3, true, 2, nullptr});
    platform.clearProgress();
    ASSERT_EQ(load(three), std::vector<Message>{kReadOnly});
    // One report per tile row: one row in each class.
    EXPECT_EQ(platform.progressReports(), (std::vector<double>{1.0 / 3, 2.0 / 3, 1.0}));
    EXPECT_EQ(platform.progressEnds(), 1);
    for (std::size_t n = 0; n < 3; ++n) {
        const std::string label = "cancel at report " + std::to_string(n);
        dialog.destroy();
        open();
        ASSERT_EQ(load(first), std::vector<Message>{kReadOnly});
        const Seen before = seen();
        platform.clearProgress();
        platform.cancelProgressAt(n);
        EXPECT_EQ(load(three), std::vector<Message>{}) << label;
        EXPECT_EQ(platform.progressReports().size(), n + 1) << label;
        EXPECT_EQ(platform.progressEnds(), 1) << label;
        EXPECT_TRUE(seen() == before) << label;
        EXPECT_TRUE(platform.repaints().empty()) << label;
        platform.clearProgress();
        expectGoodLoad(first, label);
    }
}

// The open dialog is cancelled before anything is read.
TEST_F(MainDialogTest, CancellingTheOpenDialogReadsNothing) {
    platform.queue(cancelFile());
    ASSERT_TRUE(click(ids::kIdFileLoad));
    EXPECT_EQ(platform.log(), (std::vector<std::string>{"clicked 102/1031", "open dialog bitmap (*.pdb)|*.pdb||"}));
    EXPECT_TRUE(platform.messages().empty());
}

TEST_F(MainDialogTest, ASecondLoadDeletesTheRestoreFilesOfTheFirst) {
    platform.queue(chooseFile(makeMap(inputs, "three", {3, false, 0, nullptr}).string()));
    ASSERT_TRUE(click(ids::kIdFileLoad));
    ASSERT_EQ(folderEntries(dir.path() / "work"),
              (std::vector<std::string>{"mktempfl.001", "mktempfl.002", "mktempfl.003"}));
    platform.clearMessages();
    platform.queue(chooseFile(makeMap(inputs, "one", {1, false, 0, nullptr}).string()));
    ASSERT_TRUE(click(ids::kIdFileLoad));
    EXPECT_EQ(platform.messages(), std::vector<Message>{kReadOnly});
    EXPECT_EQ(folderEntries(dir.path() / "work"), std::vector<std::string>{"mktempfl.001"});
    EXPECT_EQ(project().classCount, 1);
    EXPECT_EQ(readFile(work("mktempfl.001")).size(), 62u + 20u * 160u);
}

TEST_F(MainDialogTest, AVersionFieldWithoutDigitsShowsAnEmptyVersion) {
    const auto db = makeMap(inputs, "map", {1, false, 0, nullptr});
    std::vector<std::uint8_t> bytes = readFile(db);
    const std::size_t zero = (std::size_t{bytes[78]} << 24) | (bytes[79] << 16) | (bytes[80] << 8) | bytes[81];
    std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(zero + 24), 6, std::uint8_t{0});
    writeFile(db, bytes);
    platform.queue(chooseFile(db.string()));
    ASSERT_TRUE(click(ids::kIdFileLoad));
    EXPECT_EQ(platform.messages(), std::vector<Message>{kReadOnly});
    EXPECT_EQ(platform.text(ids::kIdVersion), "");
    EXPECT_EQ(project().access.loadedFlag, 1);
}

// A load while a colour mode is shown rebuilds the preview's raster from
// the loaded Class 1, in that mode; the class rows stay as the directory
// gives them, not those of a division for that mode.
TEST_F(MainDialogTest, ALoadInAColourModeShowsTheLoadedMapsRaster) {
    ASSERT_TRUE(pickClass(0, bitmap("before.bmp", oneBitClass(320, 320))));
    ASSERT_TRUE(click(ids::kIdColour));  // 8
    ASSERT_EQ(project().colourMode, ColourMode::Bpp8);
    platform.queue(chooseFile(makeMap(inputs, "map", {3, false, 0, nullptr}).string()));
    ASSERT_TRUE(click(ids::kIdFileLoad));
    EXPECT_EQ(project().colourMode, ColourMode::Bpp8);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(platform.text(ids::kIdClassUseRec[k]), "1") << k;
        EXPECT_EQ(project().classes[static_cast<std::size_t>(k)].recordColumns * project().classes[static_cast<std::size_t>(k)].recordRows, 1) << k;
    }

    MapProject reference = project();
    RecordingFeedback feedback;
    ControlUpdates updates;
    RasterRequest request;
    request.mode = ColourMode::Bpp8;
    request.source = work("mktempfl.001");
    request.raster = dir.path() / "reference.bmp";
    ASSERT_EQ(convertToWorkRaster(reference, request, feedback, updates), RasterResult::Ok);
    EXPECT_EQ(readFile(dialog.previewRasterPath()), readFile(request.raster));
    EXPECT_EQ(project().previewClass, 1);
    EXPECT_TRUE(dialog.describePreview(false, 640, 480, 32, 32).picture.has_value());
}

}  // namespace
}  // namespace plotvane::test
