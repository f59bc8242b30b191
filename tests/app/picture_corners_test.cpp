// A Class 1 that carries georeferencing: the question box, and on Yes the
// sixteen coordinate edits filled as typed and GPS on.
#include <gtest/gtest.h>

#include <fstream>

#include "app/main_dialog_fixture.h"

namespace plotvane::test {
namespace {

TEST_F(MainDialogTest, GeoreferencedClassOneOffersItsCorners) {
    for (const bool yes : {false, true}) {
        SCOPED_TRACE(yes);
        const std::string path = bitmap(yes ? "yes.bmp" : "no.bmp", oneBitClass(640, 480));
        // The centre of the first pixel: the corner is half a pixel up and left.
        std::ofstream(std::filesystem::path(path).replace_extension(".wld"))
            << "0.001\n0\n0\n-0.001\n139.5005\n35.7995\n";
        if (yes) dialog.initialise();  // a fresh project: Class 1 free again
        platform.queue({chooseFile(path), answer(yes)});
        ASSERT_TRUE(platform.clickControl(dialog, ids::kIdClassButton[0]));
        ASSERT_EQ(platform.questions().size(), yes ? 2u : 1u);
        EXPECT_EQ(platform.questions().back().title, "Plotvane");
        EXPECT_NE(platform.questions().back().text.find(
                      "upper-left 35:48:00.000 N, 139:30:00.000 E (35.8000000, 139.5000000)\n"
                      "bottom-right 35:19:12.000 N, 140:08:24.000 E (35.3200000, 140.1400000)\n"),
                  std::string::npos)
            << platform.questions().back().text;
        EXPECT_EQ(project().gpsEnabled, yes ? 1 : 0);
        const char* expected[4][4] = {{"35", "48", "0", "00"}, {"139", "30", "0", "00"},
                                      {"35", "19", "12", "00"}, {"140", "8", "24", "00"}};
        for (int v = 0; v < 4; ++v)
            for (int p = 0; p < 4; ++p)
                if (yes) {
                    EXPECT_EQ(platform.text(ids::kIdCoordinate[v][p]), expected[v][p]) << v << p;
                }
        EXPECT_TRUE(platform.allActionsPlayed());
    }
}

}  // namespace
}  // namespace plotvane::test
