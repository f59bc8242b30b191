// plotvane2-cli as a process of its own, a few runs per command: the exit
// status, both streams and the files a real run leaves must be those of
// the same run made in process, which the other command-line tests use.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "support/cli_fixtures.h"
#include "support/database_fixtures.h"
#include "support/output_cases.h"

namespace plotvane::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

const std::string kCli = PLOTVANE_CLI_PATH;

bool mapPicture(int x, int y) { return ((x / 9) + (y / 5)) % 4 == 0 || (x * 7 + y * 3) % 29 == 0; }

struct ProcessCase {
    const char* label;
    std::vector<std::string> args;  // "@name" is an input file, "%name" an output
    Environment environment;
    std::string input;
    int exitCode;
};

void PrintTo(const ProcessCase& c, std::ostream* os) { *os << c.label; }

std::vector<std::string> resolve(const CliSandbox& box, const std::vector<std::string>& args) {
    std::vector<std::string> out;
    for (const std::string& a : args) {
        if (a.starts_with("@")) out.push_back(box.input(a.substr(1)).string());
        else if (a.starts_with("%")) out.push_back(box.output(a.substr(1)).string());
        else out.push_back(a);
    }
    return out;
}

// Inputs every case may name: two classes, a colour picture, a database
// behind a password and a cut one.
void writeInputs(const CliSandbox& box) {
    box.writeOneBitBmp("c1.bmp", 160, 160, mapPicture);
    box.writeOneBitBmp("c2.bmp", 320, 320, mapPicture);
    box.writeColourBmp("colour.bmp", 170, 160, [](int x, int y) { return (x * 2654435761u ^ y * 40503u) & 0xFFFFFFu; });
    const ProcessResult made = box.run({"make", "-o", box.input("locked.pdb").string(), "--name", "LOCKED", "--version",
                                        "00001", "--mode", "4", "--view", "all", "--password-stdin",
                                        box.input("c1.bmp").string(), box.input("c2.bmp").string()},
                                       {}, "Abcd1234\n");
    ASSERT_EQ(made.exitCode, 0) << made.err;
    Bytes cut = readFile(box.input("locked.pdb"));
    cut.resize(cut.size() / 2);
    writeFile(box.input("cut.pdb"), cut);
}

class CliProcess : public ::testing::TestWithParam<ProcessCase> {};

TEST_P(CliProcess, RunsAsTheSameRunInProcess) {
    const ProcessCase& param = GetParam();
    CliSandbox box(kCli);
    ASSERT_NO_FATAL_FAILURE(writeInputs(box));
    writeFile(box.output("existing.pdb"), {'o', 'l', 'd'});
    const auto before = folderSnapshot(box.outputs());
    const std::vector<std::string> args = resolve(box, param.args);

    const ProcessResult process = box.runAsProcess(args, param.environment, param.input);
    ASSERT_FALSE(process.timedOut);
    EXPECT_EQ(process.exitCode, param.exitCode) << process.err;
    EXPECT_EQ(box.strayFiles(), std::vector<std::string>{});
    const auto afterProcess = folderSnapshot(box.outputs());
    std::filesystem::remove_all(box.outputs());
    std::filesystem::create_directory(box.outputs());
    writeFile(box.output("existing.pdb"), {'o', 'l', 'd'});
    ASSERT_EQ(folderSnapshot(box.outputs()), before);

    const ProcessResult inProcess = box.run(args, param.environment, param.input);
    EXPECT_EQ(inProcess.exitCode, process.exitCode);
    EXPECT_EQ(inProcess.out, process.out);
    EXPECT_EQ(inProcess.err, process.err);
    EXPECT_EQ(folderSnapshot(box.outputs()), afterProcess);
    EXPECT_EQ(box.strayFiles(), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(
    Commands, CliProcess,
    ::testing::Values(
        ProcessCase{"Help", {"--help"}, {}, {}, 0},
        ProcessCase{"NoSubcommand", {}, {}, {}, 2},
        ProcessCase{"MakeTwoClassesOverAnExistingDatabase",
                    {"make", "-o", "%existing.pdb", "--name", "TWO", "--version", "01234", "--mode", "2", "--dither",
                     "--compress", "--text", "20,20,Pier", "--upper-left", "35:0:0,139:0:0", "--bottom-right",
                     "34:0:0,140:0:0", "@c1.bmp", "@c2.bmp"},
                    {},
                    {},
                    0},
        ProcessCase{"MakePasswordFromStdin",
                    {"make", "-o", "%new.pdb", "--name", "P", "--version", "00001", "--edit", "full",
                     "--password-stdin", "@c1.bmp"},
                    {},
                    "Zz09Zz09\nsecond line\n",
                    0},
        ProcessCase{"MakeRefused", {"make", "-o", "%existing.pdb", "--version", "1", "@c1.bmp"}, {}, {}, 1},
        ProcessCase{"MakeUsage", {"make", "-o", "%new.pdb", "--mode", "3", "@c1.bmp"}, {}, {}, 2},
        ProcessCase{"MakeFailureInjected",
                    {"make", "-o", "%existing.pdb", "--name", "F", "--version", "00001", "@c1.bmp"},
                    {{"PLOTVANE2_FAIL_AT", "rename:1"}},
                    {},
                    1},
        ProcessCase{"MakeFailureRequestIgnored",
                    {"make", "-o", "%new.pdb", "--name", "F", "--version", "00001", "@c1.bmp"},
                    {{"PLOTVANE2_FAIL_AT", "write:0"}},
                    {},
                    0},
        ProcessCase{"Raster", {"raster", "@colour.bmp", "--mode", "8", "--dither", "-o", "%out.bmp"}, {}, {}, 0},
        ProcessCase{"RasterRefused", {"raster", "@locked.pdb", "--mode", "1", "-o", "%out.bmp"}, {}, {}, 1},
        ProcessCase{"InfoJson", {"info", "--json", "@locked.pdb"}, {}, {}, 0},
        ProcessCase{"InfoRefused", {"info", "@cut.pdb"}, {}, {}, 1},
        ProcessCase{"RestoreWithThePassword", {"restore", "@locked.pdb", "-d", "%classes", "--password-stdin"}, {},
                    "Abcd1234\n", 0},
        ProcessCase{"RestoreWrongPassword", {"restore", "@locked.pdb", "-d", "%classes"},
                    {{"PLOTVANE2_PASSWORD", "Wxyz9876"}}, {}, 1},
        ProcessCase{"RestoreUsage", {"restore", "@locked.pdb"}, {}, {}, 2}),
    [](const ::testing::TestParamInfo<ProcessCase>& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace plotvane::test
