#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <thread>
#include <fstream>
#include <sstream>
#include <string>

#include "project/files.h"
#include "raster/work_raster.h"
#include "support/bmp_writer.h"
#include "support/cli_fixtures.h"
#include "support/output_cases.h"
#include "support/recording_feedback.h"
#include "support/temp_dir.h"

namespace plotvane {
namespace {

using namespace test;

struct CliRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string quoted(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string slurp(const std::filesystem::path& p) {
    std::ifstream f(p);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

// Runs plotvane2-cli with `args` (already quoted) from folder `dir`.
CliRun runCli(const TempDir& dir, const std::string& args) {
    const std::string command = "cd " + quoted(dir.path().string()) + " && " + quoted(PLOTVANE_CLI_PATH) + " " + args +
                                " >" + quoted((dir / "stdout.txt").string()) + " 2>" +
                                quoted((dir / "stderr.txt").string());
    const int status = std::system(command.c_str());
    CliRun run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = slurp(dir / "stdout.txt");
    run.err = slurp(dir / "stderr.txt");
    std::filesystem::remove(dir / "stdout.txt");
    std::filesystem::remove(dir / "stderr.txt");
    return run;
}

BmpRecipe colourRecipe(std::int32_t width, std::int32_t height) {
    BmpRecipe recipe;
    recipe.width = width;
    recipe.height = height;
    recipe.bitCount = 24;
    recipe.pixel = [](int x, int y) { return static_cast<std::uint32_t>((x * 40503u) ^ (y * 2654435761u)) & 0xFFFFFFu; };
    return recipe;
}

// What the preview's conversion writes for the same bitmap shown alone.
std::vector<std::uint8_t> previewRaster(const std::filesystem::path& source, std::uint8_t mode, bool dither) {
    TempDir dir;
    MapProject project;
    RecordingFeedback feedback;
    ControlUpdates updates;
    RasterRequest request;
    request.mode = colourModeOfByte(mode);
    request.source = source;
    request.raster = dir / kPreviewRasterName;
    request.ditherChecked = dither;
    EXPECT_EQ(convertToWorkRaster(project, request, feedback, updates), RasterResult::Ok);
    return readFile(request.raster);
}

std::vector<std::string> folderNames(const TempDir& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

struct ModeCase {
    std::string argument;
    std::uint8_t mode;
    bool dither;
};

class RasterCli : public ::testing::TestWithParam<ModeCase> {};

TEST_P(RasterCli, WritesThePreviewsBytes) {
    const ModeCase c = GetParam();
    TempDir dir;
    writeFile(dir / "map.bmp", makeBmp(colourRecipe(203, 170)));
    const CliRun run = runCli(dir, "raster map.bmp --mode " + c.argument + (c.dither ? " --dither" : "") + " -o out.bmp");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(readFile(dir / "out.bmp"), previewRaster(dir / "map.bmp", c.mode, c.dither));
    EXPECT_EQ(folderNames(dir), (std::vector<std::string>{"map.bmp", "out.bmp"}));
}

INSTANTIATE_TEST_SUITE_P(RasterCli, RasterCli,
                         ::testing::Values(ModeCase{"1", 1, false}, ModeCase{"2", 2, true}, ModeCase{"4", 4, false},
                                           ModeCase{"8", 8, true}, ModeCase{"8", 8, false},
                                           ModeCase{"original", 0, false}),
                         [](const auto& info) {
                             return info.param.argument + (info.param.dither ? "Dithered" : "Plain");
                         });

TEST(RasterCliRefusal, RefusedBitmapExitsOneAndLeavesTheOutputAlone) {
    struct Row {
        std::string name;
        std::vector<std::uint8_t> bytes;
        std::string stderrText;
    };
    std::vector<std::uint8_t> notBmp = makeBmp(colourRecipe(160, 160));
    notBmp[0] = 'P';
    std::vector<std::uint8_t> compressed = makeBmp(colourRecipe(160, 160));
    compressed[30] = 1;
    std::vector<std::uint8_t> truncated = makeBmp(colourRecipe(160, 160));
    truncated.pop_back();
    const std::vector<Row> rows = {
        {"missing", {}, "Warning: Error : Cannot find bmp-file\n"},
        {"notbmp", notBmp, "Warning: Error : this file is not bmp-file\n"},
        {"compressed", compressed,
         "Warning: This bmp-file is compressed.\nPlease change non-compress bmp-file.\n"},
        {"small", makeBmp(colourRecipe(159, 300)), "Warning: Error : Please check [Width>=160] & [Height>=160]\n"},
        {"truncated", truncated, "Warning: Error : Cannot read bmp-file.\n"},
    };
    for (const Row& row : rows) {
        TempDir dir;
        if (row.name != "missing") writeFile(dir / "map.bmp", row.bytes);
        writeFile(dir / "out.bmp", {'o', 'l', 'd'});
        const auto before = folderNames(dir);
        const CliRun run = runCli(dir, "raster map.bmp --mode 8 --dither -o out.bmp");
        EXPECT_EQ(run.exitCode, 1) << row.name;
        EXPECT_EQ(run.err, row.stderrText) << row.name;
        EXPECT_EQ(readFile(dir / "out.bmp"), (std::vector<std::uint8_t>{'o', 'l', 'd'})) << row.name;
        EXPECT_EQ(folderNames(dir), before) << row.name;
    }
}

TEST(RasterCliRefusal, OutputFolderThatDoesNotExistIsRefusedAsTheRaster) {
    TempDir dir;
    writeFile(dir / "map.bmp", makeBmp(colourRecipe(160, 160)));
    const CliRun run = runCli(dir, "raster map.bmp --mode 1 -o nowhere/out.bmp");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err,
              "Error: Cannot make temp file (temporbl.$$$).\n"
              "plotvane2-cli: nowhere/out.bmp: cannot create a new file beside it: No such file or directory\n");
    EXPECT_EQ(folderNames(dir), std::vector<std::string>{"map.bmp"});
}

TEST(RasterCliUsage, MistakesExitTwoWithTheReasonAndAPointerToTheHelp) {
    const std::vector<std::string> mistakes = {
        "raster map.bmp --mode 3 -o out.bmp",     "raster map.bmp --mode -o out.bmp",
        "raster map.bmp -o out.bmp",              "raster --mode 8 -o out.bmp",
        "raster map.bmp --mode 8",                "raster map.bmp --mode 8 -o",
        "raster map.bmp --mode 8 --fast -o a.bmp", "raster map.bmp extra.bmp --mode 8 -o out.bmp",
    };
    for (const std::string& args : mistakes) {
        TempDir dir;
        writeFile(dir / "map.bmp", makeBmp(colourRecipe(160, 160)));
        const CliRun run = runCli(dir, args);
        EXPECT_EQ(run.exitCode, 2) << args;
        // The reason and a pointer to the help, not the help itself.
        EXPECT_TRUE(run.err.starts_with("plotvane2-cli: ")) << args << "\n" << run.err;
        EXPECT_TRUE(run.err.ends_with("\nRun 'plotvane2-cli raster --help' for the options.\n")) << args << "\n" << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 2) << args << "\n" << run.err;
        EXPECT_EQ(folderNames(dir), std::vector<std::string>{"map.bmp"}) << args;
    }
}

TEST(RasterCliUsage, UsageErrorNamesItsReason) {
    TempDir dir;
    const CliRun run = runCli(dir, "raster map.bmp --mode 3 -o out.bmp");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err,
              "plotvane2-cli: --mode: 3 not in {1,2,4,8,original}\n"
              "Run 'plotvane2-cli raster --help' for the options.\n");
}

TEST(RasterCliUsage, HelpDocumentsModesDitheringAndExitCodes) {
    TempDir dir;
    const CliRun run = runCli(dir, "raster --help");
    EXPECT_EQ(run.exitCode, 0);
    for (const char* needle : {"--mode", "original", "--dither", "error diffusion", "Exit status", "-o"})
        EXPECT_NE(run.out.find(needle), std::string::npos) << needle << "\n" << run.out;
}

// ---- Where the raster goes, interrupts and failing file operations -------

class RasterCliOutput : public ::testing::TestWithParam<OutputCase> {};

TEST_P(RasterCliOutput, WritesThroughLinksAndRefusesWhatIsNoFileOrTheSource) {
    const OutputCase& c = GetParam();
    CliSandbox box(PLOTVANE_CLI_PATH);
    const auto source = box.output("map.bmp");
    writeFile(source, makeBmp(colourRecipe(170, 160)));
    const auto out = c.arrange(box.outputs(), source);
    if (out.empty()) GTEST_SKIP() << "this system cannot make the file of this case";
    auto expected = folderSnapshot(box.outputs());

    const ScopedDeadline deadline(60);
    const ProcessResult run = box.run({"raster", source.string(), "--mode", "4", "-o", out.string()});
    ASSERT_FALSE(run.timedOut);
    if (c.refusal) {
        EXPECT_EQ(run.exitCode, 1);
        const std::string first = "Error: Cannot make temp file (temporbl.$$$).\n";
        ASSERT_EQ(run.err.substr(0, first.size()), first) << run.err;
        const std::string line = run.err.substr(first.size());
        EXPECT_EQ(line.rfind("plotvane2-cli: " + out.string(), 0), 0u) << line;
        EXPECT_NE(line.find(cliRefusalPhrase(*c.refusal)), std::string::npos) << line;
        EXPECT_EQ(std::count(line.begin(), line.end(), '\n'), 1) << line;
    } else {
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.err, "");
        expected[c.written] = snapshotOf(previewRaster(source, 4, false));
    }
    EXPECT_EQ(folderSnapshot(box.outputs()), expected);
    EXPECT_EQ(box.strayFiles(), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Cases, RasterCliOutput, ::testing::ValuesIn(outputCases()),
                         [](const auto& info) { return info.param.name; });

TEST(RasterCliOutput, SourceGivenAsTheOutputNamesIt) {
    CliSandbox box(PLOTVANE_CLI_PATH);
    writeFile(box.output("map.bmp"), makeBmp(colourRecipe(160, 160)));
    const ProcessResult run = box.run({"raster", "../out/map.bmp", "--mode", "1", "-o", "../out/map.bmp"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err,
              "Error: Cannot make temp file (temporbl.$$$).\n"
              "plotvane2-cli: ../out/map.bmp: is the input ../out/map.bmp; it was left as it is\n");
}

// Each interrupt during a long conversion removes the unfinished raster,
// leaves the existing output as it was and exits with 128 + its number.
TEST(RasterCliInterrupt, RemovesTheUnfinishedRasterAndKeepsTheOutput) {
    CliSandbox box(PLOTVANE_CLI_PATH);
    const auto source = box.input("large.bmp");
    writeFile(source, makeBmp(colourRecipe(4096, 4096)));
    writeFile(box.output("out.bmp"), {'o', 'l', 'd'});
    const auto before = folderSnapshot(box.outputs());

    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        RunningProcess process(PLOTVANE_CLI_PATH,
                               {"raster", source.string(), "--mode", "8", "--dither", "-o", box.output("out.bmp").string()},
                               {{"TMPDIR", box.temp().string()}}, {}, box.work().string());
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        bool started = false;
        while (!started && std::chrono::steady_clock::now() < deadline) {
            started = folderSnapshot(box.outputs()).size() > before.size();
            if (!started) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ASSERT_TRUE(started) << "no unfinished raster appeared";
        process.sendSignal(signal);
        const ProcessResult run = process.wait(std::chrono::seconds(30));
        ASSERT_FALSE(run.timedOut);
        EXPECT_EQ(run.exitCode, 128 + signal) << "signal " << signal << "\n" << run.err;
        EXPECT_EQ(folderSnapshot(box.outputs()), before) << "signal " << signal;
        EXPECT_EQ(box.strayFiles(), std::vector<std::string>{});
    }
}

// Every open, write, flush, sync and rename of a conversion fails in
// turn: each failure is reported and refused, and leaves the existing
// output and the folders as they were, until the run succeeds.
TEST(RasterCliFailureInjection, EveryFileOperationFailingInTurnHarmsNothing) {
    CliSandbox box(PLOTVANE_CLI_PATH);
    const auto source = box.input("map.bmp");
    // Several blocks of rows, so that several writes happen.
    writeFile(source, makeBmp(colourRecipe(1000, 700)));
    const auto out = box.output("out.bmp");
    writeFile(out, {'o', 'l', 'd'});
    sweepFileFailures(
        box, 100,
        [&](const std::string& failAt) {
            return box.run({"raster", source.string(), "--mode", "8", "--dither", "-o", out.string()},
                           {{"PLOTVANE2_FAIL_AT", failAt}});
        },
        [&](const ProcessResult& r, const std::string& failAt) {
            EXPECT_EQ(r.err, "") << failAt;
            EXPECT_EQ(readFile(out), previewRaster(source, 8, true)) << failAt;
            writeFile(out, {'o', 'l', 'd'});
        });
}

}  // namespace
}  // namespace plotvane
