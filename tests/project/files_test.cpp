#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>

#include "project/files.h"
#include "support/temp_dir.h"

namespace plotvane {
namespace {

TEST(Files, FolderIsNotOpenedAsAFile) {
    test::TempDir dir;
    EXPECT_EQ(openFile(dir.path(), "rb"), nullptr);
    EXPECT_EQ(openFile(dir.path(), "wb"), nullptr);
}

TEST(Files, NamedPipeIsNotOpenedForReading) {
    test::TempDir dir;
    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
    // Opening a pipe for reading would block until a writer comes.
    EXPECT_EQ(openFile(dir / "pipe", "rb"), nullptr);
}

TEST(Files, RemoveIfExistsIsSilentForMissingFiles) {
    test::TempDir dir;
    removeIfExists(dir / "missing");
    {
        FilePtr f = openFile(dir / "present", "wb");
        ASSERT_NE(f, nullptr);
        ASSERT_TRUE(writeExact(f.get(), "abc", 3));
    }
    EXPECT_TRUE(fileExists(dir / "present"));
    removeIfExists(dir / "present");
    EXPECT_FALSE(fileExists(dir / "present"));
}

TEST(Files, ReadExactRefusesShortReads) {
    test::TempDir dir;
    {
        FilePtr f = openFile(dir / "three", "wb");
        ASSERT_TRUE(writeExact(f.get(), "abc", 3));
    }
    FilePtr f = openFile(dir / "three", "rb");
    char buffer[4] = {};
    EXPECT_FALSE(readExact(f.get(), buffer, 4));
    ASSERT_TRUE(seekTo(f.get(), 1));
    EXPECT_TRUE(readExact(f.get(), buffer, 2));
    EXPECT_EQ(std::string(buffer, 2), "bc");
}

TEST(FileFailureInjection, OnlyTheArmedCallOfItsOperationFails) {
    test::TempDir dir;
    FilePtr f = openFile(dir / "out", "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_TRUE(armFileFailure("write:3"));
    EXPECT_TRUE(writeExact(f.get(), "a", 1));
    EXPECT_TRUE(flushFile(f.get()));  // another operation does not count
    EXPECT_TRUE(writeExact(f.get(), "b", 1));
    EXPECT_FALSE(armedFileFailureHappened());
    errno = 0;
    EXPECT_FALSE(writeExact(f.get(), "c", 1));
    EXPECT_EQ(errno, EIO);
    EXPECT_TRUE(armedFileFailureHappened());
    EXPECT_TRUE(writeExact(f.get(), "d", 1));
    disarmFileFailure();

    for (const char* bad : {"", "write", "write:", "write:0", "write:x", "write:2x", "read:1", "write:-1"}) {
        EXPECT_FALSE(armFileFailure(bad)) << bad;
        EXPECT_TRUE(writeExact(f.get(), "e", 1)) << bad;
    }
    for (const char* good : {"open:1", "write:7", "flush:2", "sync:1", "rename:12"}) {
        EXPECT_TRUE(armFileFailure(good)) << good;
        disarmFileFailure();
    }
}

}  // namespace
}  // namespace plotvane
