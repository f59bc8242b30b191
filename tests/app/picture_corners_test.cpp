// A Class 1 that carries georeferencing: the question box, and on Yes the
// sixteen coordinate edits filled as typed and GPS on.
#include <gtest/gtest.h>

#include <fstream>

#include "app/main_dialog_fixture.h"

namespace plotvane::test {
namespace {

struct CornerCase {
    const char* name;
    const char* worldFile;  // the centre of the first pixel
    const char* prj;        // nullptr: none beside the picture
    bool yes;
    bool reproject;       // the question's check box ticked
    const char* corners;  // in the question's text
    const char* error;    // the figure's unit, in the question's text
    bool caution;         // and the check box offered
};

TEST_F(MainDialogTest, GeoreferencedClassOneOffersItsCorners) {
    const char* degrees = "0.001\n0\n0\n-0.001\n139.5005\n35.7995\n";
    const char* inDegrees =
        "upper-left 35:48:00.000 N, 139:30:00.000 E (35.8000000, 139.5000000)\n"
        "bottom-right 35:19:12.000 N, 140:08:24.000 E (35.3200000, 140.1400000)\n";
    // 10 m pixels of UTM zone 54N: grid north leans against true north, so
    // the straight interpolation is off by pixels.
    const char* utm = "10\n0\n0\n-10\n380005\n3959995\n";
    const CornerCase cases[] = {
        {"DegreesNo", degrees, nullptr, false, false, inDegrees, "0.00 pixels of Class 1.", false},
        {"DegreesYes", degrees, nullptr, true, true, inDegrees, "0.00 pixels of Class 1.", false},
        {"UtmYes", utm, "EPSG:32654", true, false, "upper-left 35:46:", " pixels of Class 1.\nCAUTION", true},
        {"UtmReprojected", utm, "EPSG:32654", true, true, "upper-left 35:46:", " pixels of Class 1.\nCAUTION", true},
    };
    for (const CornerCase& c : cases) {
        SCOPED_TRACE(c.name);
        dialog.initialise();  // a fresh project: Class 1 free again
        const std::size_t asked = platform.questions().size();
        const std::string path = bitmap(std::string(c.name) + ".bmp", oneBitClass(640, 480));
        std::ofstream(std::filesystem::path(path).replace_extension(".wld")) << c.worldFile;
        if (c.prj != nullptr) std::ofstream(std::filesystem::path(path).replace_extension(".prj")) << c.prj;
        platform.queue({chooseFile(path), answer(c.yes, c.reproject)});
        ASSERT_TRUE(click(ids::kIdClassButton[0]));
        ASSERT_EQ(platform.questions().size(), asked + 1);
        const ui::Question& question = platform.questions().back();
        EXPECT_EQ(question.title, "Plotvane");
        EXPECT_NE(question.text.find(c.corners), std::string::npos) << question.text;
        EXPECT_NE(question.text.find(c.error), std::string::npos) << question.text;
        EXPECT_EQ(question.text.find("CAUTION: that is more than one pixel.") != std::string::npos, c.caution);
        EXPECT_EQ(question.checkBox,
                  c.caution ? "Reproject the classes to latitude/longitude (positions then exact)" : "");
        EXPECT_EQ(project().gpsEnabled, c.yes ? 1 : 0);
        EXPECT_TRUE(platform.allActionsPlayed());
        EXPECT_EQ(platform.text(ids::kIdClassFileName[0]), path);
        if (c.prj != nullptr && c.reproject) {
            // Reprojected: a new size whose sides every magnification
            // divides, corners around the map's own, and Class 2 reprojected
            // at twice Class 1's size.
            const int width = std::stoi(platform.text(ids::kIdClassWidth[0]));
            const int height = std::stoi(platform.text(ids::kIdClassHeight[0]));
            EXPECT_NE(width, 640);
            EXPECT_EQ(width % 8, 0);
            EXPECT_EQ(height % 8, 0);
            EXPECT_EQ(project().classes[0].width, width);
            const auto seconds = [&](int v) {
                return std::stoi(platform.text(ids::kIdCoordinate[v][0])) * 3600 +
                       std::stoi(platform.text(ids::kIdCoordinate[v][1])) * 60 +
                       std::stoi(platform.text(ids::kIdCoordinate[v][2]));
            };
            EXPECT_EQ(seconds(0), 35 * 3600 + 46 * 60 + 39);  // the map's northernmost corner
            EXPECT_LT(seconds(2), seconds(0));
            EXPECT_LT(seconds(1), seconds(3));
            ASSERT_TRUE(pickClass(1, bitmap(std::string(c.name) + "2.bmp", oneBitClass(1280, 960))));
            EXPECT_EQ(platform.text(ids::kIdClassWidth[1]), std::to_string(2 * width));
            EXPECT_EQ(platform.text(ids::kIdClassHeight[1]), std::to_string(2 * height));
            EXPECT_EQ(platform.text(ids::kIdClassTopxN[1]), "2");
            for (const auto& entry : std::filesystem::directory_iterator(inputs))
                EXPECT_EQ(entry.path().filename().string().rfind("temppict.", 0), std::string::npos);
        } else if (c.prj != nullptr) {
            EXPECT_EQ(platform.text(ids::kIdClassWidth[0]), "640");
        }
        if (!c.yes || c.prj != nullptr) continue;
        const char* expected[4][4] = {{"35", "48", "0", "00"}, {"139", "30", "0", "00"},
                                      {"35", "19", "12", "00"}, {"140", "8", "24", "00"}};
        for (int v = 0; v < 4; ++v)
            for (int p = 0; p < 4; ++p) EXPECT_EQ(platform.text(ids::kIdCoordinate[v][p]), expected[v][p]) << v << p;
    }
}

}  // namespace
}  // namespace plotvane::test
