// plotvane2-cli restore, run in process on databases made by the command
// line, with and without passwords, and on damaged files; where the class
// bitmaps go, interrupts, and every file operation failing in turn.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "database/database_loader.h"
#include "project/files.h"
#include "support/cli_fixtures.h"
#include "support/database_fixtures.h"
#include "support/output_cases.h"
#include "support/recording_feedback.h"

namespace plotvane::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

const std::string kCli = PLOTVANE_CLI_PATH;

bool mapPicture(int x, int y) { return ((x / 9) + (y / 5)) % 4 == 0 || (x * 7 + y * 3) % 29 == 0; }

// Makes `name` in the inputs folder from square 1-bit classes of 160 and 320 pixels.
std::filesystem::path makeDatabase(const CliSandbox& box, const std::string& name,
                                   const std::vector<std::string>& options, const Environment& environment = {}) {
    const auto out = box.input(name);
    std::vector<std::string> args{"make", "-o", out.string(), "--name", "RESTORE", "--version", "00042"};
    args.insert(args.end(), options.begin(), options.end());
    for (int size : {160, 320})
        args.push_back(box.writeOneBitBmp(name + std::to_string(size) + ".bmp", size, size, mapPicture).string());
    const ProcessResult r = box.run(args, environment);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return out;
}

// The RestoreFiles the core writes for `database`, as the dialog would.
std::vector<Bytes> coreRestoreFiles(const std::filesystem::path& database) {
    TempDir work;
    MapProject project;
    RecordingFeedback feedback;
    EXPECT_EQ(restoreDatabase(database, work.path(), project, feedback), RestoreResult::Ok);
    std::vector<Bytes> files;
    for (int k = 1; k <= project.classCount; ++k) files.push_back(readFile(work / kRestoreFileNames[k - 1]));
    return files;
}

struct RestoreCase {
    const char* label;
    std::vector<std::string> makeOptions;
    Environment makeEnvironment;
    std::vector<std::string> restoreOptions;
    Environment restoreEnvironment;
    std::string input;
    std::string depth;
    std::string access;
};

class RestoreCli : public ::testing::TestWithParam<RestoreCase> {};

TEST_P(RestoreCli, WritesEveryClassAsTheDialogRestoresIt) {
    const RestoreCase& c = GetParam();
    CliSandbox box(kCli);
    const auto db = makeDatabase(box, "map.pdb", c.makeOptions, c.makeEnvironment);
    const auto folder = box.output("classes");
    std::vector<std::string> args{"restore", db.string(), "-d", folder.string()};
    args.insert(args.end(), c.restoreOptions.begin(), c.restoreOptions.end());
    const ProcessResult r = box.run(args, c.restoreEnvironment, c.input);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "Wrote " + (folder / "class1.bmp").string() + " (160 x 160, " + c.depth + " per pixel)\n" +
                         "Wrote " + (folder / "class2.bmp").string() + " (320 x 320, " + c.depth + " per pixel)\n" +
                         "Access: " + c.access + "\n");
    const std::vector<Bytes> expected = coreRestoreFiles(db);
    ASSERT_EQ(expected.size(), 2u);
    EXPECT_EQ(readFile(folder / "class1.bmp"), expected[0]);
    EXPECT_EQ(readFile(folder / "class2.bmp"), expected[1]);
    EXPECT_EQ(folderEntries(folder), (std::vector<std::string>{"class1.bmp", "class2.bmp"}));
    EXPECT_EQ(box.strayFiles(), std::vector<std::string>{});
}

const Environment kPassword{{"PLOTVANE2_PASSWORD", "Abcd1234"}};
const std::vector<std::string> kLocked{"--view", "all", "--edit", "full"};

INSTANTIATE_TEST_SUITE_P(
    RestoreCli, RestoreCli,
    ::testing::Values(
        RestoreCase{"ReadOnlyOriginal", {}, {}, {}, {}, "", "1 bit", "Read Only, Non Password"},
        RestoreCase{"Mode8Compressed", {"--mode", "8", "--compress"}, {}, {}, {}, "", "8 bits", "Read Only, Non Password"},
        RestoreCase{"Mode2", {"--mode", "2", "--view", "information", "--edit", "readonly"}, kPassword, {}, kPassword,
                    "", "4 bits", "Read Only, Information"},
        RestoreCase{"PasswordFromStdin", kLocked, kPassword, {"--password-stdin"}, {}, "Abcd1234\n", "1 bit",
                    "Full Edit OK, All view"},
        RestoreCase{"PasswordFromEnvironment", kLocked, kPassword, {}, kPassword, "", "1 bit",
                    "Full Edit OK, All view"}),
    [](const ::testing::TestParamInfo<RestoreCase>& info) { return std::string(info.param.label); });

// ---- Refusals -------------------------------------------------------------

struct RefusedCase {
    const char* label;
    // Returns the database to restore; may build files in the sandbox.
    std::function<std::filesystem::path(const CliSandbox&)> prepare;
    std::vector<std::string> options;
    Environment environment;
    std::string input;
    std::string err;
};

class RestoreCliRefusal : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(RestoreCliRefusal, PrintsTheMessagesAndReplacesNothing) {
    const RefusedCase& c = GetParam();
    CliSandbox box(kCli);
    const std::filesystem::path db = c.prepare(box);
    const auto folder = box.output("classes");
    std::filesystem::create_directory(folder);
    writeFile(folder / "class1.bmp", {'o', 'l', 'd'});
    std::vector<std::string> args{"restore", db.string(), "-d", folder.string()};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const ProcessResult r = box.run(args, c.environment, c.input);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(folderEntries(folder), std::vector<std::string>{"class1.bmp"});
    EXPECT_EQ(readFile(folder / "class1.bmp"), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(box.strayFiles(), std::vector<std::string>{});
}

std::function<std::filesystem::path(const CliSandbox&)> locked() {
    return [](const CliSandbox& box) { return makeDatabase(box, "locked.pdb", kLocked, kPassword); };
}

std::function<std::filesystem::path(const CliSandbox&)> damaged(const std::function<void(Bytes&)>& change) {
    return [change](const CliSandbox& box) {
        const auto db = makeDatabase(box, "good.pdb", {"--mode", "1"});
        Bytes bytes = readFile(db);
        change(bytes);
        const auto path = box.input("damaged.pdb");
        writeFile(path, bytes);
        return path;
    };
}

const std::string kInvalid = "Error: Invalid Password !\n";

INSTANTIATE_TEST_SUITE_P(
    RestoreCliFiles, RestoreCliRefusal,
    ::testing::Values(
        RefusedCase{"Missing", [](const CliSandbox& box) { return box.input("absent.pdb"); }, {}, {}, "",
                    "Warning: Error : Cannot find pdb-file\n"},
        RefusedCase{"Folder", [](const CliSandbox& box) { return box.inputs(); }, {}, {}, "",
                    "Warning: Error : Cannot open pdb-file\n"},
        RefusedCase{"NotOrbilune", damaged([](Bytes& b) { b[60] = 'd'; }), {}, {}, "", "Error: Not Orbilune data!\n"},
        RefusedCase{"UnknownMode", damaged([](Bytes& b) { b[recordOffsetOf(b, 0) + 60] = 3; }), {}, {}, "",
                    "Error: PDB file data\n"},
        RefusedCase{"TileCutShort", damaged([](Bytes& b) { b.pop_back(); }), {}, {}, "", "Error: PDB file data\n"},
        RefusedCase{"WrongPassword", locked(), {"--password-stdin"}, {}, "Zyxw9876\n", kInvalid},
        RefusedCase{"PasswordInOtherCase", locked(), {}, {{"PLOTVANE2_PASSWORD", "ABCD1234"}}, "", kInvalid},
        RefusedCase{"NoPassword", locked(), {}, {}, "", "Error: Password must 8 characters.\n" + kInvalid},
        RefusedCase{"PasswordOverEightCharacters", locked(), {"--password-stdin"}, {}, "Abcd12345\n",
                    "Error: Password must 8 characters.\n" + kInvalid},
        RefusedCase{"PasswordWithASign", locked(), {"--password-stdin"}, {}, "Abcd-234\n",
                    "Error: Password character use alphabet or number.\n" + kInvalid}),
    [](const ::testing::TestParamInfo<RefusedCase>& info) { return std::string(info.param.label); });

TEST(RestoreCliRun, ReplacesEarlierFilesAndCreatesTheFolder) {
    CliSandbox box(kCli);
    const auto db = makeDatabase(box, "map.pdb", {"--mode", "4"});
    const auto folder = box.output("new") / "classes";
    ASSERT_EQ(box.run({"restore", db.string(), "-d", folder.string()}).exitCode, 0);
    writeFile(folder / "class2.bmp", {'o', 'l', 'd'});
    const ProcessResult r = box.run({"restore", db.string(), "-d", folder.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(readFile(folder / "class2.bmp"), coreRestoreFiles(db)[1]);
    EXPECT_EQ(folderEntries(folder), (std::vector<std::string>{"class1.bmp", "class2.bmp"}));
}

// A refused restore removes the folders of -d it made, and only those.
TEST(RestoreCliRun, ARefusalRemovesTheFoldersItMadeAndNoOther) {
    CliSandbox box(kCli);
    const auto db = damaged([](Bytes& b) { b.pop_back(); })(box);
    const auto kept = box.output("kept");
    std::filesystem::create_directories(kept / "empty");
    const auto before = folderSnapshot(box.outputs());
    for (const auto& folder : {kept / "new" / "a" / "b", kept / "empty" / "a", box.output("new")}) {
        const ProcessResult r = box.run({"restore", db.string(), "-d", folder.string()});
        EXPECT_EQ(r.exitCode, 1) << r.err;
        EXPECT_EQ(folderSnapshot(box.outputs()), before) << folder;
    }
}

TEST(RestoreCliRun, AClassThatCannotBeWrittenLeavesEveryTargetAsItWas) {
    CliSandbox box(kCli);
    const auto db = makeDatabase(box, "map.pdb", {});
    const auto folder = box.output("classes");
    std::filesystem::create_directories(folder / "class2.bmp");
    writeFile(folder / "class1.bmp", {'o', 'l', 'd'});
    const ProcessResult r = box.run({"restore", db.string(), "-d", folder.string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "Error: Cannot make bmp-file.\nplotvane2-cli: " + (folder / "class2.bmp").string() +
                         ": is a folder, not a file; it was left as it is\n");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(readFile(folder / "class1.bmp"), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(folderEntries(folder), (std::vector<std::string>{"class1.bmp", "class2.bmp"}));
}

TEST(RestoreCliUsage, MistakesExitTwoWithTheUsage) {
    CliSandbox box(kCli);
    const auto db = makeDatabase(box, "map.pdb", {});
    writeFile(box.output("file"), {1});
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"restore", db.string()}, std::vector<std::string>{"restore", "-d", box.outputs().string()},
          std::vector<std::string>{"restore", db.string(), "-d", box.output("file").string()}}) {
        const ProcessResult r = box.run(args);
        EXPECT_EQ(r.exitCode, 2) << args.back();
        EXPECT_TRUE(r.err.starts_with("plotvane2-cli: ")) << r.err;
        EXPECT_NE(r.err.find("restore"), std::string::npos) << r.err;
    }
    EXPECT_EQ(readFile(box.output("file")), (Bytes{1}));
}

// ---- Where the class bitmaps go, interrupts and failing file operations --

const std::string kCannotMakeBmp = "Error: Cannot make bmp-file.\n";

// The output case made as DIR/class1.bmp: what the case arranged at "out"
// (or the database itself) is renamed, and a link that named "out" names
// class1.bmp instead.
std::filesystem::path arrangeClassOne(const OutputCase& c, const std::filesystem::path& folder,
                                      std::filesystem::path& database) {
    namespace fs = std::filesystem;
    const fs::path out = c.arrange(folder, database);
    if (out.empty()) return {};
    const fs::path classOne = folder / "class1.bmp";
    if (out == database) database = classOne;
    if (fs::symlink_status(out).type() != fs::file_type::not_found) fs::rename(out, classOne);
    for (const fs::directory_entry& e : fs::directory_iterator(folder)) {
        if (!e.is_symlink() || fs::read_symlink(e.path()) != "out") continue;
        fs::remove(e.path());
        fs::create_symlink("class1.bmp", e.path());
    }
    return classOne;
}

class RestoreCliOutput : public ::testing::TestWithParam<OutputCase> {};

TEST_P(RestoreCliOutput, WritesThroughLinksAndRefusesWhatIsNoFileOrTheDatabase) {
    const OutputCase& c = GetParam();
    const ScopedDeadline deadline(60);
    CliSandbox box(kCli);
    const auto folder = box.outputs();
    auto db = folder / "map.pdb";
    std::filesystem::rename(makeDatabase(box, "map.pdb", {"--mode", "2"}), db);
    const std::vector<Bytes> restored = coreRestoreFiles(db);
    const auto classOne = arrangeClassOne(c, folder, db);
    if (classOne.empty()) GTEST_SKIP() << "this system cannot make the file of this case";
    auto expected = folderSnapshot(folder);

    const ProcessResult r = box.run({"restore", db.string(), "-d", folder.string()});
    ASSERT_FALSE(r.timedOut);
    if (c.refusal) {
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.out, "");
        ASSERT_TRUE(r.err.starts_with(kCannotMakeBmp)) << r.err;
        const std::string line = r.err.substr(kCannotMakeBmp.size());
        EXPECT_TRUE(line.starts_with("plotvane2-cli: " + classOne.string())) << line;
        EXPECT_NE(line.find(cliRefusalPhrase(*c.refusal)), std::string::npos) << line;
        EXPECT_EQ(std::count(line.begin(), line.end(), '\n'), 1) << line;
    } else {
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.err, "");
        expected[c.written == "out" ? "class1.bmp" : c.written] = snapshotOf(restored[0]);
        expected["class2.bmp"] = snapshotOf(restored[1]);
    }
    EXPECT_EQ(folderSnapshot(folder), expected);
    EXPECT_EQ(box.strayFiles(), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Cases, RestoreCliOutput, ::testing::ValuesIn(outputCases()),
                         [](const auto& info) { return info.param.name; });

// A database of four 4-bit classes up to 4096 pixels square: some 11 MB
// to restore.
std::filesystem::path largeDatabase(const CliSandbox& box) {
    const auto db = box.input("large.pdb");
    std::vector<std::string> make{"make", "-o", db.string(), "--name", "LARGE", "--version", "00001", "--mode", "2"};
    for (int size : {512, 1024, 2048, 4096})
        make.push_back(box.writeOneBitBmp(std::to_string(size) + "px.bmp", size, size, mapPicture).string());
    EXPECT_EQ(box.run(make).exitCode, 0);
    return db;
}

std::size_t entryCount(const std::filesystem::path& folder) {
    std::error_code ec;
    std::size_t n = 0;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) ++n;
    return n;
}

// A restore of `db` into `folder` as a process, sent `signal` as soon as an
// unfinished bitmap is there. A restore that ends before the signal reaches
// it is run again after `reset`; exit code 0 when every one did.
ProcessResult stoppedRestore(const CliSandbox& box, const std::filesystem::path& db,
                             const std::filesystem::path& folder, int signal, const std::function<void()>& reset) {
    ProcessResult run;
    for (int attempt = 0; attempt < 20; ++attempt) {
        const std::size_t before = entryCount(folder);
        RunningProcess process(kCli, {"restore", db.string(), "-d", folder.string()},
                               {{"TMPDIR", box.temp().string()}}, {}, box.work().string());
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        bool started = false;
        while (!started && std::chrono::steady_clock::now() < deadline) {
            started = entryCount(folder) > before;
            if (!started) std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        EXPECT_TRUE(started) << "no unfinished bitmap appeared";
        process.sendSignal(signal);
        run = process.wait(std::chrono::seconds(30));
        EXPECT_FALSE(run.timedOut);
        if (run.exitCode != 0) return run;
        reset();
    }
    return run;
}

// Each interrupt during a long restore removes every unfinished class
// bitmap, leaves the folder as it was and exits with 128 + its number.
TEST(RestoreCliInterrupt, RemovesTheUnfinishedBitmapsAndKeepsTheFolder) {
    CliSandbox box(kCli);
    const auto db = largeDatabase(box);
    const auto folder = box.output("classes");
    const auto reset = [&] { freshFolderWithOldClass(folder); };
    reset();
    const auto before = folderSnapshot(folder);

    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        const ProcessResult run = stoppedRestore(box, db, folder, signal, reset);
        EXPECT_EQ(run.exitCode, 128 + signal) << "signal " << signal << "\n" << run.err;
        EXPECT_EQ(folderSnapshot(folder), before) << "signal " << signal;
        EXPECT_EQ(box.strayFiles(), std::vector<std::string>{}) << "signal " << signal;
    }
}

// An interrupted restore into -d new/a/b removes the three folders it made.
TEST(RestoreCliInterrupt, RemovesTheFoldersItMade) {
    CliSandbox box(kCli);
    const auto db = largeDatabase(box);
    const auto before = folderSnapshot(box.outputs());
    const auto folder = box.output("new") / "a" / "b";
    const ProcessResult run =
        stoppedRestore(box, db, folder, SIGINT, [&] { std::filesystem::remove_all(box.output("new")); });
    EXPECT_EQ(run.exitCode, 128 + SIGINT) << run.err;
    EXPECT_EQ(folderSnapshot(box.outputs()), before);
    EXPECT_EQ(box.strayFiles(), std::vector<std::string>{});
}

// A restore killed outright leaves its run folder and an unfinished bitmap
// behind; the next run of the command line removes both, and nothing else.
TEST(RestoreCliKilled, TheNextRunRemovesWhatItLeft) {
    CliSandbox box(kCli);
    const auto db = largeDatabase(box);
    const auto small = makeDatabase(box, "map.pdb", {});
    const auto folder = box.output("classes");
    const auto reset = [&] { freshFolderWithOldClass(folder); };
    reset();
    const auto before = folderSnapshot(folder);
    const ProcessResult run = stoppedRestore(box, db, folder, SIGKILL, reset);
    ASSERT_EQ(run.exitCode, -1) << "every restore ended first";
    ASSERT_NE(folderSnapshot(folder), before);
    ASSERT_EQ(box.strayFiles().size(), 1u);
    EXPECT_TRUE(box.strayFiles().front().starts_with("tmp/plotvane2-")) << box.strayFiles().front();

    const ProcessResult next = box.run({"restore", small.string(), "-d", box.output("other").string()});
    EXPECT_EQ(next.exitCode, 0) << next.err;
    EXPECT_EQ(folderSnapshot(folder), before);
    EXPECT_EQ(box.strayFiles(), std::vector<std::string>{});
}

// Every open, write, flush, sync and rename of a restore fails in turn,
// the reading of the database included: each failure is reported and
// refused, and leaves the existing bitmap and every folder as they were,
// until the run succeeds.
TEST(RestoreCliFailureInjection, EveryFileOperationFailingInTurnHarmsNothing) {
    CliSandbox box(kCli);
    const auto db = makeDatabase(box, "map.pdb", {"--mode", "4"});
    const std::vector<Bytes> restored = coreRestoreFiles(db);
    const auto folder = box.output("classes");
    std::filesystem::create_directory(folder);
    writeFile(folder / "class1.bmp", {'o', 'l', 'd'});
    sweepFileFailures(
        box, 1000,
        [&](const std::string& failAt) {
            return box.run({"restore", db.string(), "-d", folder.string()}, {{"PLOTVANE2_FAIL_AT", failAt}});
        },
        [&](const ProcessResult& r, const std::string& failAt) {
            EXPECT_EQ(r.err, "") << failAt;
            EXPECT_EQ(readFile(folder / "class1.bmp"), restored[0]) << failAt;
            EXPECT_EQ(readFile(folder / "class2.bmp"), restored[1]) << failAt;
            std::filesystem::remove(folder / "class2.bmp");
            writeFile(folder / "class1.bmp", {'o', 'l', 'd'});
        },
        [](const ProcessResult& r, const std::string& failAt) { EXPECT_EQ(r.out, "") << failAt; });
}

// make and restore say how far the writer and the restore are on stderr
// off a terminal only with --progress, and never with --quiet.
TEST(ProgressLines, MakeAndRestoreOnlyWhenAskedOffATerminal) {
    CliSandbox box(kCli);
    const std::string db = box.output("progress.pdb").string();
    std::vector<std::string> make{"make", "-o", db, "--name", "PROGRESS", "--version", "00001"};
    for (const auto& [size, name] : {std::pair{160, "p160.bmp"}, std::pair{320, "p320.bmp"}})
        make.push_back(box.writeOneBitBmp(name, size, size, mapPicture).string());
    const std::vector<std::string> restore{"restore", db, "-d", box.output("classes").string()};
    const std::string success = "Plotvane: Success : Map Database making\n";
    struct Case {
        const std::vector<std::string>* command;
        std::vector<std::string> flags;
        std::string line;   // the progress line's last state, or none
        std::string after;  // what follows it on stderr
    };
    const Case cases[] = {
        {&make, {}, "", success},
        {&make, {"--progress"}, "\rMaking the map database: 100%\n", success},
        {&make, {"--progress", "--quiet"}, "", success},
        {&restore, {}, "", ""},
        {&restore, {"--progress"}, "\rRestoring the map database: 100%\n", ""},
        {&restore, {"--quiet"}, "", ""},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = *c.command;
        args.insert(args.end(), c.flags.begin(), c.flags.end());
        const ProcessResult r = box.run(args);
        SCOPED_TRACE(args.front() + " " + (c.flags.empty() ? std::string() : c.flags.front()));
        ASSERT_EQ(r.exitCode, 0) << r.err;
        if (c.line.empty()) {
            EXPECT_EQ(r.err, c.after);
            continue;
        }
        // Each report that changes the percentage rewrites the line.
        const std::string what = c.line.substr(1, c.line.find(':'));
        ASSERT_GT(r.err.size(), c.line.size() + c.after.size());
        EXPECT_EQ(r.err.substr(0, what.size() + 1), "\r" + what) << r.err;
        EXPECT_EQ(r.err.substr(r.err.size() - c.line.size() - c.after.size()), c.line + c.after) << r.err;
    }
}

}  // namespace
}  // namespace plotvane::test
