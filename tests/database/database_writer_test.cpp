#include "database/database_writer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "database/make_database.h"
#include "database/map_database.h"
#include "project/files.h"
#include "raster/record_division.h"
#include "support/bmp_writer.h"
#include "support/database_fixtures.h"
#include "support/expected_bytes.h"
#include "support/expected_database.h"
#include "support/layout_parser.h"
#include "support/output_cases.h"
#include "support/recording_feedback.h"
#include "support/temp_dir.h"

namespace plotvane {
namespace {

using test::ParsedMapDatabase;
using test::parseMapDatabase;

using test::Bytes;

bool mapPattern(int x, int y) { return ((x / 5) * (y / 7) + x + 2 * y) % 5 < 2; }

// One 160 x 160 class, one tile, no text, no GPS, written in `mode`.
Bytes expectedSingleTileDatabase(std::uint32_t stamp, std::uint8_t mode, bool compressed,
                                 const std::string& password) {
    test::ExpectedDatabase m;
    m.name = "Harbour 2";
    m.password = password;
    m.version = "054321";
    m.stamp = stamp;
    m.mode = mode;
    m.compressed = compressed;
    m.classes = {{160, 160, 1, 1}};
    m.tileRows = [](std::size_t, int, int) {
        Bytes rows;
        for (int y = 0; y < 160; ++y) {
            Bytes row(20, 0);
            for (int x = 0; x < 160; ++x)
                if (mapPattern(x, y)) row[static_cast<std::size_t>(x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
            rows.insert(rows.end(), row.begin(), row.end());
        }
        return rows;
    };
    return test::expectedDatabase(m);
}

constexpr std::int64_t kMay2024 = 1715000000;

class DatabaseWriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        project.databaseName.assign("Harbour 2");
        project.versionText.assign("054321");
        std::copy_n("Pw3xQ9aZ", 8, project.access.encodedPassword.begin());
    }

    // A class bitmap checked the way the dialog checks it.
    void chooseClass(int classIndex, int width, int height, const std::function<bool(int, int)>& black) {
        test::BmpRecipe recipe;
        recipe.width = width;
        recipe.height = height;
        recipe.bitCount = 1;
        recipe.palette = test::blackWhitePalette();
        recipe.pixel = [&](int x, int y) { return black(x, y) ? 0u : 1u; };
        const auto path = dir / ("class" + std::to_string(classIndex + 1) + ".bmp");
        test::writeFile(path, test::makeBmp(recipe));
        test::RecordingFeedback checks;
        ControlUpdates u;
        ASSERT_EQ(checkClassBitmap(project, path, classIndex, compressChecked, checks, u), ClassBitmapResult::Ok);
        project.classes[static_cast<std::size_t>(classIndex)].fileName.assign(path.string());
        project.classCount = classIndex + 1;
    }

    WriteRequest request(const std::filesystem::path& output) const {
        return WriteRequest{output, project.classCount, project.colourMode, compressChecked && project.colourMode != ColourMode::Original,
                            false, compressChecked, dir.path()};
    }

    int write(const std::filesystem::path& output, std::int64_t seconds = kMay2024,
              std::filesystem::path* unfinished = nullptr) {
        test::FixedClock clock(seconds);
        return static_cast<int>(writeMapDatabase(project, request(output), clock, feedback, updates, unfinished));
    }

    bool save(const std::filesystem::path& output, std::int64_t seconds = kMay2024) {
        test::FixedClock clock(seconds);
        return saveMapDatabase(project, output, SaveOptions{false, compressChecked, dir.path()}, clock, feedback,
                               updates);
    }

    test::TempDir dir;
    MapProject project;
    bool compressChecked = false;
    test::RecordingFeedback feedback;
    ControlUpdates updates;
};

std::uint32_t stampOf(std::int64_t seconds) {
    return static_cast<std::uint32_t>((seconds + 2082877200LL) & 0xFFFFFFFFLL);
}

TEST_F(DatabaseWriterTest, OriginalModeDatabaseIsByteExact) {
    chooseClass(0, 160, 160, mapPattern);
    const auto out = dir / "map.pdb";
    ASSERT_EQ(write(out), 0) << ::testing::PrintToString(feedback.messages);
    EXPECT_TRUE(feedback.messages.empty());
    EXPECT_EQ(feedback.busyDepth, 0);
    EXPECT_EQ(test::readFile(out), expectedSingleTileDatabase(stampOf(kMay2024), 0, false, "Pw3xQ9aZ"));
    EXPECT_TRUE(fileExists(dir / kCompressionFileName));  // the caller removes it
}

TEST_F(DatabaseWriterTest, CompressedOneBitDatabaseIsByteExact) {
    compressChecked = true;
    project.colourMode = ColourMode::Bpp1;
    chooseClass(0, 160, 160, mapPattern);
    const auto out = dir / "map.pdb";
    ASSERT_EQ(write(out), 0) << ::testing::PrintToString(feedback.messages);
    EXPECT_EQ(test::readFile(out), expectedSingleTileDatabase(stampOf(kMay2024), 1, true, "Pw3xQ9aZ"));
    EXPECT_FALSE(fileExists(dir / kDatabaseRasterName));
}

TEST_F(DatabaseWriterTest, ShortPasswordIsZeroFilled) {
    project.access.encodedPassword.fill('\0');
    std::copy_n("abc", 3, project.access.encodedPassword.begin());
    chooseClass(0, 160, 160, mapPattern);
    ASSERT_EQ(write(dir / "map.pdb"), 0) << ::testing::PrintToString(feedback.messages);
    EXPECT_EQ(test::readFile(dir / "map.pdb"), expectedSingleTileDatabase(stampOf(kMay2024), 0, false, "abc"));
}

TEST_F(DatabaseWriterTest, SameProjectWrittenTwiceIsIdentical) {
    chooseClass(0, 320, 320, mapPattern);
    chooseClass(1, 640, 640, mapPattern);
    project.setInfoText(0, InfoText{"Lighthouse", 10, 10, 19, 19});
    project.infoTextCount = 1;
    ASSERT_EQ(write(dir / "a.pdb"), 0) << ::testing::PrintToString(feedback.messages);
    ASSERT_EQ(write(dir / "b.pdb"), 0) << ::testing::PrintToString(feedback.messages);
    const Bytes a = test::readFile(dir / "a.pdb");
    EXPECT_EQ(a, test::readFile(dir / "b.pdb"));

    ParsedMapDatabase parsed;
    ASSERT_EQ(parseMapDatabase(a, parsed), test::LayoutResult::Parsed);
    EXPECT_EQ(parsed.mapHeader.firstDataIndex, 2);
    EXPECT_EQ(parsed.dataRecords.size(), dataRecordCount(project, 2));
    ASSERT_TRUE(parsed.infoText.has_value());
    EXPECT_EQ(parsed.infoText->spareEntries, 10u);
}

// ---- Limits -----------------------------------------------------------

struct RecordLimitCase {
    const char* name;
    int records;
    int texts;
    bool accepted;
};

class DatabaseWriterRecordLimit : public DatabaseWriterTest, public ::testing::WithParamInterface<RecordLimitCase> {};

TEST_P(DatabaseWriterRecordLimit, IsTestedAfterTheCompressionPass) {
    const RecordLimitCase& c = GetParam();
    // One class cut into `records` tiles of 16 x 16 pixels.
    test::addOneBitClass(project, 0, dir / "strip.bmp", 16 * c.records, 16, c.records, 1,
                         [](int x, int y) { return (x ^ y) & 1; });
    project.infoTextCount = static_cast<std::uint16_t>(c.texts);
    const auto out = dir / "map.pdb";
    const int rc = write(out);
    EXPECT_EQ(project.recordCounter, c.records);  // the pass ran for every tile
    if (!c.accepted) {
        EXPECT_EQ(rc, 1);
        EXPECT_EQ(feedback.messages, std::vector<Message>{warning("Error : [Record number]>=254")});
        EXPECT_FALSE(fileExists(out));
        return;
    }
    ASSERT_EQ(rc, 0) << ::testing::PrintToString(feedback.messages);
    ParsedMapDatabase parsed;
    ASSERT_EQ(parseMapDatabase(test::readFile(out), parsed), test::LayoutResult::Parsed);
    EXPECT_EQ(parsed.header.recordCount, 254);
    EXPECT_EQ(parsed.mapHeader.dataRecordCount, 253);
    EXPECT_EQ(parsed.mapHeader.directory.back().recordIndex, 253);
    EXPECT_EQ(parsed.mapHeader.directory.back().xOrigin, 252 * 16);
}

INSTANTIATE_TEST_SUITE_P(Table, DatabaseWriterRecordLimit,
                         ::testing::Values(RecordLimitCase{"records253", 253, 0, true},
                                           RecordLimitCase{"records254", 254, 0, false},
                                           RecordLimitCase{"records253WithText", 253, 1, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// Stored bytes of a 1600-pixel row alternate between white and black
// bytes, so each gives its own pair; row 0 ends in one run instead, so
// that the record code holds exactly 2 x `pairs` bytes.
std::function<bool(int, int)> pairCountPattern(int pairs) {
    const int lastRowPairs = pairs - 159 * 200;
    return [lastRowPairs](int x, int y) {
        const int byte = x / 8;
        if (y != 0 || byte < lastRowPairs - 1) return byte % 2 == 1;
        return (lastRowPairs - 1) % 2 == 1;  // the run differs from the byte before it
    };
}

struct SizeLimitCase {
    const char* name;
    int pairs;
    bool accepted;
};

class DatabaseWriterSizeLimit : public DatabaseWriterTest, public ::testing::WithParamInterface<SizeLimitCase> {};

TEST_P(DatabaseWriterSizeLimit, CompressedRecordMustFit64000Bytes) {
    compressChecked = true;
    project.colourMode = ColourMode::Bpp1;
    chooseClass(0, 1600, 160, pairCountPattern(GetParam().pairs));
    ASSERT_EQ(project.classes[0].recordColumns * project.classes[0].recordRows, 1);
    const auto out = dir / "map.pdb";
    const int rc = write(out);
    ASSERT_GE(project.recordSizes.size(), 1u);
    EXPECT_EQ(project.recordSizes[0], 2u * static_cast<std::uint32_t>(GetParam().pairs));
    if (GetParam().accepted) {
        EXPECT_EQ(rc, 0);
        const Bytes db = test::readFile(out);
        EXPECT_EQ(db.size(), 96u + 80u + 64000u);
        return;
    }
    EXPECT_EQ(rc, 1);
    EXPECT_EQ(feedback.messages.back(), warning("Error : Compression Data Size Over 64KBytes."));
    EXPECT_FALSE(fileExists(out));
}

INSTANTIATE_TEST_SUITE_P(Table, DatabaseWriterSizeLimit,
                         ::testing::Values(SizeLimitCase{"bytes63982", 31991, true},
                                           SizeLimitCase{"bytes63984", 31992, false}),
                         [](const auto& info) { return std::string(info.param.name); });

struct ClockCase {
    const char* name;
    const char* zone;
    std::int64_t seconds;
    bool accepted;
};

class DatabaseWriterClock : public DatabaseWriterTest, public ::testing::WithParamInterface<ClockCase> {};

TEST_P(DatabaseWriterClock, RefusesLocalYears1951To1997) {
    test::ScopedTimeZone zone(GetParam().zone);
    chooseClass(0, 160, 160, mapPattern);
    const auto out = dir / "map.pdb";
    const int rc = write(out, GetParam().seconds);
    if (!GetParam().accepted) {
        EXPECT_EQ(rc, 1);
        EXPECT_EQ(feedback.messages, std::vector<Message>{warning("Error : The date of this system is abnormal.")});
        EXPECT_FALSE(fileExists(out));
        return;
    }
    ASSERT_EQ(rc, 0) << ::testing::PrintToString(feedback.messages);
    // The stamp is counted in UTC+9 whatever the local zone.
    EXPECT_EQ(test::readFile(out), expectedSingleTileDatabase(stampOf(GetParam().seconds), 0, false, "Pw3xQ9aZ"));
}

INSTANTIATE_TEST_SUITE_P(
    Table, DatabaseWriterClock,
    ::testing::Values(ClockCase{"year1950", "UTC0", test::utcSeconds(1950, 6, 1), true},
                      ClockCase{"year1951", "UTC0", test::utcSeconds(1951, 1, 1), false},
                      ClockCase{"year1997", "UTC0", test::utcSeconds(1997, 6, 1), false},
                      ClockCase{"year1998", "UTC0", test::utcSeconds(1998, 6, 1), true},
                      // 1998 in UTC but still 1997 five hours west.
                      ClockCase{"localNewYearsEve1997", "EST5", test::utcSeconds(1998, 1, 1, 2), false},
                      // 1997 in UTC but already 1998 nine hours east.
                      ClockCase{"localNewYear1998", "JST-9", test::utcSeconds(1997, 12, 31, 20), true},
                      // 1951 in UTC but still 1950 locally.
                      ClockCase{"local1950", "EST5", test::utcSeconds(1951, 1, 1, 3), true}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- The output file --------------------------------------------------

TEST_F(DatabaseWriterTest, ExistingFileIsReplacedNotAppendedTo) {
    chooseClass(0, 160, 160, mapPattern);
    const auto out = dir / "map.pdb";
    test::writeFile(out, Bytes(100000, 0x77));
    ASSERT_EQ(write(out), 0) << ::testing::PrintToString(feedback.messages);
    EXPECT_EQ(test::readFile(out), expectedSingleTileDatabase(stampOf(kMay2024), 0, false, "Pw3xQ9aZ"));
}

TEST_F(DatabaseWriterTest, NewFileGetsModeSixSixSixLessTheUmask) {
    chooseClass(0, 160, 160, mapPattern);
    for (const mode_t mask : {mode_t{027}, mode_t{0}, mode_t{022}}) {
        const mode_t old = ::umask(mask);
        const auto out = dir / ("map" + std::to_string(mask) + ".pdb");
        const int rc = write(out);
        ::umask(old);
        ASSERT_EQ(rc, 0) << ::testing::PrintToString(feedback.messages);
        struct stat st {};
        ASSERT_EQ(::stat(out.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask) << mask;
    }
}

TEST_F(DatabaseWriterTest, RemovesItsUnfinishedFileOnFailure) {
    chooseClass(0, 160, 160, mapPattern);
    const auto out = dir / "map.pdb";
    std::filesystem::path unfinished = "stale";
    ASSERT_EQ(write(out, test::utcSeconds(1990, 1, 1), &unfinished), 1);
    EXPECT_TRUE(unfinished.empty());
    EXPECT_EQ(test::folderEntries(dir.path()), (std::vector<std::string>{"class1.bmp", kCompressionFileName}));
}

TEST_F(DatabaseWriterTest, OutputThatCannotBeCreated) {
    chooseClass(0, 160, 160, mapPattern);
    const auto out = dir / "missing_folder" / "map.pdb";
    EXPECT_EQ(write(out), 1);
    EXPECT_EQ(feedback.messages, std::vector<Message>{warning("Error : Cannot make pdb-file.", Icon::Exclamation)});
    EXPECT_EQ(feedback.problems, (std::vector<FileProblem>{{FileProblem::Kind::CannotCreateBeside, out, {}, {}, ENOENT}}));
}

TEST_F(DatabaseWriterTest, CompressionFailureStopsBeforeAnyFile) {
    chooseClass(0, 160, 160, mapPattern);
    std::filesystem::remove(dir / "class1.bmp");
    const auto out = dir / "map.pdb";
    EXPECT_EQ(write(out), 1);
    EXPECT_EQ(feedback.messages, (std::vector<Message>{warning("Error : Cannot open bmp-file."),
                                                       warning("Error : Can not compress this data.")}));
    EXPECT_EQ(test::folderEntries(dir.path()), std::vector<std::string>{});
}

// ---- The save step ------------------------------------------------------

TEST_F(DatabaseWriterTest, SaveRemovesTheTemporaryFilesOnSuccess) {
    compressChecked = true;
    project.colourMode = ColourMode::Bpp1;
    chooseClass(0, 160, 160, mapPattern);
    const auto out = dir / "map.pdb";
    EXPECT_TRUE(save(out));
    EXPECT_TRUE(feedback.messages.empty());
    EXPECT_EQ(project.compressFlag, 1);
    EXPECT_EQ(test::folderEntries(dir.path()), (std::vector<std::string>{"class1.bmp", "map.pdb"}));
    EXPECT_EQ(test::readFile(out), expectedSingleTileDatabase(stampOf(kMay2024), 1, true, "Pw3xQ9aZ"));
}

struct SaveFailureCase {
    const char* name;
    std::function<void(MapProject&, const std::filesystem::path& dir)> arrange;
    std::int64_t seconds;
    std::vector<Message> expected;
};

class SaveDatabaseFailure : public DatabaseWriterTest, public ::testing::WithParamInterface<SaveFailureCase> {};

TEST_P(SaveDatabaseFailure, KeepsTheExistingDatabaseAndLeavesNothingBehind) {
    chooseClass(0, 160, 160, mapPattern);
    const auto out = dir / "map.pdb";
    const Bytes old(4321, 0x5A);
    test::writeFile(out, old);
    GetParam().arrange(project, dir.path());
    // Everything stays except the temporary files, which the save step removes.
    std::vector<std::string> before;
    for (const auto& name : test::folderEntries(dir.path()))
        if (name != kDatabaseRasterName && name != kCompressionFileName) before.push_back(name);

    EXPECT_FALSE(save(out, GetParam().seconds));
    std::vector<Message> expected = GetParam().expected;
    expected.push_back(warning("Error : cannot make pdb-file", Icon::Exclamation));
    EXPECT_EQ(feedback.messages, expected);
    EXPECT_EQ(test::readFile(out), old);
    EXPECT_EQ(test::folderEntries(dir.path()), before);
    EXPECT_EQ(feedback.busyDepth, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SaveDatabaseFailure,
    ::testing::Values(
        SaveFailureCase{"classFileMissing",
                        [](MapProject&, const std::filesystem::path& d) { std::filesystem::remove(d / "class1.bmp"); },
                        kMay2024,
                        {warning("Error : Cannot open bmp-file."), warning("Error : Can not compress this data.")}},
        SaveFailureCase{"notOneBit", [](MapProject& p, const std::filesystem::path&) { p.classes[0].bitDepth = 24; },
                        kMay2024,
                        {warning("Error : Original bitmap file format support 1bits/pixel mode only."),
                         warning("Error : Can not compress this data.")}},
        SaveFailureCase{"abnormalDate", [](MapProject&, const std::filesystem::path&) {}, 870000000,
                        {warning("Error : The date of this system is abnormal.")}},
        SaveFailureCase{"tooManyRecords",
                        [](MapProject& p, const std::filesystem::path&) {
                            // 2 x 160 tiles of 80 x 1 pixels: a grid the pass can cut, over the record limit.
                            p.classes[0].recordRows = 160;
                            p.classes[0].recordColumns = 2;
                        },
                        kMay2024, {warning("Error : [Record number]>=254")}},
        // Class 1 as a failed record division leaves it, in the mode that failed.
        SaveFailureCase{"classOneNotDivided",
                        [](MapProject& p, const std::filesystem::path&) {
                            p.classes[0].width = p.classes[0].height = 0;
                            p.classes[0].pixelDataOffset = 0;
                            p.colourMode = ColourMode::Bpp8;
                        },
                        kMay2024, {cannotDivideMessage()}},
        SaveFailureCase{"stalePreviousTemporaries",
                        [](MapProject&, const std::filesystem::path& d) {
                            test::writeFile(d / kDatabaseRasterName, {1});
                            std::filesystem::remove(d / "class1.bmp");
                        },
                        kMay2024,
                        {warning("Error : Cannot open bmp-file."), warning("Error : Can not compress this data.")}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Where the output goes ----------------------------------------------

class DatabaseWriterOutput : public DatabaseWriterTest, public ::testing::WithParamInterface<test::OutputCase> {};

TEST_P(DatabaseWriterOutput, WritesThroughLinksAndRefusesWhatIsNoFileOrAnInput) {
    const test::OutputCase& c = GetParam();
    chooseClass(0, 160, 160, mapPattern);
    const auto input = dir / "class1.bmp";
    const auto out = c.arrange(dir.path(), input);
    if (out.empty()) GTEST_SKIP() << "this system cannot make the file of this case";
    auto expected = test::folderSnapshot(dir.path());

    const test::ScopedDeadline deadline(20);
    const int rc = write(out);
    auto after = test::folderSnapshot(dir.path());
    after.erase(kCompressionFileName);
    if (c.refusal) {
        EXPECT_EQ(rc, 1);
        EXPECT_EQ(feedback.messages, std::vector<Message>{warning("Error : Cannot make pdb-file.", Icon::Exclamation)});
        ASSERT_EQ(feedback.problems.size(), 1u);
        EXPECT_EQ(feedback.problems[0].kind, *c.refusal);
        EXPECT_EQ(feedback.problems[0].path, out);
        if (c.refusal == FileProblem::Kind::SameAsInput) {
            EXPECT_EQ(feedback.problems[0].input, input);
        }
    } else {
        EXPECT_EQ(rc, 0) << ::testing::PrintToString(feedback.messages);
        const Bytes database = expectedSingleTileDatabase(stampOf(kMay2024), 0, false, "Pw3xQ9aZ");
        expected[c.written] = test::snapshotOf(database);
    }
    // Links stay links, and nothing else in the folder changes.
    EXPECT_EQ(after, expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, DatabaseWriterOutput, ::testing::ValuesIn(test::outputCases()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace plotvane
