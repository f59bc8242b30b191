#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "app/main_dialog.h"
#include "project/control_ids.h"
#include "support/bmp_writer.h"
#include "support/database_fixtures.h"
#include "support/scripted_platform.h"
#include "support/temp_dir.h"

namespace plotvane::test {

// A 1-bit class bitmap of `width` x `height` with a pattern that differs
// per column and row, black first in the colour table.
inline BmpRecipe oneBitClass(int width, int height) {
    BmpRecipe r;
    r.width = width;
    r.height = height;
    r.bitCount = 1;
    r.palette = blackWhitePalette();
    r.pixel = [](int x, int y) { return static_cast<std::uint32_t>((x / 7 + y / 5) % 2); };
    return r;
}

// The main dialog opened on a scripted platform with an empty working
// folder, as the window opens it; the log starts after the initialisation.
class MainDialogTest : public ::testing::Test {
protected:
    void SetUp() override { open(); }

    void open() {
        ASSERT_TRUE(dialog.create());
        dialog.initialise();
        platform.clearLog();
        platform.clearRepaints();
    }

    std::string bitmap(const std::string& name, const BmpRecipe& recipe) {
        const std::filesystem::path path = inputs / name;
        writeFile(path, makeBmp(recipe));
        return path.string();
    }

    // Clicks the class button of row `k` (0-based) and answers its file dialog.
    bool pickClass(int k, const std::string& path) {
        platform.queue(chooseFile(path));
        return platform.clickControl(dialog, ids::kIdClassButton[k]);
    }

    // Four classes of 160, 320, 640 and 1280 pixels square: magnification 2 each.
    void pickFourClasses() {
        for (int k = 0; k < 4; ++k) {
            const int side = 160 << k;
            ASSERT_TRUE(pickClass(k, bitmap("class" + std::to_string(k + 1) + ".bmp", oneBitClass(side, side))));
        }
    }

    bool click(int id) { return platform.clickControl(dialog, id); }

    // A plain left click at client (x, y).
    void press(int x, int y) { dialog.mousePress(x, y, app::kLeftButton, 0); }

    // Moves the preview centre to (x, y) of the shown class by clicks, as a
    // user would: each click moves it by -80..+79 in each direction.
    void centreOn(int x, int y) {
        for (int i = 0; i < 200; ++i) {
            const int dx = std::clamp(x - project().previewCentreX, -80, 79);
            const int dy = std::clamp(y - project().previewCentreY, -80, 79);
            if (dx == 0 && dy == 0) return;
            press(390 + dx, 160 + dy);
        }
        FAIL() << "the centre cannot reach " << x << "," << y;
    }
    const MapProject& project() const { return dialog.project(); }
    std::filesystem::path work(const std::string& name) const { return dir.path() / "work" / name; }

    TempDir dir;
    std::filesystem::path inputs = [this] {
        std::filesystem::create_directories(dir.path() / "in");
        std::filesystem::create_directories(dir.path() / "work");
        return dir.path() / "in";
    }();
    ScriptedPlatform platform;
    FixedClock clock{1700000000};
    app::MainDialog dialog{platform, dir.path() / "work", clock};
};

}  // namespace plotvane::test
