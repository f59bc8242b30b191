#include <vector>

#include "app/main_dialog_fixture.h"
#include "scene/map_scene.h"
#include "support/cli_fixtures.h"

namespace plotvane::test {
namespace {

using ui::DialogId;

constexpr DialogId kInput = DialogId::PasswordInput;
constexpr DialogId kAgain = DialogId::PasswordAgain;

const Message kCaution = warning(
    "CAUTION!\n Please use Non Compression Data for the GPS Data.\n Compression Data display slowly.", Icon::Exclamation);
const Message kNotSame = error("This Password is not same first-password !", Icon::Exclamation);
const Message kNotMade = info("Do not make Map Database File.", Icon::Exclamation);
const Message kSuccess = {"Plotvane", "Success : Map Database making", Icon::None};

UserAction typePassword(DialogId dialog, std::string text) {
    return type(dialog, ids::kIdPasswordEdit, std::move(text));
}

// A map with every feature made in the window, a password mistyped once and
// the save cancelled once, gives the bytes the command line writes.
TEST_F(MainDialogTest, MakePdbWritesWhatTheCommandLineWrites) {
    CliSandbox box;
    const auto c1 = box.input("scene1.bmp");
    const auto c2 = box.input("scene2.bmp");
    ASSERT_TRUE(scene::writeSceneBmp(c1, 320, 320, 24));
    ASSERT_TRUE(scene::writeSceneBmp(c2, 640, 640, 8));
    const auto cliOut = box.output("cli.pdb");
    const ProcessResult r =
        box.run({"make", "-o", cliOut.string(), "--name", "Scene (2)", "--version", "54321", "--mode", "2",
                 "--dither", "--compress", "--text", "100,40,Lighthouse", "--text", "318,2,Caf\xC3\xA9",
                 "--upper-left", "43:10:5.5,5:20:0", "--bottom-right", "43:0:0,5:40:0.25", "--view", "information",
                 "--edit", "full", c1.string(), c2.string()},
                {{"PLOTVANE2_PASSWORD", "Sea4Sun2"}});
    ASSERT_EQ(r.exitCode, 0) << r.err;

    ASSERT_TRUE(pickClass(0, c1.string()));
    ASSERT_TRUE(pickClass(1, c2.string()));
    ASSERT_TRUE(click(ids::kIdZoomOut));
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(click(ids::kIdColour));  // 8, 4, 2
    ASSERT_EQ(project().colourMode, ColourMode::Bpp2);
    ASSERT_TRUE(click(ids::kIdDithering));
    ASSERT_TRUE(click(ids::kIdCompress));
    for (const auto& [x, y, text] : {std::tuple{100, 40, "Lighthouse"}, std::tuple{318, 2, "Caf\xC3\xA9"}}) {
        centreOn(x, y);
        platform.typeInto(DialogId::Main, ids::kIdInfoTextEdit, text);
        ASSERT_TRUE(click(ids::kIdInfoTextButton));
    }
    ASSERT_TRUE(click(ids::kIdGpsOn));
    const char* corners[4][4] = {{"43", "10", "5", "5"}, {"5", "20", "0", "0"}, {"43", "0", "0", "0"}, {"5", "40", "0", "25"}};
    for (int v = 0; v < 4; ++v)
        for (int p = 0; p < 4; ++p) platform.typeInto(DialogId::Main, ids::kIdCoordinate[v][p], corners[v][p]);
    platform.typeInto(DialogId::Main, ids::kIdDatabaseName, "Scene (2)");
    platform.typeInto(DialogId::Main, ids::kIdVersion, "54321");
    platform.clearMessages();

    const std::filesystem::path out = dir.path() / "window.pdb";
    platform.queue({test::click(kInput, ids::kIdInformation), typePassword(kInput, "Sea4Sun2"), test::click(kInput, ids::kIdOk),
                    typePassword(kAgain, "Sea4Sun3"), test::click(kAgain, ids::kIdOk), typePassword(kAgain, "Sea4Sun2"),
                    test::click(kAgain, ids::kIdOk), cancelFile()});
    ASSERT_TRUE(click(ids::kIdMakePdb));
    EXPECT_EQ(platform.messages(), (std::vector<Message>{kCaution, kNotSame, kNotMade}));
    EXPECT_EQ(platform.dialogsShown(), (std::vector<DialogId>{kInput, kAgain, kAgain}));
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_EQ(platform.text(ids::kIdUpperLeftLatFraction), "500");

    platform.clearMessages();
    platform.queue({typePassword(kInput, "Sea4Sun2"), test::click(kInput, ids::kIdOk), typePassword(kAgain, "Sea4Sun2"),
                    test::click(kAgain, ids::kIdOk), chooseFile(out.string())});
    ASSERT_TRUE(click(ids::kIdMakePdb));
    EXPECT_EQ(platform.messages(), (std::vector<Message>{kCaution, kSuccess}));
    EXPECT_TRUE(platform.allActionsPlayed());
    ASSERT_EQ(platform.fileDialogs().back().request.filter, "Database for Orbilune(*.pdb)|*.pdb||");
    EXPECT_TRUE(platform.fileDialogs().back().save);
    EXPECT_EQ(readFile(out), readFile(cliOut));
}

}  // namespace
}  // namespace plotvane::test
