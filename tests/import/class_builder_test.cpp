#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "import/class_builder.h"
#include "import/class_plan.h"
#include "project/byte_order.h"
#include "project/control_updates.h"
#include "project/files.h"
#include "raster/record_division.h"
#include "support/bmp_writer.h"
#include "support/class_reference.h"
#include "support/recording_feedback.h"
#include "support/temp_dir.h"

namespace plotvane::import {
namespace {

using test::RgbPicture;

// ---- Sizes ----------------------------------------------------------------

struct PlanCase {
    const char* name;
    std::uint32_t width, height;
    int classes;
    std::array<int, 3> magnifications;
    std::uint8_t mode;
    std::uint32_t reduction, topWidth, topHeight, addedRight, addedBottom, totalRecords;
};

// Each row worked out by hand from the rules: the smallest reduction, then
// the smallest Class 1 that the chain of magnifications divides and that
// divides into records in the mode.
const PlanCase kPlans[] = {
    // 751 is odd and 751 x 526 does not divide in 4BPP: 752 x 526 does.
    {"hand_scaled_scan", 3001, 2101, 3, {2, 2, 2}, 4, 1, 752, 526, 7, 3, 4 + 16 + 64},
    {"hand_scaled_scan_8bpp", 3001, 2101, 3, {2, 2, 2}, 8, 1, 752, 526, 7, 3, 8 + 32 + 128},
    // Four classes of 512 .. 4096 from 16384: one record for Class 1 in 1BPP.
    {"large_master", 16384, 16384, 4, {2, 2, 2}, 1, 4, 512, 512, 0, 0, 1 + 4 + 16 + 64},
    // Smaller than Class 1 may be: padded up to 160, never enlarged.
    {"tiny_master", 100, 50, 1, {2, 2, 2}, 8, 1, 160, 160, 60, 110, 1},
    // Over 4096 wide: halved, and the odd half width kept (one class needs no chain).
    {"wider_than_4096", 4097, 100, 1, {2, 2, 2}, 1, 2, 2049, 160, 1, 220, 1},
    // x2 then x4: Class 2 = 2 x Class 1 must divide by 4, so Class 1 is even.
    {"mixed_chain", 1601, 1203, 3, {2, 4, 2}, 8, 1, 202, 160, 15, 77, 1 + 4 + 64},
};

class PlanTable : public ::testing::TestWithParam<PlanCase> {};

TEST_P(PlanTable, ChoosesTheSmallestReductionThenTheFewestAddedPixels) {
    const PlanCase& c = GetParam();
    ClassRequest request;
    request.classCount = c.classes;
    request.magnifications = c.magnifications;
    request.mode = colourModeOfByte(c.mode);
    const PlanOutcome outcome = planClasses(c.width, c.height, request);
    ASSERT_TRUE(outcome.plan) << outcome.refusal;
    const ClassPlan& plan = *outcome.plan;
    EXPECT_EQ(plan.reduction, c.reduction);
    EXPECT_EQ(plan.widths[0], c.topWidth);
    EXPECT_EQ(plan.heights[0], c.topHeight);
    EXPECT_EQ(plan.addedRight(), c.addedRight);
    EXPECT_EQ(plan.addedBottom(), c.addedBottom);
    EXPECT_EQ(plan.totalRecords, c.totalRecords);
}

INSTANTIATE_TEST_SUITE_P(Sizes, PlanTable, ::testing::ValuesIn(kPlans),
                         [](const auto& info) { return std::string(info.param.name); });

struct RefusalCase {
    const char* name;
    std::uint32_t width, height;
    int classes;
    std::array<int, 3> magnifications;
    std::uint8_t mode;
    bool textRecord;
    const char* message;
};

const RefusalCase kRefusals[] = {
    {"record_limit", 16384, 16384, 4, {2, 2, 2}, 8, false,
     "Error : 4 classes of 410 x 410 to 3280 x 3280 pixels need 340 records in 8BPP mode (4 + 16 + 64 + 256); a map "
     "holds at most 253.\n4 classes would fit in 1BPP or 2BPP mode."},
    {"magnifications_too_large", 1000, 1000, 3, {8, 8, 2}, 8, false,
     "Error : No class sizes fit 3 classes magnified x8 and x8: Class 3 would be 64 times as wide as Class 1, and "
     "every class must be 160 to 4096 pixels a side.\n2 classes would fit in 8BPP mode."},
    // Three classes (x2, x8) need 1 + 4 + 256 records; two of 500 x 500
    // and 1000 x 1000 need 4 + 16, with the text record 21.
    {"chain_too_long", 1000, 1000, 4, {2, 8, 8}, 8, true,
     "Error : No class sizes fit 4 classes magnified x2, x8 and x8: Class 4 would be 128 times as wide as Class 1, "
     "and every class must be 160 to 4096 pixels a side.\n2 classes would fit in 8BPP mode."},
};

class RefusalTable : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(RefusalTable, SaysWhyWithTheCountsAndWhatWouldFit) {
    const RefusalCase& c = GetParam();
    ClassRequest request;
    request.classCount = c.classes;
    request.magnifications = c.magnifications;
    request.mode = colourModeOfByte(c.mode);
    request.textRecord = c.textRecord;
    const PlanOutcome outcome = planClasses(c.width, c.height, request);
    EXPECT_FALSE(outcome.plan);
    EXPECT_EQ(outcome.refusal, c.message);
}

INSTANTIATE_TEST_SUITE_P(Sizes, RefusalTable, ::testing::ValuesIn(kRefusals),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Pixels ---------------------------------------------------------------

RgbPicture picturePixels(const test::BmpRecipe& recipe) {
    RgbPicture picture;
    picture.width = static_cast<std::uint32_t>(recipe.width);
    picture.height = static_cast<std::uint32_t>(recipe.height);
    for (int y = 0; y < recipe.height; ++y) {
        for (int x = 0; x < recipe.width; ++x) {
            const std::uint32_t v = recipe.pixel(x, y);
            picture.pixels.push_back(recipe.bitCount == 24 ? Rgb{static_cast<std::uint8_t>(v >> 16),
                                                                 static_cast<std::uint8_t>(v >> 8),
                                                                 static_cast<std::uint8_t>(v)}
                                                           : recipe.palette[v]);
        }
    }
    return picture;
}

// Thin lines over a mottled ground: the case averaging in stored values
// gets wrong.
std::uint32_t mottled(int x, int y) {
    if (x % 7 == 3 || y % 11 == 5) return 0xFFFFFF;
    return (static_cast<std::uint32_t>(x * 31 + y * 17 + (x * y) % 13) * 2654435761u) & 0xFFFFFFu;
}

struct MasterCase {
    const char* name;
    std::uint16_t bitCount;
    std::int32_t width, height;
    int classes;
    std::array<int, 3> magnifications;
    std::uint8_t mode;
    std::uint16_t classBits;
};

test::BmpRecipe masterRecipe(const MasterCase& c) {
    test::BmpRecipe recipe;
    recipe.width = c.width;
    recipe.height = c.height;
    recipe.bitCount = c.bitCount;
    switch (c.bitCount) {
        case 1:
            recipe.palette = c.mode == 0 ? test::whiteBlackPalette() : test::blackWhitePalette();
            recipe.pixel = [](int x, int y) { return static_cast<std::uint32_t>((x / 3 + y) % 3 == 0 || x % 5 == 0); };
            break;
        case 4:
            recipe.palette = {{0, 0, 0}, {255, 0, 0}, {0, 128, 0}, {30, 60, 200}, {255, 255, 255}, {250, 240, 10}};
            recipe.pixel = [](int x, int y) { return static_cast<std::uint32_t>(mottled(x, y) % 6); };
            break;
        case 8:
            recipe.palette = test::greyPalette();
            recipe.pixel = [](int x, int y) { return mottled(x, y) & 0xFF; };
            break;
        default:
            recipe.pixel = mottled;
    }
    return recipe;
}

const MasterCase kMasters[] = {
    {"colour_two_classes", 24, 333, 171, 2, {2, 2, 2}, 8, 24},
    {"colour_x8", 24, 161, 163, 2, {8, 2, 2}, 1, 24},
    {"palette_x4_x2", 4, 250, 190, 3, {4, 2, 2}, 1, 24},
    {"grey_x2_x4", 8, 401, 263, 3, {2, 4, 2}, 8, 8},
    {"one_bit_black_first", 1, 517, 333, 3, {2, 2, 2}, 1, 1},
    {"one_bit_white_first_original", 1, 350, 351, 2, {2, 2, 2}, 0, 1},
    {"grey_wider_than_4096", 8, 4100, 170, 1, {2, 2, 2}, 1, 8},
    {"colour_four_classes", 24, 1283, 1279, 4, {2, 2, 2}, 1, 24},
};

class MasterTable : public ::testing::TestWithParam<MasterCase> {};

TEST_P(MasterTable, EveryClassIsTheLinearBoxAverageAndPassesTheClassChecks) {
    const MasterCase& c = GetParam();
    test::TempDir dir;
    const test::BmpRecipe recipe = masterRecipe(c);
    test::writeFile(dir / "master.bmp", test::makeBmp(recipe));
    ClassRequest request;
    request.classCount = c.classes;
    request.magnifications = c.magnifications;
    request.mode = colourModeOfByte(c.mode);
    test::RecordingFeedback feedback;
    ClassPicturesMade made;
    ASSERT_EQ(makeClassPictures(dir / "master.bmp", dir.path(), request, feedback, {}, made), BuildResult::Built) << feedback.texts().at(0);
    const ClassPlan& plan = made.plan;

    const RgbPicture master = picturePixels(recipe);
    std::optional<test::TwoColours> two;
    if (c.bitCount == 1) {
        const bool whiteFirst = recipe.palette[0] == Rgb{255, 255, 255};
        two = test::TwoColours{recipe.palette[whiteFirst ? 1 : 0], recipe.palette[whiteFirst ? 0 : 1]};
    }
    MapProject project;
    project.colourMode = colourModeOfByte(c.mode);
    for (int k = 0; k < c.classes; ++k) {
        const auto bytes = test::readFile(classPicturePath(dir.path(), k));
        EXPECT_EQ(readLe16(&bytes[28]), c.classBits) << "class " << k + 1;
        const RgbPicture expected =
            test::referenceClass(master, plan.paddedWidth(), plan.paddedHeight(), plan.boxSide(k), two ? &*two : nullptr);
        const RgbPicture built = test::decodeBmp(bytes);
        ASSERT_EQ(built.width, expected.width);
        ASSERT_EQ(built.height, expected.height);
        EXPECT_TRUE(built.pixels == expected.pixels) << "class " << k + 1;
        ControlUpdates updates;
        EXPECT_EQ(checkClassBitmap(project, classPicturePath(dir.path(), k), k, false, feedback, updates), ClassBitmapResult::Ok)
            << "class " << k + 1;
        project.classCount = k + 1;
    }
    EXPECT_TRUE(feedback.messages.empty()) << feedback.texts().at(0);
}

INSTANTIATE_TEST_SUITE_P(Builder, MasterTable, ::testing::ValuesIn(kMasters),
                         [](const auto& info) { return std::string(info.param.name); });

// Black and white side by side average to half the light, which sRGB
// stores as 188, not the 128 of averaging the stored values.
TEST(ClassBuilder, AveragesLightNotStoredValues) {
    test::TempDir dir;
    test::BmpRecipe recipe;
    recipe.width = 320;
    recipe.height = 320;
    recipe.pixel = [](int x, int y) { return (x + y) % 2 == 0 ? 0xFFFFFFu : 0u; };
    test::writeFile(dir / "master.bmp", test::makeBmp(recipe));
    ClassRequest request;
    request.classCount = 2;
    test::RecordingFeedback feedback;
    ClassPicturesMade made;
    ASSERT_EQ(makeClassPictures(dir / "master.bmp", dir.path(), request, feedback, {}, made), BuildResult::Built);
    const RgbPicture top = test::decodeBmp(test::readFile(dir / "class1.bmp"));
    ASSERT_EQ(top.width, 160u);
    EXPECT_TRUE(std::all_of(top.pixels.begin(), top.pixels.end(), [](const Rgb& c) { return c == Rgb{188, 188, 188}; }));
}

// ---- Nothing left behind ------------------------------------------------------

std::vector<std::pair<std::string, std::vector<std::uint8_t>>> folderState(const std::filesystem::path& folder) {
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> state;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        state.emplace_back(entry.path().filename().string(), test::readFile(entry.path()));
    std::sort(state.begin(), state.end());
    return state;
}

class LeftAsItWas : public ::testing::Test {
protected:
    void SetUp() override {
        test::BmpRecipe recipe;
        recipe.width = 170;
        recipe.height = 165;
        recipe.pixel = mottled;
        test::writeFile(dir_ / "master.bmp", test::makeBmp(recipe));
        test::writeFile(dir_ / "class1.bmp", {'o', 'l', 'd'});
        test::writeFile(dir_ / "class2.bmp", {'o', 'l', 'd', '2'});
        before_ = folderState(dir_.path());
        request_.classCount = 1;
    }
    BuildResult build(const Progress& progress) {
        ClassPicturesMade made;
        return makeClassPictures(dir_ / "master.bmp", dir_.path(), request_, feedback_, progress, made);
    }

    test::TempDir dir_;
    ClassRequest request_;
    test::RecordingFeedback feedback_;
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> before_;
};

TEST_F(LeftAsItWas, WhenCancelledAtAnyStep) {
    std::vector<double> steps;
    ASSERT_EQ(build([&](double f) { steps.push_back(f); return true; }), BuildResult::Built);
    ASSERT_EQ(steps.size(), 165u);  // one per row of the master
    EXPECT_EQ(steps.back(), 1.0);
    const auto done = folderState(dir_.path());
    for (std::size_t stop = 0; stop < steps.size(); ++stop) {
        test::writeFile(dir_ / "class1.bmp", {'o', 'l', 'd'});
        std::size_t calls = 0;
        EXPECT_EQ(build([&](double) { return calls++ < stop; }), BuildResult::Cancelled);
        ASSERT_EQ(folderState(dir_.path()), before_) << "stopped at step " << stop;
    }
    EXPECT_TRUE(feedback_.messages.empty());
    EXPECT_EQ(done.size(), 3u);
    EXPECT_NE(done, before_);
}

TEST_F(LeftAsItWas, WhenAnyFileOperationFails) {
    for (FileOperation op : {FileOperation::Open, FileOperation::Write, FileOperation::Flush, FileOperation::Sync,
                             FileOperation::Rename}) {
        for (std::uint64_t nth = 1;; ++nth) {
            armFileFailure(op, nth);
            const BuildResult result = build({});
            const bool happened = armedFileFailureHappened();
            disarmFileFailure();
            if (happened) {
                EXPECT_EQ(result, BuildResult::Failed);
                ASSERT_EQ(folderState(dir_.path()), before_) << "operation " << static_cast<int>(op) << " #" << nth;
                ASSERT_EQ(feedback_.messages.back(), error("Cannot make bmp-file.", Icon::Exclamation));
            }
            test::writeFile(dir_ / "class1.bmp", {'o', 'l', 'd'});
            if (!happened) {
                ASSERT_EQ(result, BuildResult::Built);
                break;
            }
        }
    }
}

// ---- Refusals of the picture --------------------------------------------------

TEST(ClassBuilder, RefusesBeforeWritingAnything) {
    test::TempDir dir;
    test::BmpRecipe colour;
    colour.pixel = mottled;
    test::writeFile(dir / "colour.bmp", test::makeBmp(colour));
    test::writeFile(dir / "text.bmp", {'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c', 't', 'u', 'r', 'e'});
    test::BmpRecipe wide;
    wide.width = kMaxMasterSide + 1;
    wide.height = 1;
    wide.bitCount = 1;
    wide.palette = test::blackWhitePalette();
    test::writeFile(dir / "wide.bmp", test::makeBmp(wide));
    struct Case {
        const char* file;
        std::uint8_t mode;
        int classes;
        std::string firstLine;
    } cases[] = {
        {"colour.bmp", 0, 1,
         "Error : Original Mode takes 1-bit classes, and the picture " + (dir / "colour.bmp").string() +
             " gives 24-bit colour classes."},
        {"text.bmp", 8, 1, "Error : Cannot read the picture " + (dir / "text.bmp").string() + "."},
        {"missing.bmp", 8, 1, "Error : Cannot read the picture " + (dir / "missing.bmp").string() + "."},
        {"wide.bmp", 8, 1,
         "Error : The picture " + (dir / "wide.bmp").string() +
             " is 1048577 x 1 pixels; a master picture can have at most 1048576 pixels a side."},
    };
    for (const Case& c : cases) {
        test::TempDir out;
        ClassRequest request;
        request.mode = colourModeOfByte(c.mode);
        request.classCount = c.classes;
        test::RecordingFeedback feedback;
        ClassPicturesMade made;
        EXPECT_EQ(makeClassPictures(dir / c.file, out.path(), request, feedback, {}, made), BuildResult::Failed);
        ASSERT_EQ(feedback.messages.size(), 1u) << c.file;
        EXPECT_EQ(feedback.messages[0].title, "Warning");
        EXPECT_EQ(feedback.messages[0].text.substr(0, feedback.messages[0].text.find('\n')), c.firstLine);
        EXPECT_TRUE(std::filesystem::is_empty(out.path())) << c.file;
    }
}

}  // namespace
}  // namespace plotvane::import
