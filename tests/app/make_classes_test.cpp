// "Make classes from one picture..." through the scripted platform: the
// classes dialog, the build with its progress, and the rows picked as the
// class buttons pick them.
#include <fstream>
#include <string>

#include "app/main_dialog_fixture.h"

namespace plotvane::test {
namespace {

std::uint32_t scan(int x, int y) {
    if (x % 9 == 4 || y % 13 == 6) return 0x202020;
    return (static_cast<std::uint32_t>(x * 3 + y * 5) * 2654435761u) & 0xFFFFFFu;
}

class MakeClassesTest : public MainDialogTest {
protected:
    std::string master() {
        BmpRecipe r;
        r.width = 601;
        r.height = 421;
        r.pixel = scan;
        return bitmap("scan.bmp", r);
    }
    ui::ClassesChoice twoClasses() {
        ui::ClassesChoice choice;
        choice.classCount = 2;
        choice.folder = (dir.path() / "work").string();
        return choice;
    }
    void makeClasses() { dialog.systemCommand(ids::kSysCommandMakeClasses); }
};

TEST_F(MakeClassesTest, FillsTheRowsAsTheClassButtonsWould) {
    platform.queue(chooseFile(master()));
    platform.queueClassesAnswer(twoClasses());
    makeClasses();
    ASSERT_TRUE(platform.allActionsPlayed());
    ASSERT_EQ(platform.classesDialogs().size(), 1u);
    // Original mode, a colour picture: sized as for 1BPP; three classes at first.
    EXPECT_EQ(platform.classesDialogs()[0].first.classCount, 3);
    EXPECT_EQ(platform.classesDialogs()[0].first.folder, (dir.path() / "work").string());
    EXPECT_EQ(platform.classesDialogs()[0].second,
              "In 1BPP mode:\nClass 1: 160 x 160, 1 record\nClass 2: 320 x 320, 1 record\nClass 3: 640 x 640, 1 "
              "record\nAdded 39 pixels of white on the right and 219 pixels at the bottom of the 601 x 421 picture "
              "(640 x 640).");
    EXPECT_TRUE(platform.messages().empty()) << platform.messageTexts().at(0);
    EXPECT_EQ(project().classCount, 2);
    const std::string rows[2][5] = {{work("class1.bmp").string(), "TOP", "302", "212", "1"},
                                    {work("class2.bmp").string(), "2", "604", "424", "1"}};
    for (int k = 0; k < 2; ++k) {
        EXPECT_EQ(platform.text(ids::kIdClassFileName[k]), rows[k][0]);
        EXPECT_EQ(platform.text(ids::kIdClassTopxN[k]), rows[k][1]);
        EXPECT_EQ(platform.text(ids::kIdClassWidth[k]), rows[k][2]);
        EXPECT_EQ(platform.text(ids::kIdClassHeight[k]), rows[k][3]);
        EXPECT_EQ(platform.text(ids::kIdClassUseRec[k]), rows[k][4]);
    }
    EXPECT_TRUE(platform.enabled(ids::kIdClassButton[2]));
    EXPECT_FALSE(platform.enabled(ids::kIdClassButton[1]));
    // One report per row of the padded master, the dialog closed once.
    EXPECT_EQ(platform.progressReports().size(), 424u);
    EXPECT_EQ(platform.progressEnds(), 1);
}

TEST_F(MakeClassesTest, CancelLeavesNothingAndTheRowsEmpty) {
    writeFile(work("class1.bmp"), {'o', 'l', 'd'});
    platform.queue(chooseFile(master()));
    platform.queueClassesAnswer(twoClasses());
    platform.cancelProgressAt(100);
    makeClasses();
    EXPECT_EQ(platform.progressReports().size(), 101u);
    EXPECT_EQ(platform.progressEnds(), 1);
    EXPECT_TRUE(platform.messages().empty());
    EXPECT_EQ(project().classCount, 0);
    EXPECT_EQ(readFile(work("class1.bmp")), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
    EXPECT_FALSE(std::filesystem::exists(work("class2.bmp")));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path() / "work"), {}), 1);
}

// A master with a world file in degrees: once the rows are filled, the
// question box offers the corners of Class 1's outer edges, the master
// padded from 601 x 421 to 604 x 424 pixels of 0.001 degrees.
TEST_F(MakeClassesTest, GeoreferencedMasterOffersThePaddedCorners) {
    const std::string path = master();
    // The centre of the first pixel: the corner is half a pixel up and left.
    std::ofstream(std::filesystem::path(path).replace_extension(".wld")) << "0.001\n0\n0\n-0.001\n139.5005\n35.7995\n";
    platform.queue({chooseFile(path), answer(true)});
    platform.queueClassesAnswer(twoClasses());
    makeClasses();
    ASSERT_TRUE(platform.allActionsPlayed());
    EXPECT_EQ(project().classCount, 2);
    ASSERT_EQ(platform.questions().size(), 1u);
    EXPECT_NE(platform.questions()[0].text.find(
                  "upper-left 35:48:00.000 N, 139:30:00.000 E (35.8000000, 139.5000000)\n"
                  "bottom-right 35:22:33.600 N, 140:06:14.400 E (35.3760000, 140.1040000)\n"),
              std::string::npos)
        << platform.questions()[0].text;
    EXPECT_EQ(project().gpsEnabled, 1);
    const char* expected[4][4] = {{"35", "48", "0", "00"}, {"139", "30", "0", "00"},
                                  {"35", "22", "33", "60"}, {"140", "6", "14", "40"}};
    for (int v = 0; v < 4; ++v)
        for (int p = 0; p < 4; ++p) EXPECT_EQ(platform.text(ids::kIdCoordinate[v][p]), expected[v][p]) << v << p;
}

// A master in UTM with 10 m pixels: the question gives the error in pixels
// of Class 2, the most detailed class made, and offers the reprojection;
// ticked, both classes enter reprojected and keep their magnification.
TEST_F(MakeClassesTest, ProjectedMasterReprojectsEveryClass) {
    const std::string path = master();
    std::ofstream(std::filesystem::path(path).replace_extension(".wld")) << "10\n0\n0\n-10\n380005\n3959995\n";
    std::ofstream(std::filesystem::path(path).replace_extension(".prj")) << "EPSG:32654";
    platform.queue({chooseFile(path), answer(true, true)});
    platform.queueClassesAnswer(twoClasses());
    makeClasses();
    ASSERT_TRUE(platform.allActionsPlayed());
    ASSERT_EQ(platform.questions().size(), 1u);
    EXPECT_NE(platform.questions()[0].text.find(" pixels of Class 2.\nCAUTION: that is more than one pixel."),
              std::string::npos)
        << platform.questions()[0].text;
    EXPECT_FALSE(platform.questions()[0].checkBox.empty());
    EXPECT_TRUE(platform.messages().empty()) << platform.messageTexts().at(0);
    EXPECT_EQ(project().classCount, 2);
    EXPECT_EQ(project().gpsEnabled, 1);
    const int width = std::stoi(platform.text(ids::kIdClassWidth[0]));
    const int height = std::stoi(platform.text(ids::kIdClassHeight[0]));
    EXPECT_NE(width, 302);
    EXPECT_EQ(width % 8, 0);
    EXPECT_EQ(platform.text(ids::kIdClassWidth[1]), std::to_string(2 * width));
    EXPECT_EQ(platform.text(ids::kIdClassHeight[1]), std::to_string(2 * height));
    EXPECT_EQ(platform.text(ids::kIdClassTopxN[1]), "2");
    // The rows name the class pictures made; the rules read their reprojections.
    EXPECT_EQ(platform.text(ids::kIdClassFileName[1]), work("class2.bmp").string());
    EXPECT_NE(project().classes[1].fileName.str(), work("class2.bmp").string());
}

TEST_F(MakeClassesTest, RefusedOnceAClassIsChosenAndNothingAskedOnCancel) {
    platform.queue(cancelFile());
    makeClasses();
    EXPECT_TRUE(platform.classesDialogs().empty());
    platform.queue(chooseFile(master()));
    platform.queueClassesAnswer(std::nullopt);
    makeClasses();
    EXPECT_TRUE(platform.progressReports().empty());
    EXPECT_FALSE(std::filesystem::exists(work("class1.bmp")));

    ASSERT_TRUE(pickClass(0, bitmap("c1.bmp", oneBitClass(160, 160))));
    makeClasses();
    EXPECT_EQ(platform.messages().back(),
              warning("Error : Classes are already chosen.\nMake classes from one picture fills the class rows from "
                      "Class 1."));
    EXPECT_TRUE(platform.allActionsPlayed());
}

}  // namespace
}  // namespace plotvane::test
