// "Make PDB" through the window's front end: the main dialog's edits typed
// as a user types them, the password and save dialogs answered by the
// scripted platform, the messages and control changes in their order.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "access/password_codec.h"
#include "app/dialog_make_front_end.h"
#include "app/make_flow.h"
#include "database/map_database.h"
#include "project/control_ids.h"
#include "raster/record_division.h"
#include "support/bmp_writer.h"
#include "support/cli_fixtures.h"
#include "support/database_fixtures.h"
#include "support/recording_feedback.h"
#include "support/scripted_platform.h"
#include "support/temp_dir.h"

namespace plotvane::test {
namespace {

using ui::DialogId;
namespace fs = std::filesystem;

constexpr DialogId kMain = DialogId::Main;
constexpr DialogId kInput = DialogId::PasswordInput;
constexpr DialogId kAgain = DialogId::PasswordAgain;

const std::string kCannotMake = "Cannot make Map Database!";
const std::string kNotMadeText = "Do not make Map Database File.";
const std::string kOnlyNumber = "Please use Only Number in LAT/LONG Value";
const std::string kSameLat = "Don't set same value to LAT(upper-left and bottom-right)";
const std::string kSameLong = "Don't set same value to LONG(upper-left and bottom-right)";
const std::string kSouthern =
    "CAUTION!\nYou set value to LAT(upper-left) < LAT(bottom-right)\nThis Map for Southern-Hemisphere.";
const std::string kWest = "CAUTION!\nYou set value to LONG(upper-left) > LONG(bottom-right)\nThis Map for West-Longitude.";
const std::string kGpsCompressed =
    "CAUTION!\n Please use Non Compression Data for the GPS Data.\n Compression Data display slowly.";
const std::string kBadName = "Please use Only English/Number/Space in DataBase Name";
const std::string kNoName = "Please input DataBase Name";
const std::string kShortVersion = "Please input 5number at Version";
const Message kNotMade = info(kNotMadeText, Icon::Exclamation);
const Message kSuccess = {"Plotvane", "Success : Map Database making", Icon::None};

using Corners = std::array<std::array<const char*, 4>, 4>;  // [value][part] as ids::kIdCoordinate
const Corners kGoodCorners = {{{"35", "40", "12", "5"}, {"139", "0", "0", "0"}, {"35", "0", "0", "0"},
                               {"140", "0", "0", "0"}}};

UserAction typePassword(DialogId dialog, std::string text) {
    return type(dialog, ids::kIdPasswordEdit, std::move(text));
}

class MakeFlow : public ::testing::Test {
protected:
    MakeFlow() {
        fs::create_directories(work);
        // The main dialog's edits as its initialisation leaves them.
        platform.setInputLimit(kMain, ids::kIdDatabaseName, 15);
        platform.setInputLimit(kMain, ids::kIdVersion, 5);
        for (const auto& angle : ids::kIdCoordinate)
            for (std::size_t part = 0; part < 4; ++part) {
                platform.setInputLimit(kMain, angle[part], part == 0 ? 3 : 2);
                platform.setControlText(kMain, angle[part], "0");
            }
        platform.clearLog();
    }

    void addClass() {
        addOneBitClass(project, 0, dir / "class1.bmp", 160, 160, 1, 1,
                       [](int x, int y) { return (x / 7 + y / 3) % 3 == 0; });
        project.classCount = 1;
    }
    void typeIdentity(const std::string& name, const std::string& version) {
        platform.typeInto(kMain, ids::kIdDatabaseName, name);
        platform.typeInto(kMain, ids::kIdVersion, version);
    }
    void typeCorners(const Corners& corners) {
        for (std::size_t v = 0; v < 4; ++v)
            for (std::size_t p = 0; p < 4; ++p) platform.typeInto(kMain, ids::kIdCoordinate[v][p], corners[v][p]);
        platform.clearLog();
    }
    bool make() {
        app::DialogMakeFrontEnd frontEnd(platform, clock, work);
        const bool made = app::makeDatabaseCommand(project, frontEnd);
        EXPECT_TRUE(platform.allActionsPlayed());
        return made;
    }
    // The fixed password: Read Only with Non Password, no second entry.
    void queueFixedPassword() { platform.queue({click(kInput, ids::kIdReadOnly), click(kInput, ids::kIdOk)}); }

    TempDir dir;
    fs::path work = dir / "work";
    fs::path output = dir / "map.pdb";
    ScriptedPlatform platform;
    FixedClock clock{kFixedEpoch};
    MapProject project;
};

// ---- Corner coordinates ---------------------------------------------------------

struct CornerCase {
    const char* label;
    Corners corners;
    bool compressFlag;
    std::vector<std::string> messages;
    bool goesOn;                  // reaches the password dialog
    std::string fractionShown;    // upper-left latitude fraction edit afterwards
};
void PrintTo(const CornerCase& c, std::ostream* os) { *os << c.label; }

class MakeFlowCorners : public MakeFlow, public ::testing::WithParamInterface<CornerCase> {};

TEST_P(MakeFlowCorners, ParsesChecksAndWritesBack) {
    const CornerCase& c = GetParam();
    addClass();
    project.gpsEnabled = 1;
    project.compressFlag = c.compressFlag ? 1 : 0;
    typeIdentity("Map", "01234");
    typeCorners(c.corners);
    if (c.goesOn) platform.queue(click(kInput, ids::kIdCancel));

    EXPECT_FALSE(make());
    EXPECT_EQ(platform.messageTexts(), c.messages);
    EXPECT_EQ(platform.dialogsShown().size(), c.goesOn ? 1u : 0u);
    EXPECT_EQ(platform.text(ids::kIdUpperLeftLatFraction), c.fractionShown);
    EXPECT_EQ(project.gpsEnabled, c.goesOn ? 1 : 0);
    // A refusal switches GPS off as the GPS-off button does.
    const std::vector<std::string> gpsOff = {"disable 102/5", "enable 102/4"};
    const auto& log = platform.log();
    EXPECT_EQ(std::search(log.begin(), log.end(), gpsOff.begin(), gpsOff.end()) != log.end(), !c.goesOn);
    if (c.goesOn) {
        for (std::size_t v = 0; v < 4; ++v)
            for (std::size_t p = 0; p < 4; ++p)
                EXPECT_EQ(platform.text(ids::kIdCoordinate[v][p]),
                          v == 0 && p == 3 ? c.fractionShown
                                           : std::to_string(std::stoi(c.corners[v][p])));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MakeFlowCorners,
    ::testing::Values(
        CornerCase{"FractionShowsInThousandths", kGoodCorners, false, {}, true, "500"},
        CornerCase{"LeadingZerosDrop",
                   {{{"007", "05", "09", "12"}, {"139", "0", "0", "0"}, {"5", "0", "0", "0"}, {"140", "0", "0", "0"}}},
                   false, {}, true, "120"},
        CornerCase{"SouthernGoesOn",
                   {{{"10", "0", "0", "0"}, {"139", "0", "0", "0"}, {"20", "0", "0", "0"}, {"140", "0", "0", "0"}}},
                   false, {kSouthern}, true, "0"},
        CornerCase{"WestThenCompressedCautionGoOn",
                   {{{"35", "0", "0", "1"}, {"141", "0", "0", "0"}, {"34", "0", "0", "0"}, {"140", "0", "0", "0"}}},
                   true, {kWest, kGpsCompressed}, true, "100"},
        CornerCase{"EqualLatitudesRefused",
                   {{{"35", "0", "0", "5"}, {"139", "0", "0", "0"}, {"35", "0", "0", "50"}, {"140", "0", "0", "0"}}},
                   false, {kSameLat}, false, "5"},
        CornerCase{"SouthernThenEqualLongitudes",
                   {{{"1", "0", "0", "0"}, {"140", "0", "0", "0"}, {"2", "0", "0", "0"}, {"140", "0", "0", "0"}}},
                   false, {kSouthern, kSameLong}, false, "0"},
        CornerCase{"EmptyPartRefused",
                   {{{"35", "40", "12", "5"}, {"139", "0", "", "0"}, {"35", "0", "0", "0"}, {"140", "0", "0", "0"}}},
                   false, {kOnlyNumber}, false, "5"}),
    [](const ::testing::TestParamInfo<CornerCase>& info) { return std::string(info.param.label); });

TEST_F(MakeFlow, PartsParsedBeforeARefusalKeepTheirValues) {
    addClass();
    project.gpsEnabled = 1;
    for (DmsAngle* a : {&project.geo.upperLeftLat, &project.geo.bottomRightLat, &project.geo.upperLeftLong,
                        &project.geo.bottomRightLong})
        *a = {77, 77, 77, 77};
    Corners corners = kGoodCorners;
    corners[1][3] = "";  // upper-left longitude fraction, the 14th part parsed
    typeCorners(corners);

    EXPECT_FALSE(make());
    EXPECT_EQ(project.geo.upperLeftLat, (DmsAngle{35, 40, 12, 500}));
    EXPECT_EQ(project.geo.upperLeftLong, (DmsAngle{139, 0, 0, 77}));
    EXPECT_EQ(project.geo.bottomRightLat, (DmsAngle{35, 0, 0, 77}));
    EXPECT_EQ(project.geo.upperLeftLatTotal, 0u);
}

TEST_F(MakeFlow, WithoutAClassEndsSilentlyOnceTheCoordinatesAreChecked) {
    project.gpsEnabled = 1;
    typeCorners(kGoodCorners);
    EXPECT_FALSE(make());
    EXPECT_TRUE(platform.messages().empty());
    EXPECT_EQ(platform.text(ids::kIdUpperLeftLatFraction), "500");
    EXPECT_EQ(project.geo.upperLeftLatTotal, 128412500u);

    project.gpsEnabled = 0;
    platform.clearLog();
    typeIdentity("", "");
    EXPECT_FALSE(make());
    EXPECT_TRUE(platform.messages().empty());
    EXPECT_TRUE(platform.dialogsShown().empty());
}

// ---- Name and version -----------------------------------------------------------

struct IdentityCase {
    const char* label;
    std::string name;
    std::string version;
    std::vector<std::string> messages;
    std::string nameShown;
    std::string versionShown;
    std::string storedName;     // databaseName afterwards (starts "Old")
    std::string storedVersion;  // versionText afterwards (starts "099999")
};
void PrintTo(const IdentityCase& c, std::ostream* os) { *os << c.label; }

class MakeFlowIdentity : public MakeFlow, public ::testing::WithParamInterface<IdentityCase> {};

TEST_P(MakeFlowIdentity, BothChecksRunAndRefusedEditsAreEmptied) {
    const IdentityCase& c = GetParam();
    addClass();
    project.databaseName.assign("Old");
    project.versionText.assign("099999");
    typeIdentity(c.name, c.version);
    const bool goesOn = c.messages.empty();
    if (goesOn) platform.queue(click(kInput, ids::kIdCancel));

    EXPECT_FALSE(make());
    EXPECT_EQ(platform.messageTexts(), c.messages);
    EXPECT_EQ(platform.dialogsShown().size(), goesOn ? 1u : 0u);
    EXPECT_EQ(platform.text(ids::kIdDatabaseName), c.nameShown);
    EXPECT_EQ(platform.text(ids::kIdVersion), c.versionShown);
    EXPECT_EQ(project.databaseName.str(), c.storedName);
    EXPECT_EQ(project.versionText.str(), c.storedVersion);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MakeFlowIdentity,
    ::testing::Values(
        IdentityCase{"Accepted", "Scene (2)", "01234", {}, "Scene (2)", "01234", "Scene (2)", "001234"},
        // The edit takes 15 characters; the sixteenth is never typed.
        IdentityCase{"SixteenthCharacterNotTaken", "ABCDEFGHIJKLMNOP", "54321", {}, "ABCDEFGHIJKLMNO", "54321",
                     "ABCDEFGHIJKLMNO", "054321"},
        IdentityCase{"UnderscoreAfterLetters", "Map_1", "01234", {kBadName, kCannotMake}, "", "01234", "Old",
                     "001234"},
        IdentityCase{"FifteenWithARefusedLast", "ABCDEFGHIJKLMN_", "01234", {kBadName, kCannotMake}, "", "01234",
                     "Old", "001234"},
        IdentityCase{"UnderscoreFirstAndShortVersion", "_Map", "123", {kBadName, kNoName, kShortVersion, kCannotMake},
                     "", "", "Old", "099999"},
        IdentityCase{"EmptyName", "", "01234", {kNoName, kCannotMake}, "", "01234", "Old", "001234"},
        // The version edit takes digits only: the letter is never typed.
        IdentityCase{"LetterNotTakenLeavesFourDigits", "Map", "12a45", {kShortVersion, kCannotMake}, "Map", "", "Map",
                     "099999"},
        IdentityCase{"EmptyVersion", "Map", "", {kShortVersion, kCannotMake}, "Map", "", "Map", "099999"}),
    [](const ::testing::TestParamInfo<IdentityCase>& info) { return std::string(info.param.label); });

// Digits-only edits refuse letters as they are typed but take them pasted,
// so the checks that name a letter are met.
TEST_F(MakeFlow, PastedLettersReachTheNumberChecks) {
    addClass();
    platform.typeInto(kMain, ids::kIdDatabaseName, "Map");
    EXPECT_EQ(platform.pasteInto(kMain, ids::kIdVersion, "12a45"), "12a45");
    EXPECT_FALSE(make());
    EXPECT_EQ(platform.messageTexts(), (std::vector<std::string>{"Please use number in Version", kCannotMake}));
    EXPECT_EQ(platform.text(ids::kIdVersion), "");

    platform.clearMessages();
    project.gpsEnabled = 1;
    typeCorners(kGoodCorners);
    platform.setInputLimit(kMain, ids::kIdBottomRightLongMinutes, 2);
    EXPECT_EQ(platform.pasteInto(kMain, ids::kIdBottomRightLongMinutes, "4x0"), "4x");
    EXPECT_FALSE(make());
    EXPECT_EQ(platform.messageTexts(), std::vector<std::string>{kOnlyNumber});
    EXPECT_EQ(project.gpsEnabled, 0);
}

TEST_F(MakeFlow, RefusedNameIsEmptiedBeforeTheVersionIsChecked) {
    addClass();
    typeIdentity("_", "1");
    EXPECT_FALSE(make());
    const std::vector<std::string> expected = {
        "message Warning|" + kBadName + "|exclamation", "message Warning|" + kNoName + "|exclamation",
        "text 102/1025=", "message Warning|" + kShortVersion + "|exclamation", "text 102/1026=",
        "message Error|" + kCannotMake + "|exclamation"};
    std::vector<std::string> tail(platform.log().end() - static_cast<long>(expected.size()), platform.log().end());
    EXPECT_EQ(tail, expected);
}

// ---- Password and save dialogs --------------------------------------------------

TEST_F(MakeFlow, CancelledPasswordDialogEndsSilentlyWithThePasswordZeroed) {
    addClass();
    typeIdentity("Map", "01234");
    project.access.encodedPassword = {'O', 'l', 'd', 'p', 'a', 's', 's', 'w', 0, 0};
    platform.queue({click(kInput, ids::kIdAllView), click(kInput, ids::kIdCancel)});

    EXPECT_FALSE(make());
    EXPECT_TRUE(platform.messages().empty());
    EXPECT_TRUE(platform.fileDialogs().empty());
    EXPECT_EQ(project.access.encodedPassword, (std::array<char, 10>{}));
    EXPECT_EQ(project.access.viewMode, 0);
    EXPECT_EQ(project.access.fullEdit, 1);
}

TEST_F(MakeFlow, RefusedPasswordIsNotMade) {
    addClass();
    typeIdentity("Map", "01234");
    platform.queue({typePassword(kInput, "Abc123"), click(kInput, ids::kIdOk)});

    EXPECT_FALSE(make());
    EXPECT_EQ(platform.messages(),
              (std::vector<Message>{error("Password must 8 characters.", Icon::Exclamation), kNotMade}));
    EXPECT_TRUE(platform.fileDialogs().empty());
}

TEST_F(MakeFlow, CancelledSaveKeepsTheChosenAccessAndWritesNothing) {
    addClass();
    typeIdentity("Map", "01234");
    platform.queue({click(kInput, ids::kIdInformation), typePassword(kInput, "Sea4Sun2"), click(kInput, ids::kIdOk),
                    typePassword(kAgain, "Sea4Sun2"), click(kAgain, ids::kIdOk), cancelFile()});

    EXPECT_FALSE(make());
    EXPECT_EQ(platform.messages(), std::vector<Message>{kNotMade});
    ASSERT_EQ(platform.fileDialogs().size(), 1u);
    const auto& call = platform.fileDialogs()[0];
    EXPECT_TRUE(call.save);
    EXPECT_EQ(call.request.filter, "Database for Orbilune(*.pdb)|*.pdb||");
    EXPECT_EQ(call.request.defaultExtension, ".pdb");
    EXPECT_TRUE(call.request.confirmOverwrite);
    EXPECT_EQ(project.access.viewMode, 1);
    EXPECT_EQ(project.access.fullEdit, 1);
    EXPECT_EQ(project.access.readOnly, 0);
    const EncodedPassword encoded = encodePassword("Sea4Sun2", 3, mapBindingOf(project));
    EXPECT_TRUE(std::equal(encoded.begin(), encoded.end(), project.access.encodedPassword.begin()));
    EXPECT_TRUE(folderEntries(work).empty());
    EXPECT_FALSE(fs::exists(output));
}

// The database opens with the password under the binding built from the
// project's bytes in their stated order.
TEST_F(MakeFlow, WrittenDatabaseCarriesThePasswordForTheMapsBinding) {
    addClass();
    project.gpsEnabled = 1;
    typeCorners(kGoodCorners);
    typeIdentity("Tide", "71234");
    project.infoTextCount = 0;
    platform.queue({click(kInput, ids::kIdAllView), click(kInput, ids::kIdReadOnly), typePassword(kInput, "Q1w2E3r4"),
                    click(kInput, ids::kIdOk), typePassword(kAgain, "Q1w2E3r4"), click(kAgain, ids::kIdOk),
                    chooseFile(output.string())});

    EXPECT_TRUE(make());
    EXPECT_EQ(platform.messages(), std::vector<Message>{kSuccess});
    EXPECT_TRUE(folderEntries(work).empty());
    const MapBinding binding = {1, 1, 0, '7', 0, 160, 'T'};
    RecordingFeedback feedback;
    DatabaseHeaderSummary summary;
    ASSERT_EQ(readDatabaseHeader(output, feedback, summary), DatabaseCheck::Ok);
    EXPECT_EQ(summary.loadedBinding, binding);
    const PasswordCheck check =
        checkPassword("Q1w2E3r4", std::string_view(summary.loadedPassword.data(), 8), binding, feedback);
    EXPECT_TRUE(check.ok);
    EXPECT_EQ(check.mode, (AccessMode{1, 0, 2}));
}

// The writer divides every class anew for its conversion; the row shows
// the new record count.
TEST_F(MakeFlow, WriterDivisionsRewriteUseRec) {
    addOneBitClass(project, 0, dir / "class1.bmp", 320, 320, 1, 1, [](int x, int y) { return (x ^ y) % 5 == 0; });
    project.classCount = 1;
    project.colourMode = ColourMode::Bpp8;
    project.requestedColourMode = ColourMode::Bpp8;
    typeIdentity("Map", "01234");
    platform.setControlText(kMain, ids::kIdClassUseRec[0], "1");
    queueFixedPassword();
    platform.queue(chooseFile(output.string()));

    EXPECT_TRUE(make());
    EXPECT_EQ(platform.messages().back(), kSuccess);
    const MapClassEntry& row = project.classes[0];
    EXPECT_GT(row.recordColumns * row.recordRows, 1);
    EXPECT_EQ(platform.text(ids::kIdClassUseRec[0]), std::to_string(row.recordColumns * row.recordRows));
}

TEST_F(MakeFlow, WriterFailureShowsItsCascadeAndKeepsTheExistingDatabase) {
    BmpRecipe colour;
    colour.bitCount = 24;
    colour.pixel = [](int x, int y) { return static_cast<std::uint32_t>(x * 0x010203 + y); };
    writeFile(dir / "colour.bmp", makeBmp(colour));
    RecordingFeedback checks;
    ControlUpdates updates;
    ASSERT_EQ(checkClassBitmap(project, dir / "colour.bmp", 0, false, checks, updates), ClassBitmapResult::Ok);
    project.classes[0].fileName.assign((dir / "colour.bmp").string());
    project.classCount = 1;
    const std::vector<std::uint8_t> previous = {'k', 'e', 'e', 'p'};
    writeFile(output, previous);
    typeIdentity("Map", "01234");
    queueFixedPassword();
    platform.queue(chooseFile(output.string()));

    EXPECT_FALSE(make());
    EXPECT_EQ(platform.messageTexts(),
              (std::vector<std::string>{"Error : Original bitmap file format support 1bits/pixel mode only.",
                                        "Error : Can not compress this data.", "Error : cannot make pdb-file",
                                        kNotMadeText}));
    EXPECT_EQ(platform.messages().back(), kNotMade);
    EXPECT_EQ(readFile(output), previous);
    EXPECT_EQ(folderEntries(dir.path()), (std::vector<std::string>{"colour.bmp", "map.pdb", "work"}));
    EXPECT_TRUE(folderEntries(work).empty());
}

// The window's front end with nobody told how far the writer is.
class UnwatchedFrontEnd : public app::DialogMakeFrontEnd {
public:
    using DialogMakeFrontEnd::DialogMakeFrontEnd;
    Progress progress() override { return {}; }
};

// Two colour classes dithered into 8BPP. Without a cancel the reports rise
// to 1 and the database is the one made when nobody is told; a cancel at
// any report ends the make silently, the existing database as it was and
// nothing left behind.
TEST_F(MakeFlow, CancelAtEveryProgressStepLeavesEverythingAsItWas) {
    for (int k = 0; k < 2; ++k) {
        BmpRecipe colour;
        colour.width = colour.height = 320 << k;
        colour.bitCount = 24;
        colour.pixel = [](int x, int y) { return static_cast<std::uint32_t>(x * 0x030507 + y * 0x0b0d11); };
        const fs::path path = dir / ("colour" + std::to_string(k + 1) + ".bmp");
        writeFile(path, makeBmp(colour));
        RecordingFeedback checks;
        ControlUpdates updates;
        ASSERT_EQ(checkClassBitmap(project, path, k, false, checks, updates), ClassBitmapResult::Ok);
        project.classes[static_cast<std::size_t>(k)].fileName.assign(path.string());
        project.classCount = k + 1;
    }
    project.colourMode = project.requestedColourMode = ColourMode::Bpp8;
    platform.setChecked(kMain, ids::kIdDithering, true);
    typeIdentity("Map", "01234");
    const fs::path reference = dir / "reference.pdb";
    queueFixedPassword();
    platform.queue(chooseFile(reference.string()));
    UnwatchedFrontEnd unwatched(platform, clock, work);
    ASSERT_TRUE(app::makeDatabaseCommand(project, unwatched));
    EXPECT_TRUE(platform.progressReports().empty());

    const std::vector<std::uint8_t> previous = {'k', 'e', 'e', 'p'};
    platform.clearProgress();
    queueFixedPassword();
    platform.queue(chooseFile(output.string()));
    ASSERT_TRUE(make());
    const std::vector<double> reports = platform.progressReports();
    ASSERT_GE(reports.size(), 8u);
    EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));
    EXPECT_DOUBLE_EQ(reports.back(), 1.0);
    EXPECT_EQ(platform.progressEnds(), 1);
    EXPECT_EQ(readFile(output), readFile(reference));

    for (std::size_t n = 0; n < reports.size(); ++n) {
        writeFile(output, previous);
        platform.clearMessages();
        platform.clearProgress();
        platform.cancelProgressAt(n);
        queueFixedPassword();
        platform.queue(chooseFile(output.string()));
        EXPECT_FALSE(make()) << n;
        EXPECT_TRUE(platform.messages().empty()) << n << ": " << platform.messageTexts().at(0);
        EXPECT_EQ(platform.progressReports().size(), n + 1) << n;
        EXPECT_EQ(platform.progressEnds(), 1) << n;
        EXPECT_EQ(readFile(output), previous) << n;
        EXPECT_EQ(folderEntries(dir.path()),
                  (std::vector<std::string>{"colour1.bmp", "colour2.bmp", "map.pdb", "reference.pdb", "work"}))
            << n;
        EXPECT_TRUE(folderEntries(work).empty()) << n;
    }
}

}  // namespace
}  // namespace plotvane::test
