// What a run leaves behind when it is stopped: an interrupted run removes
// what it registered; a killed run's leftovers are removed by the next run
// once it proves their owner gone, and nothing else is.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "project/interrupt_cleanup.h"
#include "project/output_file.h"
#include "project/run_folder.h"
#include "support/temp_dir.h"

namespace plotvane {
namespace {

namespace fs = std::filesystem;

void writeText(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// Every entry under `folder`, relative to it.
std::set<std::string> treeOf(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        names.insert(fs::relative(e.path(), folder).string());
    return names;
}

// The folders registered are nested in any order and each holds a
// registered file: one call removes them all, however deep, while a folder
// holding a file nobody registered stays with that file.
TEST(InterruptCleanup, RemovesNestedFoldersInAnyOrderOfRegistration) {
    test::TempDir dir;
    // With the folder below, every folder slot is taken.
    constexpr int kDepth = 15;
    std::vector<fs::path> folders;
    fs::path p = dir.path();
    for (int i = 0; i < kDepth; ++i) folders.push_back(p /= std::to_string(i));
    fs::create_directories(folders.back());
    std::vector<int> fileSlots;
    std::vector<int> folderSlots;
    // Outermost first, the order a made path is registered in.
    for (const fs::path& folder : folders) {
        writeText(folder / "part", "x");
        fileSlots.push_back(addCleanupFile(folder / "part"));
        folderSlots.push_back(addCleanupFolder(folder));
        ASSERT_GE(folderSlots.back(), 0);
    }
    const fs::path kept = dir / "kept";
    fs::create_directory(kept);
    writeText(kept / "not ours", "x");
    folderSlots.push_back(addCleanupFolder(kept));
    ASSERT_GE(folderSlots.back(), 0);
    EXPECT_EQ(addCleanupFolder(dir / "one too many"), -1);

    removeInterruptedFiles();
    EXPECT_EQ(treeOf(dir.path()), (std::set<std::string>{"kept", "kept/not ours"}));
    for (const int slot : fileSlots) dropCleanupFile(slot);
    for (const int slot : folderSlots) dropCleanupFolder(slot);
    // The slots are free again.
    const int slot = addCleanupFolder(dir / "again");
    EXPECT_GE(slot, 0);
    dropCleanupFolder(slot);
}

// A run that made its run folder and two unfinished outputs, then was
// killed: a child process, so that the owner really is gone.
void killedRun(const fs::path& base, const fs::path& outputs) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        RunFolder run({"temp.$$$"}, base);
        writeText(run.path() / "temp.$$$", "temporary");
        OutputFile a(outputs / "a.pdb", {});
        OutputFile b(outputs / "b.pdb", {});
        if (run.path().empty() || !a.create() || !b.create()) ::_exit(1);
        ::raise(SIGKILL);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
}

fs::path onlyEntryStartingWith(const fs::path& folder, const std::string& prefix) {
    std::vector<fs::path> found;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.path().filename().string().starts_with(prefix)) found.push_back(e.path());
    return found.size() == 1 ? found.front() : fs::path{};
}

TEST(KilledRunLeftovers, OnlyThoseWhoseOwnerIsGoneAreRemoved) {
    test::TempDir base;
    test::TempDir outputs;
    writeText(outputs / "a.pdb", "old a");
    // A living run: this process holds the lock of its folder.
    RunFolder alive({}, base.path());
    ASSERT_FALSE(alive.path().empty());
    ASSERT_NO_FATAL_FAILURE(killedRun(base.path(), outputs.path()));
    fs::path deadFolder;
    for (const auto& e : fs::directory_iterator(base.path()))
        if (e.path() != alive.path()) deadFolder = e.path();
    const fs::path deadA = onlyEntryStartingWith(outputs.path(), ".a.pdb.");
    const fs::path deadB = onlyEntryStartingWith(outputs.path(), ".b.pdb.");
    ASSERT_FALSE(deadFolder.empty());
    ASSERT_FALSE(deadA.empty());
    ASSERT_FALSE(deadB.empty());
    EXPECT_TRUE(fs::exists(deadFolder / "temp.$$$"));
    // The name of b's unfinished file now holds a file the dead run did not
    // make: it looks the same but is kept.
    writeText(outputs / "replacement", "someone else's");
    fs::rename(outputs / "replacement", deadB);

    OutputFile living(outputs / "c.pdb", {});
    ASSERT_TRUE(living.create());
    // Look-alikes: no owner file, an owner file of some other program, a
    // link to a dead run's folder, a hidden file of our naming nobody
    // listed.
    fs::create_directory(base / "plotvane2-noOwnr");
    fs::create_directory(base / "plotvane2-other1");
    writeText(base / "plotvane2-other1" / "owner", "someone else\n");
    fs::create_directory(base / "elsewhere");
    writeText(base / "elsewhere" / "owner", "plotvane2 run 1\n");
    fs::create_directory_symlink(base / "elsewhere", base / "plotvane2-linked");
    writeText(outputs / ".d.pdb.123.tmp", "look-alike");

    std::set<std::string> expectedBase = treeOf(base.path());
    std::set<std::string> expectedOutputs = treeOf(outputs.path());
    for (auto it = expectedBase.begin(); it != expectedBase.end();)
        it = it->starts_with(deadFolder.filename().string()) ? expectedBase.erase(it) : std::next(it);
    expectedOutputs.erase(deadA.filename().string());

    EXPECT_EQ(removeLeftoversOfKilledRuns(base.path()), 1);
    EXPECT_EQ(treeOf(base.path()), expectedBase);
    EXPECT_EQ(treeOf(outputs.path()), expectedOutputs);
    EXPECT_EQ(removeLeftoversOfKilledRuns(base.path()), 0);
}

// Making a run folder removes the leftovers first, and its own folder is
// not taken for one by a run that starts while it lives.
TEST(KilledRunLeftovers, ANewRunFolderRemovesThemAndIsNotTakenForOne) {
    test::TempDir base;
    test::TempDir outputs;
    ASSERT_NO_FATAL_FAILURE(killedRun(base.path(), outputs.path()));
    ASSERT_EQ(treeOf(outputs.path()).size(), 2u);
    RunFolder first({}, base.path());
    ASSERT_FALSE(first.path().empty());
    EXPECT_EQ(treeOf(outputs.path()), std::set<std::string>{});
    EXPECT_EQ(treeOf(base.path()), (std::set<std::string>{first.path().filename().string(),
                                                          (first.path().filename() / "owner").string(),
                                                          (first.path().filename() / "unfinished").string()}));
    {
        RunFolder second({}, base.path());
        EXPECT_TRUE(fs::exists(first.path()));
    }
    EXPECT_TRUE(fs::exists(first.path() / "owner"));
}

}  // namespace
}  // namespace plotvane
