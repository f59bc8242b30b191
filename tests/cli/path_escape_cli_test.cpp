// A file name may hold any byte but the slash and NUL: every path the
// command line prints shows its control characters escaped, so a name
// cannot forge a message line.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "support/cli_fixtures.h"

namespace plotvane {
namespace {

using namespace plotvane::test;

const std::string kCli = PLOTVANE_CLI_PATH;
const std::string kForged = "x\nPlotvane: Success : Map Database making\t\\";
const std::string kShown = "x\\x0APlotvane: Success : Map Database making\\x09\\\\";

bool picture(int x, int y) { return (x + y) % 3 == 0; }

std::vector<std::string> makeArgs(const std::filesystem::path& out) {
    return {"make", "-o", out.string(), "--name", "ESCAPE", "--version", "00001"};
}

struct PathCase {
    const char* label;
    // Runs the command whose output names a path ending in kForged; returns
    // its result.
    std::function<ProcessResult(const CliSandbox&)> run;
    int exitCode;
    bool onStdout;
    std::string line;  // the whole line naming the path, with kShown for it, @IN@ and @OUT@ for the folders
};

class PathEscapeCli : public ::testing::TestWithParam<PathCase> {};

TEST_P(PathEscapeCli, PrintsTheNameWithItsControlsEscaped) {
    const PathCase& c = GetParam();
    CliSandbox box(kCli);
    const ProcessResult r = c.run(box);
    EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
    std::string line = c.line;
    for (std::size_t at; (at = line.find("@OUT@")) != std::string::npos;)
        line.replace(at, 5, box.outputs().string());
    for (std::size_t at; (at = line.find("@IN@")) != std::string::npos;)
        line.replace(at, 4, box.inputs().string());
    const std::string& stream = c.onStdout ? r.out : r.err;
    EXPECT_NE(stream.find(line + "\n"), std::string::npos) << stream;
    EXPECT_EQ((r.out + r.err).find("\nPlotvane: Success"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Places, PathEscapeCli,
    ::testing::Values(
        PathCase{"RefusedClass",
                 [](const CliSandbox& box) {
                     auto args = makeArgs(box.output("map.pdb"));
                     args.push_back(box.output(kForged).string());
                     return box.run(args);
                 },
                 1, false, "plotvane2-cli: refused Class 1: @OUT@/" + kShown},
        PathCase{"FileProblem",
                 [](const CliSandbox& box) {
                     std::filesystem::create_directory(box.output(kForged));
                     auto args = makeArgs(box.output(kForged));
                     args.push_back(box.writeOneBitBmp("c.bmp", 160, 160, picture).string());
                     return box.run(args);
                 },
                 1, false, "plotvane2-cli: @OUT@/" + kShown + ": is a folder, not a file; it was left as it is"},
        PathCase{"RestoreWrote",
                 [](const CliSandbox& box) {
                     auto args = makeArgs(box.output("map.pdb"));
                     args.push_back(box.writeOneBitBmp("c.bmp", 160, 160, picture).string());
                     box.run(args);
                     return box.run({"restore", box.output("map.pdb").string(), "-d", box.output(kForged).string()});
                 },
                 0, true, "Wrote @OUT@/" + kShown + "/class1.bmp (160 x 160, 1 bit per pixel)"},
        PathCase{"ClassesWrote",
                 [](const CliSandbox& box) {
                     const auto master =
                         box.writeColourBmp("m.bmp", 160, 160, [](int x, int y) { return (x * y) % 2 ? 0xFFFFFFu : 0u; });
                     return box.run({"classes", master.string(), "-o", box.output(kForged).string(), "--classes", "1",
                                     "--mode", "1"});
                 },
                 0, true, "Wrote @OUT@/" + kShown + "/class1.bmp (160 x 160, 24 bits per pixel, 1 record in 1BPP mode)"},
        // The picture layer's messages, with the library's reason after them.
        PathCase{"PictureCannotBeRead",
                 [](const CliSandbox& box) {
                     return box.run({"classes", box.output(kForged).string(), "-o", box.output("c").string()});
                 },
                 1, false, "Warning: Error : Cannot read the picture @OUT@/" + kShown + "."},
        PathCase{"PictureOfTheWrongKind",
                 [](const CliSandbox& box) {
                     const auto master = box.writeColourBmp(kForged, 160, 160, [](int x, int) { return x % 2 ? 0xFF0000u : 0u; });
                     return box.run({"classes", master.string(), "-o", box.output("c").string(), "--mode", "original"});
                 },
                 1, false,
                 "Warning: Error : Original Mode takes 1-bit classes, and the picture @IN@/" + kShown +
                     " gives 24-bit colour classes."},
        PathCase{"WorldFileWithoutSystem",
                 [](const CliSandbox& box) {
                     auto args = makeArgs(box.output("map.pdb"));
                     args.push_back("--georef");
                     args.push_back(box.writeOneBitBmp(kForged + ".bmp", 160, 160, picture).string());
                     const std::string metres = "10\n0\n0\n-10\n500000\n4000000\n";
                     writeFile(box.input(kForged + ".bpw"), std::vector<std::uint8_t>(metres.begin(), metres.end()));
                     return box.run(args);
                 },
                 1, false,
                 "Warning: The world file " + kShown + ".bpw of " + kShown +
                     ".bmp has no coordinate system, and its numbers are not degrees."}),
    [](const ::testing::TestParamInfo<PathCase>& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace plotvane
