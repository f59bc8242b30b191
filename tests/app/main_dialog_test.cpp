#include <fstream>
#include <set>
#include <vector>

#include "app/dialog_layout.h"
#include "app/main_dialog_fixture.h"

namespace plotvane::test {
namespace {

using ui::DialogId;

void touch(const std::filesystem::path& path) { std::ofstream(path) << "x"; }

const std::vector<std::string> kTemporaryFiles = {"temporbl.$$$", "temppdb.$$$", "tempcomp.$$$"};
const std::vector<std::string> kRestoreFiles = {"mktempfl.001", "mktempfl.002", "mktempfl.003", "mktempfl.004"};

// ---- Start, leftover check, exit -------------------------------------------------

TEST_F(MainDialogTest, StartStateOfTheControls) {
    struct Row {
        int id;
        bool enabled;
    };
    const Row buttons[] = {{1000, true}, {1001, false}, {1003, false}, {1004, false}, {4, true},
                           {5, false},   {1005, false}, {1053, true},  {1045, true},  {1046, true},
                           {1049, true}, {1050, true},  {1051, true},  {1052, true},  {1030, true},
                           {1031, true}, {3, true}};
    for (const Row& b : buttons) EXPECT_EQ(platform.enabled(b.id), b.enabled) << b.id;

    struct Limit {
        int id;
        int limit;
    };
    const Limit limits[] = {{1025, 15}, {1026, 5},  {1027, 3}, {1028, 2}, {1029, 2}, {1032, 2},
                            {1033, 3},  {1034, 2},  {1035, 2}, {1036, 2}, {1037, 3}, {1038, 2},
                            {1039, 2},  {1040, 2},  {1041, 3}, {1042, 2}, {1043, 2}, {1044, 2},
                            {1047, 48}, {1002, 0},  {1006, 0}, {1007, 0}, {1008, 0}};
    for (const Limit& l : limits) EXPECT_EQ(platform.control(l.id).limit, l.limit) << l.id;

    for (const auto& angle : ids::kIdCoordinate)
        for (int id : angle) EXPECT_EQ(platform.text(id), "0") << id;
    EXPECT_EQ(platform.text(1047), "");
    EXPECT_EQ(platform.text(1048), "0/0");
    EXPECT_FALSE(platform.checked(1054));
    EXPECT_FALSE(platform.checked(1055));
    EXPECT_EQ(project().previewClass, 0);
    EXPECT_EQ(project().colourMode, ColourMode::Original);
    EXPECT_EQ(project().requestedColourMode, ColourMode::Original);
    EXPECT_EQ(project().sourceBitDepth, 24);
    EXPECT_EQ(project().access.fullEdit, 1);
    EXPECT_TRUE(platform.messages().empty());
}

// Each edit of the main dialog carries exactly the edit styles it has
// always had: digits for the version and coordinates, read-only at start for
// the class rows and the counter, Windows-1252 text for the information text.
TEST(MainDialogLayout, EditStylesOfEveryEdit) {
    std::set<int> digits{ids::kIdVersion}, readOnly{ids::kIdInfoTextCounter}, text{ids::kIdInfoTextEdit};
    for (const auto& angle : ids::kIdCoordinate) digits.insert(std::begin(angle), std::end(angle));
    for (int k = 0; k < 4; ++k)
        readOnly.insert({ids::kIdClassFileName[k], ids::kIdClassTopxN[k], ids::kIdClassWidth[k],
                         ids::kIdClassHeight[k], ids::kIdClassUseRec[k]});
    int edits = 0;
    for (const ui::ControlLayout& row : ui::dialogLayout(DialogId::Main).controls) {
        if (row.kind != ui::ControlKind::Edit) continue;
        ++edits;
        EXPECT_EQ((row.styles & ui::kDigitsOnly) != 0, digits.count(row.id) == 1) << row.id;
        EXPECT_EQ((row.styles & ui::kReadOnlyAtStart) != 0, readOnly.count(row.id) == 1) << row.id;
        EXPECT_EQ((row.styles & ui::kWindows1252Text) != 0, text.count(row.id) == 1) << row.id;
    }
    EXPECT_EQ(edits, 40);
}

TEST_F(MainDialogTest, EditLimitsHoldAsTyped) {
    EXPECT_EQ(platform.typeInto(DialogId::Main, 1025, "ABCDEFGHIJKLMNOPQ"), "ABCDEFGHIJKLMNO");
    EXPECT_EQ(platform.typeInto(DialogId::Main, 1026, "12a3456"), "12345");
    EXPECT_EQ(platform.typeInto(DialogId::Main, 1047, std::string(50, 'x')), std::string(48, 'x'));
}

TEST(MainDialogStart, LeftoverRestoreFileRefusesTheStart) {
    struct Case {
        std::vector<std::string> present;
        std::string message;  // empty: the start goes on
    };
    const Case cases[] = {
        {{}, ""},
        {{"mktempfl.001"}, "Plotvane use [mktempfl.001]file. Please delete it."},
        {{"mktempfl.002", "mktempfl.004"}, "Plotvane use [mktempfl.002]file. Please delete it."},
        {{"mktempfl.003", "mktempfl.004"}, "Plotvane use [mktempfl.003]file. Please delete it."},
        {{"mktempfl.004"}, "Plotvane use [mktempfl.004]file. Please delete it."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        TempDir dir;
        for (const std::string& name : c.present) touch(dir / name);
        for (const std::string& name : kTemporaryFiles) touch(dir / name);
        ScriptedPlatform platform;
        FixedClock clock(0);
        {
            app::MainDialog dialog(platform, dir.path(), clock);
            const bool started = dialog.create();
            EXPECT_EQ(started, c.message.empty());
            if (started) dialog.initialise();
            dialog.destroy();
        }
        if (c.message.empty()) {
            EXPECT_TRUE(platform.messages().empty());
        } else {
            EXPECT_EQ(platform.messages(), (std::vector<Message>{{"Error", c.message, Icon::Exclamation}}));
        }
        // A refused start keeps every RestoreFile; the other temporary files always go.
        for (const std::string& name : c.present) EXPECT_TRUE(std::filesystem::exists(dir / name)) << name;
        for (const std::string& name : kTemporaryFiles) EXPECT_FALSE(std::filesystem::exists(dir / name)) << name;
    }
}

TEST_F(MainDialogTest, ExitRemovesEveryTemporaryFileAndNothingElse) {
    for (const auto& names : {kRestoreFiles, kTemporaryFiles})
        for (const std::string& name : names) touch(work(name));
    touch(work("mktempfl.005"));
    touch(work("map.pdb"));
    dialog.destroy();
    for (const auto& names : {kRestoreFiles, kTemporaryFiles})
        for (const std::string& name : names) EXPECT_FALSE(std::filesystem::exists(work(name))) << name;
    EXPECT_TRUE(std::filesystem::exists(work("mktempfl.005")));
    EXPECT_TRUE(std::filesystem::exists(work("map.pdb")));
}

TEST_F(MainDialogTest, AboutBoxFromTheWindowMenuAndTheInfoButton) {
    struct Case {
        int systemCommand;
        int aboutBoxes;
    };
    const Case cases[] = {{16, 1}, {17, 1}, {31, 1}, {15, 0}, {32, 0}, {0xF060, 0}};
    for (const Case& c : cases) {
        const int before = platform.aboutBoxes();
        dialog.systemCommand(c.systemCommand);
        EXPECT_EQ(platform.aboutBoxes() - before, c.aboutBoxes) << c.systemCommand;
    }
    const int before = platform.aboutBoxes();
    EXPECT_TRUE(click(ids::kIdInfo));
    EXPECT_EQ(platform.aboutBoxes(), before + 1);
    EXPECT_FALSE(platform.mainDialogEnded());
}

TEST_F(MainDialogTest, EscapeAndCloseEndTheDialog) {
    dialog.close();
    EXPECT_TRUE(platform.mainDialogEnded());
    EXPECT_TRUE(platform.messages().empty());
}

// ---- Class rows ----------------------------------------------------------------------

TEST_F(MainDialogTest, FourClassesFillTheirRowsInOrder) {
    struct Row {
        int side;
        const char* topxn;
        const char* useRec;
    };
    const Row rows[] = {{160, "TOP", "1"}, {320, "2", "1"}, {640, "4", "1"}, {1280, "8", "4"}};
    for (int k = 0; k < 4; ++k) {
        SCOPED_TRACE(k);
        const std::string path = bitmap(std::to_string(k) + ".bmp", oneBitClass(rows[k].side, rows[k].side));
        platform.clearRepaints();
        ASSERT_TRUE(pickClass(k, path));
        EXPECT_TRUE(platform.messages().empty());
        EXPECT_EQ(platform.text(ids::kIdClassFileName[k]), path);
        EXPECT_EQ(project().classes[static_cast<std::size_t>(k)].fileName.str(), path);
        EXPECT_EQ(platform.text(ids::kIdClassTopxN[k]), rows[k].topxn);
        EXPECT_EQ(platform.text(ids::kIdClassWidth[k]), std::to_string(rows[k].side));
        EXPECT_EQ(platform.text(ids::kIdClassHeight[k]), std::to_string(rows[k].side));
        EXPECT_EQ(platform.text(ids::kIdClassUseRec[k]), rows[k].useRec);
        for (int b = 0; b < 4; ++b) EXPECT_EQ(platform.enabled(ids::kIdClassButton[b]), b == k + 1) << b;
        EXPECT_EQ(project().classCount, k + 1);
        EXPECT_EQ(project().previewClass, k + 1);
        EXPECT_EQ(project().previewCentreX, 80);
        EXPECT_EQ(project().previewCentreY, 80);
        EXPECT_EQ(platform.enabled(ids::kIdInfoTextButton), k == 0);
        EXPECT_EQ(platform.text(1048), "0/0");
        EXPECT_EQ(platform.repaints(), (std::vector<ui::Region>{ui::Region::ClassIndicator, ui::Region::PreviewArea}));
    }
    ASSERT_EQ(platform.fileDialogs().size(), 4u);
    for (const auto& call : platform.fileDialogs()) {
        EXPECT_FALSE(call.save);
        EXPECT_EQ(call.request.filter,
                  "bitmap (*.bmp)|*.bmp|picture (*.png;*.jpg;*.jpeg;*.tif;*.tiff;*.gif)|"
                  "*.png;*.jpg;*.jpeg;*.tif;*.tiff;*.gif||");
        EXPECT_EQ(call.request.defaultExtension, ".bmp");
    }
}

TEST_F(MainDialogTest, RefusedOrCancelledChoiceChangesNothing) {
    ASSERT_TRUE(pickClass(0, bitmap("top.bmp", oneBitClass(640, 480))));
    EXPECT_EQ(platform.text(1009), "TOP");
    EXPECT_EQ(platform.text(1013), "640");
    EXPECT_EQ(platform.text(1017), "480");

    struct Case {
        std::string name;
        BmpRecipe recipe;
        std::vector<std::string> messages;
    };
    BmpRecipe compressed = oneBitClass(1280, 960);
    compressed.compression = 1;
    const Case cases[] = {
        {"", {}, {}},  // the file dialog cancelled
        {"three.bmp", oneBitClass(1920, 1440),
         {"Error : Please check [Upper class bmp] = [this class bmp] x2 or x4 or x8"}},
        {"uneven.bmp", oneBitClass(1280, 1920), {"Error : The magnification is different between Width and Height"}},
        {"small.bmp", oneBitClass(150, 960), {"Error : Please check [Width>=160] & [Height>=160]"}},
        {"rle.bmp", compressed, {"This bmp-file is compressed.\nPlease change non-compress bmp-file."}},
        {"missing.bmp", {}, {"Error : Cannot find bmp-file"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        platform.clearMessages();
        platform.clearLog();
        platform.clearRepaints();
        if (c.name.empty()) {
            platform.queue(cancelFile());
        } else if (c.name == "missing.bmp") {
            platform.queue(chooseFile((inputs / c.name).string()));
        } else {
            platform.queue(chooseFile(bitmap(c.name, c.recipe)));
        }
        ASSERT_TRUE(click(ids::kIdClassButton[1]));
        EXPECT_EQ(platform.messageTexts(), c.messages);
        EXPECT_EQ(platform.log().size(), 2u + c.messages.size());  // the click, the dialog, the messages
        EXPECT_TRUE(platform.repaints().empty());
        EXPECT_EQ(project().classCount, 1);
        EXPECT_EQ(project().previewClass, 1);
        EXPECT_TRUE(platform.enabled(1001));
        for (int id : {1006, 1010, 1014, 1018, 1022}) EXPECT_EQ(platform.text(id), "") << id;
    }
    ASSERT_TRUE(pickClass(1, bitmap("right.bmp", oneBitClass(1280, 960))));
    EXPECT_EQ(platform.text(1010), "2");
    EXPECT_EQ(project().classCount, 2);
}

TEST_F(MainDialogTest, ALongPathIsKeptWhole) {
    std::filesystem::path folder = inputs;
    for (int i = 0; i < 4; ++i) folder /= std::string(40, static_cast<char>('a' + i));
    std::filesystem::create_directories(folder);
    const std::filesystem::path path = folder / "top.bmp";
    writeFile(path, makeBmp(oneBitClass(160, 160)));
    ASSERT_GT(path.string().size(), 160u);
    ASSERT_TRUE(pickClass(0, path.string()));
    EXPECT_EQ(platform.text(1002), path.string());
    EXPECT_EQ(project().classes[0].fileName.str(), path.string());
}

TEST_F(MainDialogTest, ClassButtonsActOnlyForTheNextFreeRow) {
    // A disabled button cannot be clicked; the command itself also refuses.
    dialog.command(ids::kIdClassButton[2]);
    EXPECT_TRUE(platform.fileDialogs().empty());
    pickFourClasses();
    for (int id : ids::kIdClassButton) dialog.command(id);
    EXPECT_EQ(platform.fileDialogs().size(), 4u);
    EXPECT_EQ(project().classCount, 4);
}

}  // namespace
}  // namespace plotvane::test
