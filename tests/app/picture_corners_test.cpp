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
    const char* corners;  // in the question's text
    const char* error;    // the figure's unit, in the question's text
    bool caution;
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
        {"DegreesNo", degrees, nullptr, false, inDegrees, "0.00 pixels of Class 1.", false},
        {"DegreesYes", degrees, nullptr, true, inDegrees, "0.00 pixels of Class 1.", false},
        {"UtmYes", utm, "EPSG:32654", true, "upper-left 35:46:", " pixels of Class 1.\nCAUTION", true},
    };
    for (const CornerCase& c : cases) {
        SCOPED_TRACE(c.name);
        dialog.initialise();  // a fresh project: Class 1 free again
        const std::size_t asked = platform.questions().size();
        const std::string path = bitmap(std::string(c.name) + ".bmp", oneBitClass(640, 480));
        std::ofstream(std::filesystem::path(path).replace_extension(".wld")) << c.worldFile;
        if (c.prj != nullptr) std::ofstream(std::filesystem::path(path).replace_extension(".prj")) << c.prj;
        platform.queue({chooseFile(path), answer(c.yes)});
        ASSERT_TRUE(click(ids::kIdClassButton[0]));
        ASSERT_EQ(platform.questions().size(), asked + 1);
        const ui::Question& question = platform.questions().back();
        EXPECT_EQ(question.title, "Plotvane");
        EXPECT_NE(question.text.find(c.corners), std::string::npos) << question.text;
        EXPECT_NE(question.text.find(c.error), std::string::npos) << question.text;
        EXPECT_EQ(question.text.find("CAUTION: that is more than one pixel.") != std::string::npos, c.caution);
        EXPECT_EQ(project().gpsEnabled, c.yes ? 1 : 0);
        EXPECT_TRUE(platform.allActionsPlayed());
        if (!c.yes || c.prj != nullptr) continue;
        const char* expected[4][4] = {{"35", "48", "0", "00"}, {"139", "30", "0", "00"},
                                      {"35", "19", "12", "00"}, {"140", "8", "24", "00"}};
        for (int v = 0; v < 4; ++v)
            for (int p = 0; p < 4; ++p) EXPECT_EQ(platform.text(ids::kIdCoordinate[v][p]), expected[v][p]) << v << p;
    }
}

}  // namespace
}  // namespace plotvane::test
