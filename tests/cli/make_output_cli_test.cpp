// plotvane2-cli make and the files around it: where the database goes,
// interrupts, and every file operation failing in turn.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <string>
#include <thread>
#include <vector>

#include "support/cli_fixtures.h"
#include "support/database_fixtures.h"
#include "support/output_cases.h"

namespace plotvane::test {
namespace {

const std::string kCli = PLOTVANE_CLI_PATH;

bool picture(int x, int y) { return ((x / 7) + (y / 3)) % 5 == 0 || (x * 3 + y) % 17 == 0; }

// Mode 8 cuts a 320-pixel class into 2 x 2 tiles, so the second class is
// appended in few writes.
std::vector<std::string> makeArgs(const std::filesystem::path& out, const std::vector<std::string>& classes) {
    std::vector<std::string> args{"make", "-o", out.string(), "--name", "SAFE MAP", "--version", "01234",
                                  "--mode", "8", "--compress", "--text", "20,20,Pier"};
    args.insert(args.end(), classes.begin(), classes.end());
    return args;
}

ProcessResult runIn(const CliSandbox& box, const std::vector<std::string>& args, const Environment& extra = {}) {
    const ScopedDeadline deadline(60);
    return box.run(args, extra);
}

// The database the same inputs give at a plain new path.
std::vector<std::uint8_t> referenceDatabase(const std::filesystem::path& input) {
    CliSandbox box(kCli);
    const auto out = box.output("reference.pdb");
    const ProcessResult r = runIn(box, makeArgs(out, {input.string()}));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return readFile(out);
}

class MakeCliOutput : public ::testing::TestWithParam<OutputCase> {};

TEST_P(MakeCliOutput, WritesThroughLinksAndRefusesWhatIsNoFileOrAClass) {
    const OutputCase& c = GetParam();
    CliSandbox box(kCli);
    const auto input = box.outputs() / "class1.bmp";
    box.writeOneBitBmp("class1.bmp", 160, 160, picture);
    std::filesystem::rename(box.input("class1.bmp"), input);
    const auto out = c.arrange(box.outputs(), input);
    if (out.empty()) GTEST_SKIP() << "this system cannot make the file of this case";
    auto expected = folderSnapshot(box.outputs());

    const ProcessResult r = runIn(box, makeArgs(out, {input.string()}));
    ASSERT_FALSE(r.timedOut);
    if (c.refusal) {
        EXPECT_EQ(r.exitCode, 1);
        const std::string first = "Warning: Error : Cannot make pdb-file.\n";
        const std::string last = "Warning: Error : cannot make pdb-file\nInfo: Do not make Map Database File.\n";
        ASSERT_TRUE(r.err.starts_with(first) && r.err.ends_with(last)) << r.err;
        const std::string line = r.err.substr(first.size(), r.err.size() - first.size() - last.size());
        EXPECT_TRUE(line.starts_with("plotvane2-cli: " + out.string())) << line;
        EXPECT_NE(line.find(cliRefusalPhrase(*c.refusal)), std::string::npos) << line;
        EXPECT_EQ(std::count(line.begin(), line.end(), '\n'), 1) << line;
    } else {
        EXPECT_EQ(r.exitCode, 0) << r.err;
        expected[c.written] = snapshotOf(referenceDatabase(input));
    }
    EXPECT_EQ(folderSnapshot(box.outputs()), expected);
    EXPECT_EQ(box.strayFiles(), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Cases, MakeCliOutput, ::testing::ValuesIn(outputCases()),
                         [](const auto& info) { return info.param.name; });

TEST(MakeCliOutput, FolderThatDoesNotExistIsNamedWithTheReason) {
    CliSandbox box(kCli);
    const auto c1 = box.writeOneBitBmp("c1.bmp", 160, 160, picture);
    const auto out = box.outputs() / "nowhere" / "map.pdb";
    const ProcessResult r = runIn(box, makeArgs(out, {c1.string()}));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "Warning: Error : Cannot make pdb-file.\n"
                     "plotvane2-cli: " + out.string() + ": cannot create a new file beside it: No such file or directory\n"
                     "Warning: Error : cannot make pdb-file\n"
                     "Info: Do not make Map Database File.\n");
    EXPECT_EQ(box.strayFiles(), std::vector<std::string>{});
}

TEST(MakeCliOutput, TemporaryFolderThatCannotBeMadeIsNamedWithTheReason) {
    CliSandbox box(kCli);
    const auto c1 = box.writeOneBitBmp("c1.bmp", 160, 160, picture);
    const auto missing = box.temp() / "missing";
    const ProcessResult r = runIn(box, makeArgs(box.output("map.pdb"), {c1.string()}), {{"TMPDIR", missing.string()}});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "Warning: Error : Cannot make  compression temp file.\n"
                     "plotvane2-cli: " + (missing / "plotvane2-XXXXXX").string() +
                         ": cannot be created: No such file or directory\n");
    EXPECT_EQ(folderEntries(box.outputs()), std::vector<std::string>{});
}

// Each interrupt during a long conversion removes the private temporary
// folder and the unfinished database, leaves the existing database as it
// was and exits with 128 + its number.
TEST(MakeCliInterrupt, RemovesEveryTemporaryFileAndKeepsTheDatabase) {
    CliSandbox box(kCli);
    BmpRecipe recipe;
    recipe.width = 2048;
    recipe.height = 4096;
    recipe.bitCount = 24;
    recipe.pixel = [](int x, int y) { return static_cast<std::uint32_t>((x * 40503u) ^ (y * 2654435761u)) & 0xFFFFFFu; };
    const auto source = box.input("large.bmp");
    writeFile(source, makeBmp(recipe));
    writeFile(box.output("map.pdb"), {'o', 'l', 'd'});
    const auto before = folderSnapshot(box.outputs());

    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        RunningProcess process(kCli,
                               {"make", "-o", box.output("map.pdb").string(), "--name", "LARGE", "--version", "00001",
                                "--mode", "2", "--dither", source.string()},
                               {{"TMPDIR", box.temp().string()}}, {}, box.work().string());
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        bool started = false;
        while (!started && std::chrono::steady_clock::now() < deadline) {
            // A temporary file of the conversion inside the private folder.
            for (const auto& [name, kind] : folderSnapshot(box.temp()))
                if (kind.starts_with("file") && name.ends_with(".$$$")) started = true;
            if (!started) std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        ASSERT_TRUE(started) << "no temporary file appeared";
        process.sendSignal(signal);
        const ProcessResult run = process.wait(std::chrono::seconds(30));
        ASSERT_FALSE(run.timedOut);
        EXPECT_EQ(run.exitCode, 128 + signal) << "signal " << signal << "\n" << run.err;
        EXPECT_EQ(folderSnapshot(box.outputs()), before) << "signal " << signal;
        EXPECT_EQ(box.strayFiles(), std::vector<std::string>{}) << "signal " << signal;
    }
}

// A reader that goes away at once (`| head`) costs the messages only: the
// database is still made whole, and nothing is left behind.
TEST(MakeCliClosedPipe, MakesTheDatabaseAndLeavesNoFileBehind) {
    CliSandbox box(kCli);
    const auto input = box.writeOneBitBmp("class1.bmp", 160, 160, picture);
    const auto out = box.output("map.pdb");
    std::vector<std::string> args{"-c", "\"$@\" 2>&1 | head -c 0; exit ${PIPESTATUS[0]}", "sh", kCli};
    for (const std::string& a : makeArgs(out, {input.string()})) args.push_back(a);
    const ProcessResult r = runProcess("/bin/bash", args,
                                       {{"TZ", "UTC"},
                                        {"TMPDIR", box.temp().string()},
                                        {"SOURCE_DATE_EPOCH", std::to_string(kFixedEpoch)},
                                        {"PLOTVANE2_PASSWORD", std::nullopt}},
                                       {}, box.work().string(), std::chrono::seconds(60));
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(readFile(out), referenceDatabase(input));
    EXPECT_EQ(box.strayFiles(), std::vector<std::string>{});
}

// Every open, write, flush, sync and rename of a small make fails in turn:
// each failure is reported and refused, and leaves the existing database
// and every folder as they were, until the run succeeds.
TEST(MakeCliFailureInjection, EveryFileOperationFailingInTurnHarmsNothing) {
    CliSandbox box(kCli);
    const auto c1 = box.writeOneBitBmp("c1.bmp", 160, 160, picture);
    const auto c2 = box.writeOneBitBmp("c2.bmp", 320, 320, picture);
    const auto out = box.output("map.pdb");
    writeFile(out, {'o', 'l', 'd'});
    const std::vector<std::string> args = makeArgs(out, {c1.string(), c2.string()});
    sweepFileFailures(
        box, 400, [&](const std::string& failAt) { return runIn(box, args, {{"PLOTVANE2_FAIL_AT", failAt}}); },
        [&](const ProcessResult&, const std::string&) { writeFile(out, {'o', 'l', 'd'}); });
}

}  // namespace
}  // namespace plotvane::test
