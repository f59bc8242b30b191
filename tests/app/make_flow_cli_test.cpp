// The window and plotvane2-cli make run one flow: the same inputs give the
// same database, byte for byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "access/password_codec.h"
#include "app/dialog_make_front_end.h"
#include "app/make_flow.h"
#include "database/input_rules.h"
#include "database/map_database.h"
#include "project/control_ids.h"
#include "raster/record_division.h"
#include "scene/map_scene.h"
#include "support/bmp_writer.h"
#include "support/cli_fixtures.h"
#include "support/database_fixtures.h"
#include "support/layout_parser.h"
#include "support/recording_feedback.h"
#include "support/scripted_platform.h"

namespace plotvane::test {
namespace {

using ui::DialogId;
namespace fs = std::filesystem;

TEST(MakeFlowCommandLine, WritesTheWindowsBytesForAProjectWithEveryFeature) {
    CliSandbox box;
    const std::vector<std::tuple<const char*, int, int>> classes = {
        {"c1.bmp", 160, 24}, {"c2.bmp", 320, 8}, {"c3.bmp", 640, 4}, {"c4.bmp", 1280, 1}};
    std::vector<fs::path> paths;
    for (const auto& [name, size, depth] : classes) {
        paths.push_back(fs::absolute(box.input(name)));
        ASSERT_TRUE(scene::writeSceneBmp(paths.back(), size, size, depth));
    }

    const fs::path cliOut = box.output("cli.pdb");
    std::vector<std::string> args = {"make", "-o", cliOut.string(), "--name", "Scene (4)", "--version", "54321",
                                     "--mode", "2", "--dither", "--compress", "--text", "100,40,Lighthouse",
                                     "--text", "150,2,Caf\xC3\xA9", "--upper-left", "43:10:5.5,5:20:0",
                                     "--bottom-right", "43:0:0,5:40:0.25", "--view", "information", "--edit", "full"};
    for (const fs::path& p : paths) args.push_back(p.string());
    const ProcessResult r = box.run(args, {{"PLOTVANE2_PASSWORD", "Sea4Sun2"}});
    ASSERT_EQ(r.exitCode, 0) << r.err;

    // The window: the colour button at 2BPP, DITHERING and COMPRESS checked,
    // four class buttons, two texts, GPS ON and the edits typed.
    ScriptedPlatform platform;
    MapProject project;
    project.colourMode = ColourMode::Bpp2;
    project.requestedColourMode = ColourMode::Bpp2;
    platform.setChecked(DialogId::Main, ids::kIdDithering, true);
    platform.setChecked(DialogId::Main, ids::kIdCompress, true);
    RecordingFeedback checks;
    for (int k = 0; k < 4; ++k) {
        ControlUpdates updates;
        ASSERT_EQ(checkClassBitmap(project, paths[static_cast<std::size_t>(k)], k, true, checks, updates), ClassBitmapResult::Ok);
        project.classes[static_cast<std::size_t>(k)].fileName.assign(paths[static_cast<std::size_t>(k)].string());
        project.classCount = k + 1;
    }
    project.previewClass = 1;
    for (const auto& [x, y, text] : {std::tuple{100, 40, "Lighthouse"}, std::tuple{150, 2, "Caf\xE9"}}) {
        project.previewCentreX = x;
        project.previewCentreY = y;
        ASSERT_EQ(applyInfoTextButton(project, text, checks), InfoTextResult::Applied);
    }
    project.gpsEnabled = 1;
    const std::array<std::array<const char*, 4>, 4> corners = {
        {{"43", "10", "5", "5"}, {"5", "20", "0", "0"}, {"43", "0", "0", "0"}, {"5", "40", "0", "25"}}};
    for (std::size_t v = 0; v < 4; ++v)
        for (std::size_t p = 0; p < 4; ++p) platform.typeInto(DialogId::Main, ids::kIdCoordinate[v][p], corners[v][p]);
    platform.typeInto(DialogId::Main, ids::kIdDatabaseName, "Scene (4)");
    platform.typeInto(DialogId::Main, ids::kIdVersion, "54321");
    const fs::path windowOut = box.output("window.pdb");
    platform.queue({click(DialogId::PasswordInput, ids::kIdInformation),
                    type(DialogId::PasswordInput, ids::kIdPasswordEdit, "Sea4Sun2"),
                    click(DialogId::PasswordInput, ids::kIdOk),
                    type(DialogId::PasswordAgain, ids::kIdPasswordEdit, "Sea4Sun2"),
                    click(DialogId::PasswordAgain, ids::kIdOk), chooseFile(windowOut.string())});
    const FixedClock clock(kFixedEpoch);
    app::DialogMakeFrontEnd frontEnd(platform, clock, box.temp());
    ASSERT_TRUE(app::makeDatabaseCommand(project, frontEnd)) << ::testing::PrintToString(platform.messages());

    const auto fromCli = readFile(cliOut);
    const auto fromWindow = readFile(windowOut);
    ASSERT_FALSE(fromWindow.empty());
    EXPECT_TRUE(fromCli == fromWindow) << "sizes " << fromCli.size() << " and " << fromWindow.size();

    // Every feature made it in: four classes, GPS, two texts, compressed
    // tiles in 2BPP, the password for Information with Full Edit OK.
    RecordingFeedback feedback;
    DatabaseHeaderSummary summary;
    ASSERT_EQ(readDatabaseHeader(windowOut, feedback, summary), DatabaseCheck::Ok);
    EXPECT_EQ(summary.loadedBinding, (MapBinding{4, 1, 2, '5', 0, 160, 'S'}));
    EXPECT_EQ(checkPassword("Sea4Sun2", std::string_view(summary.loadedPassword.data(), 8), summary.loadedBinding,
                            feedback)
                  .mode,
              (AccessMode{0, 1, 1}));
    ParsedMapDatabase parsed;
    ASSERT_EQ(parseMapDatabase(fromWindow, parsed), test::LayoutResult::Parsed);
    ASSERT_FALSE(parsed.dataRecords.empty());
    EXPECT_TRUE(parsed.dataRecords[0].sizeWord.has_value());
    EXPECT_EQ(fromWindow[recordOffsetOf(fromWindow, 0) + 60], 2);
}

}  // namespace
}  // namespace plotvane::test
