#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "raster/record_division.h"
#include "support/bmp_writer.h"
#include "support/recording_feedback.h"
#include "support/temp_dir.h"

namespace plotvane {
namespace {

using test::RecordingFeedback;

const std::string kOriginalModeNoCompress = "Original Mode Data do not compress.\nMake Non compression data.";
const std::string kCannotDivide =
    "Cannot divide this bmp-data to records.\nPlease change the data can divide by 2 or 4 or 8...";
const std::string kOverflowRisk = "At Compression Mode,\n There is a Data Overflow Risk.(Over 64KBytes)";
const std::string kNotAMultiple = "Error : Please check [Upper class bmp] = [this class bmp] x2 or x4 or x8";
const std::string kMagnificationDiffers = "Error : The magnification is different between Width and Height";
const std::string kUpperNotDivisible =
    "Error : Please check Uppe class data.\nIf [this class]/[upper class]=N,\n then [upper class] can just divide "
    "by N.";
const std::string kCannotCalcRecords = "Error : Cannot calc record number";

constexpr std::uint32_t kOffset = 62;

void setClass(MapProject& project, int k, std::uint16_t width, std::uint16_t height,
              std::uint16_t magnification = 1) {
    MapClassEntry& entry = project.classes[static_cast<std::size_t>(k)];
    entry.width = width;
    entry.height = height;
    entry.magnification = magnification;
    entry.pixelDataOffset = kOffset;
    entry.fileName.assign("class.bmp");
}

std::string grid(const MapClassEntry& entry) {
    return std::to_string(entry.recordColumns) + "x" + std::to_string(entry.recordRows);
}

// --- Class 1 ---------------------------------------------------------------

struct TopCase {
    std::uint16_t width;
    std::uint16_t height;
    std::uint8_t mode;
    std::string expectedGrid;
};

void PrintTo(const TopCase& c, std::ostream* os) {
    *os << c.width << "x" << c.height << " mode " << int{c.mode};
}

class RecordDivisionTopClass : public ::testing::TestWithParam<TopCase> {};

TEST_P(RecordDivisionTopClass, DividesWithoutMessages) {
    const TopCase c = GetParam();
    MapProject project;
    setClass(project, 0, c.width, c.height);
    project.classes[0].recordColumns = 99;
    project.classes[0].recordRows = 99;
    RecordingFeedback feedback;
    ControlUpdates updates;

    ASSERT_EQ(divideRecords(project, 0, colourModeOfByte(c.mode), false, feedback, updates), DivisionResult::Divided);

    EXPECT_EQ(grid(project.classes[0]), c.expectedGrid);
    EXPECT_TRUE(feedback.messages.empty());
    EXPECT_TRUE(updates.useRecChanged[0]);
    EXPECT_FALSE(updates.useRecChanged[1]);
    EXPECT_FALSE(updates.uncheckCompress);
    EXPECT_EQ(project.classes[0].width, c.width);
    EXPECT_EQ(project.classes[0].height, c.height);
    EXPECT_EQ(project.classes[0].pixelDataOffset, kOffset);
}

INSTANTIATE_TEST_SUITE_P(
    RecordDivisionGrids, RecordDivisionTopClass,
    ::testing::Values(TopCase{800, 640, 8, "5x2"},     // width by 5, then height halved
                      TopCase{800, 640, 1, "1x1"},     // exactly the limit
                      TopCase{800, 640, 0, "1x1"},     // Original mode shares the 1-bit limit
                      TopCase{161, 4096, 8, "1x16"},   // width never divides, height halves four times
                      TopCase{4096, 160, 8, "16x1"},   // the mirror: every height step fails
                      TopCase{4096, 4096, 1, "8x8"},
                      TopCase{4096, 4096, 0, "8x8"},
                      TopCase{4096, 4096, 2, "16x8"},  // stops after a width step
                      TopCase{4096, 4096, 4, "16x16"},
                      TopCase{161, 161, 8, "1x1"},
                      TopCase{160, 400, 8, "1x1"},     // A == P
                      TopCase{1000, 1000, 8, "5x5"},   // 200-pixel records
                      TopCase{750, 480, 8, "3x3"},     // thirds at the 250 and 160 edges
                      TopCase{753, 160, 8, "3x1"},     // 251 is beyond 250, odd: thirds only as last resort
                      TopCase{1920, 160, 8, "10x1"},   // halving goes before thirds, then fifths
                      TopCase{2001, 320, 1, "3x1"},    // odd, a third above 250
                      TopCase{2500, 2500, 8, "10x10"}, // halve to 1250, then fifths of 250
                      TopCase{4000, 3000, 8, "20x12"},
                      TopCase{512, 512, 4, "2x2"}));

struct TopFailure {
    std::uint16_t width;
    std::uint16_t height;
    std::uint8_t mode;
    std::string gridLeftBehind;
};

void PrintTo(const TopFailure& c, std::ostream* os) {
    *os << c.width << "x" << c.height << " mode " << int{c.mode};
}

class RecordDivisionTopFailure : public ::testing::TestWithParam<TopFailure> {};

TEST_P(RecordDivisionTopFailure, RefusesAndClearsGeometry) {
    const TopFailure c = GetParam();
    MapProject project;
    setClass(project, 0, c.width, c.height);
    project.classes[0].invertedPolarity = 1;
    RecordingFeedback feedback;
    ControlUpdates updates;

    EXPECT_EQ(divideRecords(project, 0, colourModeOfByte(c.mode), false, feedback, updates), DivisionResult::CannotDivide);

    ASSERT_EQ(feedback.messages.size(), 1u);
    EXPECT_EQ(feedback.messages[0], warning(kCannotDivide, Icon::Information));
    const MapClassEntry& top = project.classes[0];
    EXPECT_EQ(top.width, 0);
    EXPECT_EQ(top.height, 0);
    EXPECT_EQ(top.pixelDataOffset, 0u);
    EXPECT_EQ(top.magnification, 1);
    EXPECT_EQ(grid(top), c.gridLeftBehind);
    EXPECT_EQ(top.fileName.str(), "class.bmp");
    EXPECT_EQ(top.invertedPolarity, 1);
    EXPECT_FALSE(updates.useRecChanged[0]);
}

INSTANTIATE_TEST_SUITE_P(RecordDivisionFailures, RecordDivisionTopFailure,
                         ::testing::Values(TopFailure{4096, 4096, 8, "16x16"},  // 256 x 256 is still too big
                                           TopFailure{167, 4093, 8, "1x1"},     // no usable divisor at all
                                           TopFailure{2001, 160, 8, "3x1"},     // 667 and 160 stop it
                                           TopFailure{512, 512, 8, "2x2"}));

// --- Compression flag and warnings -----------------------------------------

struct CompressCase {
    std::uint16_t width;
    std::uint16_t height;
    std::uint8_t mode;
    bool checked;
    std::vector<std::string> expectedTexts;
    std::uint8_t expectedFlag;
    bool expectedUncheck;
};

void PrintTo(const CompressCase& c, std::ostream* os) {
    *os << c.width << "x" << c.height << " mode " << int{c.mode} << (c.checked ? " checked" : " unchecked");
}

class RecordDivisionCompress : public ::testing::TestWithParam<CompressCase> {};

TEST_P(RecordDivisionCompress, ShowsOnlyTheAdviceDue) {
    const CompressCase c = GetParam();
    MapProject project;
    setClass(project, 0, c.width, c.height);
    project.compressFlag = c.checked ? 0 : 1;  // the box, not the old flag, decides
    RecordingFeedback feedback;
    ControlUpdates updates;

    EXPECT_EQ(divideRecords(project, 0, colourModeOfByte(c.mode), c.checked, feedback, updates), DivisionResult::Divided);

    EXPECT_EQ(feedback.texts(), c.expectedTexts);
    for (const Message& m : feedback.messages) {
        EXPECT_EQ(m.title, "Warning");
        EXPECT_EQ(m.icon, Icon::Information);
    }
    EXPECT_EQ(project.compressFlag, c.expectedFlag);
    EXPECT_EQ(updates.uncheckCompress, c.expectedUncheck);
    EXPECT_TRUE(updates.useRecChanged[0]);
}

INSTANTIATE_TEST_SUITE_P(
    RecordDivisionThresholds, RecordDivisionCompress,
    ::testing::Values(
        CompressCase{800, 640, 8, true, {kOverflowRisk}, 1, false},   // records of 51200 > 32000
        CompressCase{1000, 1000, 8, true, {kOverflowRisk}, 1, false}, // 40000 > 32000
        CompressCase{800, 200, 8, true, {}, 1, false},                // exactly P / 2
        CompressCase{1920, 160, 8, true, {}, 1, false},               // 30720 < 32000
        CompressCase{160, 400, 8, true, {}, 1, false},                // not divided at all (A == P)
        CompressCase{800, 640, 1, true, {}, 1, false},                // not divided at all
        CompressCase{4096, 4096, 2, true, {kOverflowRisk}, 1, false}, // 131072 > 128000
        CompressCase{4096, 4096, 4, true, {kOverflowRisk}, 1, false}, // 65536 > 64000
        CompressCase{4096, 4096, 1, true, {kOverflowRisk}, 1, false}, // 262144 > 256000
        CompressCase{2001, 320, 1, true, {}, 1, false},               // 213440 < 256000
        CompressCase{800, 640, 8, false, {}, 0, false},               // box unchecked
        CompressCase{4096, 4096, 0, true, {kOriginalModeNoCompress}, 0, true},
        CompressCase{160, 160, 0, true, {kOriginalModeNoCompress}, 0, true},
        CompressCase{4096, 4096, 0, false, {}, 0, false}));

TEST(RecordDivisionCompress, FailureShowsNoOverflowAdvice) {
    MapProject project;
    setClass(project, 0, 4096, 4096);
    RecordingFeedback feedback;
    ControlUpdates updates;
    EXPECT_EQ(divideRecords(project, 0, ColourMode::Bpp8, true, feedback, updates), DivisionResult::CannotDivide);
    EXPECT_EQ(feedback.texts(), std::vector<std::string>{kCannotDivide});
    EXPECT_EQ(project.compressFlag, 1);
}

// --- Classes 2 to 4 --------------------------------------------------------

// Expected refinement factor by band of A against P: A < P, P <= A < 4P,
// 4P <= A < 16P, A >= 16P.
struct FactorRow {
    std::uint16_t magnification;
    std::array<int, 4> factorByBand;
};

constexpr FactorRow kFactorTable[] = {
    {8, {1, 2, 4, 8}}, {4, {1, 2, 4, 4}}, {2, {1, 2, 2, 2}}, {1, {1, 1, 1, 1}}, {3, {1, 1, 1, 1}}, {16, {1, 1, 1, 1}},
};

// Sizes whose area is exactly P, 4P and 16P of each mode; one row less is
// just below the boundary.
struct ModeSizes {
    std::uint8_t mode;
    std::array<std::array<std::uint16_t, 2>, 3> sizes;
};

constexpr ModeSizes kModeSizes[] = {
    {0, {{{800, 640}, {1600, 1280}, {3200, 2560}}}},
    {1, {{{800, 640}, {1600, 1280}, {3200, 2560}}}},
    {2, {{{640, 400}, {1280, 800}, {2560, 1600}}}},
    {4, {{{400, 320}, {800, 640}, {1600, 1280}}}},
    {8, {{{320, 200}, {640, 400}, {1280, 800}}}},
};

TEST(RecordDivisionLowerClass, FactorAtEveryBandBoundary) {
    for (const ModeSizes& ms : kModeSizes) {
        for (const FactorRow& row : kFactorTable) {
            for (int boundary = 0; boundary < 3; ++boundary) {
                const auto [w, h] = ms.sizes[static_cast<std::size_t>(boundary)];
                for (int below = 0; below < 2; ++below) {
                    const std::uint16_t height = static_cast<std::uint16_t>(h - below);
                    const int band = boundary + 1 - below;
                    const int f = row.factorByBand[static_cast<std::size_t>(band)];
                    MapProject project;
                    setClass(project, 0, 160, 160);
                    project.classes[0].recordColumns = 2;
                    project.classes[0].recordRows = 3;
                    setClass(project, 1, w, height, row.magnification);
                    RecordingFeedback feedback;
                    ControlUpdates updates;
                    SCOPED_TRACE("mode " + std::to_string(ms.mode) + " M " + std::to_string(row.magnification) +
                                 " size " + std::to_string(w) + "x" + std::to_string(height));

                    ASSERT_EQ(divideRecords(project, 1, colourModeOfByte(ms.mode), ms.mode != 0, feedback, updates), DivisionResult::Divided);
                    EXPECT_EQ(project.classes[1].recordColumns, 2 * f);
                    EXPECT_EQ(project.classes[1].recordRows, 3 * f);
                    EXPECT_TRUE(feedback.messages.empty());
                    EXPECT_TRUE(updates.useRecChanged[1]);
                    EXPECT_FALSE(updates.useRecChanged[0]);
                    EXPECT_EQ(grid(project.classes[0]), "2x3");
                }
            }
        }
    }
}

TEST(RecordDivisionIndex, RefusesAnIndexOutsideTheRows) {
    MapProject project;
    setClass(project, 0, 4096, 4096);
    RecordingFeedback feedback;
    ControlUpdates updates;
    EXPECT_EQ(divideRecords(project, 4, ColourMode::Bpp8, true, feedback, updates), DivisionResult::NoSuchClass);
    EXPECT_EQ(divideRecords(project, -1, ColourMode::Bpp8, true, feedback, updates), DivisionResult::NoSuchClass);
    EXPECT_EQ(checkHierarchy(project, 0, feedback), HierarchyResult::NoSuchClass);
    EXPECT_EQ(checkClassBitmap(project, "unread.bmp", 4, true, feedback, updates), ClassBitmapResult::NoSuchClass);
    // Nothing loaded: nothing to divide.
    EXPECT_TRUE(recomputeRecordDivisions(project, ColourMode::Bpp8, true, feedback, updates));
    redivideAfterCompressToggle(project, true, feedback, updates);
    EXPECT_TRUE(feedback.messages.empty());
    EXPECT_EQ(project.compressFlag, 0);
    EXPECT_EQ(project.classes[0].width, 4096);
}

// --- Hierarchy check -------------------------------------------------------

struct HierarchyCase {
    std::uint16_t upperWidth;
    std::uint16_t upperHeight;
    std::uint16_t width;
    std::uint16_t height;
    std::string expectedText;  // empty: the class fits
    std::uint16_t expectedMagnification;
};

void PrintTo(const HierarchyCase& c, std::ostream* os) {
    *os << c.width << "x" << c.height << " under " << c.upperWidth << "x" << c.upperHeight;
}

class HierarchyCheck : public ::testing::TestWithParam<HierarchyCase> {};

TEST_P(HierarchyCheck, AcceptsOrRefusesWithOneMessage) {
    const HierarchyCase c = GetParam();
    MapProject project;
    setClass(project, 0, 800, 800);
    setClass(project, 1, c.upperWidth, c.upperHeight, 2);
    setClass(project, 2, c.width, c.height, 4);  // a stale factor from an earlier file
    project.classes[2].recordColumns = 7;
    RecordingFeedback feedback;

    const HierarchyResult result = checkHierarchy(project, 2, feedback);

    const MapClassEntry& entry = project.classes[2];
    EXPECT_EQ(entry.magnification, c.expectedMagnification);
    EXPECT_EQ(entry.recordColumns, 7);
    EXPECT_EQ(project.classes[1].width, c.upperWidth);
    EXPECT_EQ(project.classes[1].magnification, 2);
    if (c.expectedText.empty()) {
        EXPECT_EQ(result, HierarchyResult::Fits);
        EXPECT_TRUE(feedback.messages.empty());
        EXPECT_EQ(entry.width, c.width);
        EXPECT_EQ(entry.height, c.height);
        EXPECT_EQ(entry.pixelDataOffset, kOffset);
        return;
    }
    EXPECT_EQ(result, HierarchyResult::NotInHierarchy);
    ASSERT_EQ(feedback.messages.size(), 1u);
    EXPECT_EQ(feedback.messages[0], warning(c.expectedText, Icon::Information));
    EXPECT_EQ(entry.width, 0);
    EXPECT_EQ(entry.height, 0);
    EXPECT_EQ(entry.pixelDataOffset, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    HierarchyRatios, HierarchyCheck,
    ::testing::Values(HierarchyCase{160, 160, 320, 320, "", 2}, HierarchyCase{160, 160, 640, 640, "", 4},
                      HierarchyCase{160, 160, 1280, 1280, "", 8}, HierarchyCase{512, 512, 4096, 4096, "", 8},
                      HierarchyCase{200, 160, 800, 640, "", 4},
                      HierarchyCase{160, 160, 321, 320, kNotAMultiple, 1},  // 321 / 160 is 2, 321 is odd
                      HierarchyCase{160, 160, 320, 480, kMagnificationDiffers, 1},
                      HierarchyCase{160, 160, 640, 320, kMagnificationDiffers, 1},
                      HierarchyCase{200, 160, 400, 480, kMagnificationDiffers, 1},
                      HierarchyCase{160, 160, 480, 480, kNotAMultiple, 1},    // x3
                      HierarchyCase{160, 160, 2560, 2560, kNotAMultiple, 1},  // x16
                      HierarchyCase{160, 160, 319, 320, kNotAMultiple, 1},    // x1
                      HierarchyCase{160, 160, 960, 960, kNotAMultiple, 1},    // x6
                      HierarchyCase{160, 160, 320, 321, kNotAMultiple, 1},    // height not even
                      HierarchyCase{161, 161, 322, 322, kUpperNotDivisible, 1},
                      HierarchyCase{160, 161, 320, 322, kUpperNotDivisible, 1},
                      HierarchyCase{162, 162, 648, 648, kUpperNotDivisible, 1},
                      HierarchyCase{164, 164, 656, 656, "", 4},
                      HierarchyCase{0, 0, 320, 320, kNotAMultiple, 1}));  // upper class was cleared

// --- All classes -----------------------------------------------------------

MapProject threeClasses() {
    MapProject project;
    setClass(project, 0, 800, 640);
    setClass(project, 1, 1600, 1280, 2);
    setClass(project, 2, 3200, 2560, 2);
    project.classCount = 3;
    return project;
}

TEST(RecordDivisionAll, RecomputesEveryClassInTheRequestedMode) {
    struct Row {
        std::uint8_t mode;
        std::vector<std::string> grids;
    };
    const Row rows[] = {{8, {"5x2", "10x4", "20x8"}},
                        {1, {"1x1", "2x2", "4x4"}},
                        {2, {"5x1", "10x2", "20x4"}},
                        {4, {"5x1", "10x2", "20x4"}}};
    for (const Row& row : rows) {
        SCOPED_TRACE("mode " + std::to_string(row.mode));
        MapProject project = threeClasses();
        project.colourMode = ColourMode::Original;
        RecordingFeedback feedback;
        ControlUpdates updates;
        EXPECT_TRUE(recomputeRecordDivisions(project, colourModeOfByte(row.mode), false, feedback, updates));
        EXPECT_EQ((std::vector<std::string>{grid(project.classes[0]), grid(project.classes[1]),
                                            grid(project.classes[2])}),
                  row.grids);
        EXPECT_TRUE(feedback.messages.empty());
        EXPECT_TRUE(updates.useRecChanged[0] && updates.useRecChanged[1] && updates.useRecChanged[2]);
        EXPECT_FALSE(updates.useRecChanged[3]);
        EXPECT_EQ(project.colourMode, ColourMode::Original);
    }
}

TEST(RecordDivisionAll, StopsAtTheFirstFailure) {
    MapProject project;
    setClass(project, 0, 512, 512);
    setClass(project, 1, 1024, 1024, 2);
    project.classes[1].recordColumns = 9;
    project.classCount = 2;
    RecordingFeedback feedback;
    ControlUpdates updates;

    EXPECT_FALSE(recomputeRecordDivisions(project, ColourMode::Bpp8, false, feedback, updates));

    ASSERT_EQ(feedback.messages.size(), 2u);
    EXPECT_EQ(feedback.messages[0], warning(kCannotDivide));
    EXPECT_EQ(feedback.messages[1], warning(kCannotCalcRecords, Icon::Information));
    EXPECT_EQ(project.classes[0].width, 0);
    EXPECT_EQ(project.classes[1].recordColumns, 9);
    EXPECT_FALSE(updates.useRecChanged[0]);
    EXPECT_FALSE(updates.useRecChanged[1]);
}

TEST(RecordDivisionAll, OriginalModeNoticeShownOnce) {
    MapProject project = threeClasses();
    RecordingFeedback feedback;
    ControlUpdates updates;
    EXPECT_TRUE(recomputeRecordDivisions(project, ColourMode::Original, true, feedback, updates));
    EXPECT_EQ(feedback.messages, std::vector<Message>{warning(kOriginalModeNoCompress)});
    EXPECT_TRUE(updates.uncheckCompress);
    EXPECT_EQ(project.compressFlag, 0);
    EXPECT_EQ(grid(project.classes[2]), "4x4");
}

TEST(RecordDivisionAll, OverflowAdviceOnlyForTheTopClass) {
    MapProject project = threeClasses();
    RecordingFeedback feedback;
    ControlUpdates updates;
    EXPECT_TRUE(recomputeRecordDivisions(project, ColourMode::Bpp8, true, feedback, updates));
    EXPECT_EQ(feedback.texts(), std::vector<std::string>{kOverflowRisk});
    EXPECT_EQ(project.compressFlag, 1);
    EXPECT_FALSE(updates.uncheckCompress);
}

TEST(RecordDivisionToggle, UsesTheCurrentModeAndGoesOnAfterAFailure) {
    MapProject project;
    setClass(project, 0, 512, 512);
    setClass(project, 1, 1024, 1024, 2);
    project.classCount = 2;
    project.colourMode = ColourMode::Bpp8;
    RecordingFeedback feedback;
    ControlUpdates updates;

    redivideAfterCompressToggle(project, false, feedback, updates);

    ASSERT_EQ(feedback.messages.size(), 2u);
    EXPECT_EQ(feedback.messages[0], warning(kCannotDivide, Icon::Information));
    EXPECT_EQ(feedback.messages[1], warning(kCannotCalcRecords, Icon::Exclamation));
    EXPECT_FALSE(updates.useRecChanged[0]);
    EXPECT_TRUE(updates.useRecChanged[1]);
    // Class 2 follows the grid Class 1 reached before it gave up.
    EXPECT_EQ(grid(project.classes[0]), "2x2");
    EXPECT_EQ(grid(project.classes[1]), "4x4");
}

TEST(RecordDivisionToggle, TurningCompressOnInOriginalModeIsUndone) {
    MapProject project = threeClasses();
    project.colourMode = ColourMode::Original;
    RecordingFeedback feedback;
    ControlUpdates updates;
    redivideAfterCompressToggle(project, true, feedback, updates);
    EXPECT_EQ(feedback.messages, std::vector<Message>{warning(kOriginalModeNoCompress)});
    EXPECT_TRUE(updates.uncheckCompress);
    EXPECT_EQ(project.compressFlag, 0);
    EXPECT_TRUE(updates.useRecChanged[2]);
}

TEST(RecordDivisionToggle, TurningCompressOnWarnsOfOverflowAndOff) {
    MapProject project = threeClasses();
    project.colourMode = ColourMode::Bpp8;
    RecordingFeedback feedback;
    ControlUpdates updates;
    redivideAfterCompressToggle(project, true, feedback, updates);
    EXPECT_EQ(feedback.texts(), std::vector<std::string>{kOverflowRisk});
    EXPECT_EQ(project.compressFlag, 1);

    RecordingFeedback off;
    redivideAfterCompressToggle(project, false, off, updates);
    EXPECT_TRUE(off.messages.empty());
    EXPECT_EQ(project.compressFlag, 0);
    EXPECT_EQ(grid(project.classes[2]), "20x8");
}

// --- Choosing a class bitmap -----------------------------------------------

class ClassBitmapCheck : public ::testing::Test {
protected:
    std::filesystem::path bitmap(const std::string& name, std::int32_t width, std::int32_t height) {
        test::BmpRecipe recipe;
        recipe.width = width;
        recipe.height = height;
        recipe.bitCount = 1;
        recipe.palette = test::blackWhitePalette();
        const std::filesystem::path path = dir / name;
        test::writeFile(path, test::makeBmp(recipe));
        return path;
    }

    // Class 1 of 160 x 160 already chosen.
    void chooseSmallTop() {
        ASSERT_EQ(checkClassBitmap(project, bitmap("top.bmp", 160, 160), 0, false, feedback, updates), ClassBitmapResult::Ok);
        project.classCount = 1;
        feedback.messages.clear();
        updates = {};
    }

    test::TempDir dir;
    MapProject project;
    RecordingFeedback feedback;
    ControlUpdates updates;
};

TEST_F(ClassBitmapCheck, TopClassIsDividedInTheCurrentMode) {
    const std::filesystem::path path = bitmap("top.bmp", 800, 640);
    const std::pair<std::uint8_t, std::string> rows[] = {{8, "5x2"}, {4, "5x1"}, {1, "1x1"}, {0, "1x1"}};
    for (const auto& [mode, expected] : rows) {
        SCOPED_TRACE("mode " + std::to_string(mode));
        MapProject fresh;
        fresh.colourMode = colourModeOfByte(mode);
        RecordingFeedback seen;
        ControlUpdates out;
        ASSERT_EQ(checkClassBitmap(fresh, path, 0, false, seen, out), ClassBitmapResult::Ok);
        EXPECT_TRUE(seen.messages.empty());
        EXPECT_EQ(grid(fresh.classes[0]), expected);
        EXPECT_EQ(fresh.classes[0].width, 800);
        EXPECT_EQ(fresh.classes[0].height, 640);
        EXPECT_EQ(fresh.classes[0].pixelDataOffset, 14u + 40u + 8u);
        EXPECT_TRUE(out.useRecChanged[0]);
    }
}

TEST_F(ClassBitmapCheck, LowerClassGetsItsMagnificationAndGrid) {
    project.colourMode = ColourMode::Bpp8;
    ASSERT_EQ(checkClassBitmap(project, bitmap("c1.bmp", 800, 640), 0, false, feedback, updates), ClassBitmapResult::Ok);
    ASSERT_EQ(checkClassBitmap(project, bitmap("c2.bmp", 1600, 1280), 1, false, feedback, updates), ClassBitmapResult::Ok);
    ASSERT_EQ(checkClassBitmap(project, bitmap("c3.bmp", 3200, 2560), 2, false, feedback, updates), ClassBitmapResult::Ok);
    EXPECT_TRUE(feedback.messages.empty());
    EXPECT_EQ(project.classes[1].magnification, 2);
    EXPECT_EQ(project.classes[2].magnification, 2);
    EXPECT_EQ(grid(project.classes[1]), "10x4");
    EXPECT_EQ(grid(project.classes[2]), "20x8");
}

TEST_F(ClassBitmapCheck, HeaderRefusalStopsBeforeTheOtherChecks) {
    project.colourMode = ColourMode::Original;
    project.compressFlag = 1;
    project.classes[0].recordColumns = 3;
    const ClassBitmapResult result = checkClassBitmap(project, dir / "missing.bmp", 0, true, feedback, updates);
    EXPECT_NE(result, ClassBitmapResult::Ok);
    ASSERT_EQ(feedback.messages.size(), 1u);
    EXPECT_EQ(feedback.messages[0], warning("Error : Cannot find bmp-file", Icon::Exclamation));
    EXPECT_EQ(project.classes[0].recordColumns, 3);
    EXPECT_EQ(project.compressFlag, 1);
    EXPECT_FALSE(updates.uncheckCompress);
    EXPECT_FALSE(updates.useRecChanged[0]);
}

TEST_F(ClassBitmapCheck, HierarchyRefusalClearsTheNewRowOnly) {
    chooseSmallTop();
    project.colourMode = ColourMode::Original;
    const ClassBitmapResult result = checkClassBitmap(project, bitmap("c2.bmp", 320, 480), 1, true, feedback, updates);
    EXPECT_EQ(result, ClassBitmapResult::NotInHierarchy);
    EXPECT_EQ(feedback.messages, std::vector<Message>{warning(kMagnificationDiffers)});
    EXPECT_EQ(project.classes[1].width, 0);
    EXPECT_EQ(project.classes[1].height, 0);
    EXPECT_EQ(project.classes[1].pixelDataOffset, 0u);
    EXPECT_EQ(project.classes[1].magnification, 1);
    EXPECT_EQ(project.classes[0].width, 160);
    EXPECT_FALSE(updates.uncheckCompress);
    EXPECT_FALSE(updates.useRecChanged[1]);
}

TEST_F(ClassBitmapCheck, TopClassThatCannotBeDivided) {
    project.colourMode = ColourMode::Bpp8;
    const ClassBitmapResult result = checkClassBitmap(project, bitmap("top.bmp", 167, 4093), 0, true, feedback, updates);
    EXPECT_EQ(result, ClassBitmapResult::CannotDivide);
    EXPECT_EQ(feedback.messages, std::vector<Message>{warning(kCannotDivide)});
    EXPECT_EQ(project.classes[0].width, 0);
    EXPECT_EQ(project.classes[0].pixelDataOffset, 0u);
    EXPECT_FALSE(updates.useRecChanged[0]);
}

TEST_F(ClassBitmapCheck, CompressionAdviceFollowsTheBox) {
    project.colourMode = ColourMode::Bpp8;
    ASSERT_EQ(checkClassBitmap(project, bitmap("top.bmp", 800, 640), 0, true, feedback, updates), ClassBitmapResult::Ok);
    EXPECT_EQ(feedback.messages, std::vector<Message>{warning(kOverflowRisk)});
    EXPECT_EQ(project.compressFlag, 1);

    MapProject original;
    RecordingFeedback notice;
    ControlUpdates out;
    ASSERT_EQ(checkClassBitmap(original, dir / "top.bmp", 0, true, notice, out), ClassBitmapResult::Ok);
    EXPECT_EQ(notice.messages, std::vector<Message>{warning(kOriginalModeNoCompress)});
    EXPECT_TRUE(out.uncheckCompress);
    EXPECT_EQ(original.compressFlag, 0);
}

}  // namespace
}  // namespace plotvane
