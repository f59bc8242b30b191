// plotvane2-cli classes and make --from, run as processes on a master
// picture made in the test.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/cli_fixtures.h"
#include "support/database_fixtures.h"
#include "support/output_cases.h"

namespace plotvane::test {
namespace {

const std::string kCli = PLOTVANE_CLI_PATH;

std::uint32_t scan(int x, int y) {
    if (x % 9 == 4 || y % 13 == 6) return 0x202020;
    return (static_cast<std::uint32_t>(x * 3 + y * 5) * 2654435761u) & 0xFFFFFFu;
}

TEST(ClassesCommand, WritesClassesThatMakeTheDatabaseMakeFromMakes) {
    CliSandbox box(kCli);
    const auto master = box.writeColourBmp("scan.bmp", 601, 421, scan);
    const auto folder = box.output("classes");
    const ProcessResult r = box.run({"classes", master.string(), "-o", folder.string(), "--classes", "2", "--mode", "4"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // Class 1 at least 301 x 211, even for the x2 below it: 302 x 212.
    EXPECT_EQ(r.out, "Wrote " + (folder / "class1.bmp").string() +
                         " (302 x 212, 24 bits per pixel, 1 record in 4BPP mode)\n"
                         "Wrote " + (folder / "class2.bmp").string() +
                         " (604 x 424, 24 bits per pixel, 4 records in 4BPP mode)\n"
                         "Reduced by 1. Added 3 pixels of white on the right and 3 pixels at the bottom of the 601 x "
                         "421 picture (604 x 424).\n");
    EXPECT_EQ(r.err, "");

    const std::vector<std::string> make{"make", "--name", "SCAN", "--version", "00001", "--mode", "4", "--dither"};
    auto fromFiles = make;
    fromFiles.insert(fromFiles.end(), {"-o", box.output("files.pdb").string(), (folder / "class1.bmp").string(),
                                       (folder / "class2.bmp").string()});
    const ProcessResult made = box.run(fromFiles);
    ASSERT_EQ(made.exitCode, 0) << made.err;
    auto fromMaster = make;
    fromMaster.insert(fromMaster.end(), {"-o", box.output("master.pdb").string(), "--from", master.string(), "--classes", "2"});
    const ProcessResult direct = box.run(fromMaster);
    ASSERT_EQ(direct.exitCode, 0) << direct.err;
    EXPECT_EQ(readFile(box.output("master.pdb")), readFile(box.output("files.pdb")));
    EXPECT_TRUE(box.strayFiles().empty());
}

struct Refusal {
    const char* label;
    std::vector<std::string> options;
    int exitCode;
    std::string err;  // the whole of standard error
};

TEST(ClassesCommand, RefusesBeforeWritingAnything) {
    CliSandbox box(kCli);
    const auto master = box.writeColourBmp("scan.bmp", 200, 180, scan);
    const Refusal cases[] = {
        {"chain_too_long", {"--classes", "3", "--magnification", "8"}, 1,
         "Warning: Error : No class sizes fit 3 classes magnified x8 and x8: Class 3 would be 64 times as wide as "
         "Class 1, and every class must be 160 to 4096 pixels a side.\n2 classes would fit in 8BPP mode.\n"},
        {"original_colour", {"--mode", "original", "--classes", "1"}, 1,
         "Warning: Error : Original Mode takes 1-bit classes, and the picture " + master.string() +
             " gives 24-bit colour classes.\nChoose a colour mode of 1, 2, 4 or 8 bits per pixel.\n"},
        {"magnifications_disagree", {"--classes", "4", "--magnification", "2,4"}, 2,
         "plotvane2-cli: --magnification: 4 classes take one magnification or 3, not 2\n"
         "Run 'plotvane2-cli classes --help' for the options.\n"},
    };
    for (const Refusal& c : cases) {
        std::vector<std::string> args{"classes", master.string(), "-o", box.output(c.label).string()};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const ProcessResult r = box.run(args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.label;
        EXPECT_EQ(r.err, c.err) << c.label;
        EXPECT_FALSE(std::filesystem::exists(box.output(c.label) / "class1.bmp")) << c.label;
    }
}

TEST(ClassesCommand, ProgressLineOnlyWhenAskedOffATerminal) {
    CliSandbox box(kCli);
    const auto master = box.writeColourBmp("scan.bmp", 170, 160, scan);
    const auto folder = box.output("classes").string();
    const ProcessResult plain = box.run({"classes", master.string(), "-o", folder, "--classes", "1"});
    EXPECT_EQ(plain.err, "");
    const ProcessResult forced = box.run({"classes", master.string(), "-o", folder, "--classes", "1", "--progress"});
    EXPECT_EQ(forced.err.substr(0, 23), "\rBuilding classes:   0%");
    EXPECT_EQ(forced.err.substr(forced.err.size() - 24), "\rBuilding classes: 100%\n");
    const ProcessResult quiet =
        box.run({"classes", master.string(), "-o", folder, "--classes", "1", "--progress", "--quiet"});
    EXPECT_EQ(quiet.err, "");
}

// An interrupt while the classes are written removes the unfinished ones
// and leaves the folder as it was.
TEST(ClassesCommand, InterruptLeavesTheFolderAsItWas) {
    CliSandbox box(kCli);
    const auto master = box.writeColourBmp("scan.bmp", 2400, 2000, scan);
    const auto folder = box.output("classes");
    const auto reset = [&] { freshFolderWithOldClass(folder); };
    reset();
    const auto before = folderSnapshot(folder);
    bool interrupted = false;
    for (int attempt = 0; attempt < 10 && !interrupted; ++attempt) {
        RunningProcess process(kCli, {"classes", master.string(), "-o", folder.string(), "--mode", "1"},
                               {{"TMPDIR", box.temp().string()}}, {}, box.work().string());
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        bool started = false;
        while (!started && std::chrono::steady_clock::now() < deadline) {
            started = folderEntries(folder).size() > 1;
            if (!started) std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        ASSERT_TRUE(started) << "no unfinished class picture appeared";
        process.sendSignal(SIGINT);
        const ProcessResult run = process.wait(std::chrono::seconds(30));
        ASSERT_FALSE(run.timedOut);
        if (run.exitCode == 0) {
            reset();
            continue;
        }
        interrupted = true;
        EXPECT_EQ(run.exitCode, 128 + SIGINT) << run.err;
        EXPECT_EQ(folderSnapshot(folder), before);
        EXPECT_TRUE(box.strayFiles().empty());
    }
    EXPECT_TRUE(interrupted) << "every run ended before the interrupt";
}

}  // namespace
}  // namespace plotvane::test
