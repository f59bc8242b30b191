#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "raster/error_diffusion.h"
#include "support/recording_feedback.h"

namespace plotvane {
namespace {

using test::RecordingFeedback;

// Runs the whole-matrix diffusion over `values` (rows of equal length).
std::vector<std::vector<double>> diffuseWhole(const std::vector<std::vector<double>>& values, int bits) {
    RecordingFeedback feedback;
    const int rows = static_cast<int>(values.size());
    const int columns = static_cast<int>(values[0].size());
    dmatrix matrix;
    allocdmatrix(matrix, rows, columns, feedback);
    cleardmatrix(matrix, 0, 0, rows, columns, feedback);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) matrix.at(r, c) = values[r][c];
    dmatrix buffer;
    allocdmatrix(buffer, 2, columns + 10, feedback);
    dmatrix kernel;
    wrapDiffusionKernel(kernel);
    errorDiffusion(matrix, buffer, kernel, bits, feedback);
    EXPECT_TRUE(feedback.messages.empty());
    std::vector<std::vector<double>> out(values.size(), std::vector<double>(values[0].size()));
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) out[r][c] = matrix.at(r, c);
    return out;
}

std::vector<std::vector<double>> uniform(int rows, int columns, double value) {
    return std::vector<std::vector<double>>(rows, std::vector<double>(columns, value));
}

TEST(ErrorDiffusion, KernelHoldsTheFloydSteinbergWeights) {
    dmatrix kernel;
    wrapDiffusionKernel(kernel);
    EXPECT_EQ(kernel.at(0, 0), 0.0);
    EXPECT_EQ(kernel.at(0, 1), 0.0);
    EXPECT_EQ(kernel.at(0, 2), 7.0 / 16);
    EXPECT_EQ(kernel.at(1, 0), 3.0 / 16);
    EXPECT_EQ(kernel.at(1, 1), 5.0 / 16);
    EXPECT_EQ(kernel.at(1, 2), 1.0 / 16);
}

TEST(ErrorDiffusion, HandComputedTwoByTwoInFourLevels) {
    // (0,0): v 100, q = floor(3 x 155 / 255) = 1, out 170, e -70.
    // (0,1): v 100 - 70 x 7/16 = 69.375, q 2, out 85, e -15.625.
    // (1,0): v 100 - 70 x 5/16 - 15.625 x 3/16 = 75.1953125, out 85, e -9.8046875.
    // (1,1): v 100 - 70/16 - 15.625 x 5/16 - 9.8046875 x 7/16 = 86.45..., q 1, out 170.
    const auto out = diffuseWhole({{100, 100}, {100, 100}}, 2);
    EXPECT_EQ(out, (std::vector<std::vector<double>>{{170, 85}, {85, 170}}));
}

TEST(ErrorDiffusion, UniformMidGreyInOneBitMakesAPatternStartingWhite) {
    const auto out = diffuseWhole(uniform(12, 12, 128.0), 1);
    EXPECT_EQ(out[0][0], 255.0);
    int white = 0;
    for (const auto& row : out)
        for (double v : row) {
            ASSERT_TRUE(v == 0.0 || v == 255.0);
            white += v == 255.0;
        }
    EXPECT_GT(white, 144 / 3);
    EXPECT_LT(white, 2 * 144 / 3);
}

TEST(ErrorDiffusion, LevelsOfTheQuantizerStayPut) {
    struct Row {
        int bits;
        double level;
    };
    for (const Row row : {Row{1, 0}, Row{1, 255}, Row{2, 0}, Row{2, 85}, Row{2, 170}, Row{2, 255}, Row{4, 0},
                          Row{4, 17}, Row{4, 136}, Row{4, 255}}) {
        const auto out = diffuseWhole(uniform(5, 7, row.level), row.bits);
        EXPECT_EQ(out, uniform(5, 7, row.level)) << row.bits << " bits, level " << row.level;
    }
}

TEST(ErrorDiffusion, DitheredLevelTruncatesAndLimits) {
    EXPECT_EQ(ditheredLevel(-17.0), 0);
    EXPECT_EQ(ditheredLevel(0.0), 0);
    EXPECT_EQ(ditheredLevel(84.999), 84);
    EXPECT_EQ(ditheredLevel(255.0), 255);
    EXPECT_EQ(ditheredLevel(340.0), 255);
}

TEST(ErrorDiffusion, QuantizerTableAgreesWithTheFormulaAtEveryEdge) {
    std::mt19937_64 random(7);
    for (int bits = 1; bits <= 4; ++bits) {
        const DiffusionQuantizer& quantizer = DiffusionQuantizer::forBits(bits);
        const int n = quantizer.n();
        ASSERT_EQ(n, (1 << bits) - 1);
        auto check = [&](double v) {
            const int b = static_cast<int>(std::nearbyint(v));
            if (b < DiffusionQuantizer::kLowestBucket || b > DiffusionQuantizer::kHighestBucket) return;
            const auto& bucket = quantizer.buckets()[b - DiffusionQuantizer::kLowestBucket];
            const int below = v <= bucket.threshold;
            ASSERT_EQ(bucket.out[below], diffusionLevelOut(n, v)) << "n " << n << " v " << v;
            ASSERT_EQ(bucket.level[below], ditheredLevel(diffusionLevelOut(n, v)));
        };
        for (int b = DiffusionQuantizer::kLowestBucket; b <= DiffusionQuantizer::kHighestBucket; ++b) {
            const double t = quantizer.buckets()[b - DiffusionQuantizer::kLowestBucket].threshold;
            for (double v : {t, std::nextafter(t, 1e9), std::nextafter(t, -1e9), b - 0.5, b + 0.5,
                             std::nextafter(b - 0.5, 1e9), std::nextafter(b + 0.5, -1e9), double(b)})
                check(v);
        }
        for (int k = 0; k <= n + 1; ++k) {
            const double level = 255.0 - k * 255.0 / n;
            for (double v = level, i = 0; i < 40; ++i, v = std::nextafter(v, -1e9)) check(v);
            for (double v = level, i = 0; i < 40; ++i, v = std::nextafter(v, 1e9)) check(v);
        }
        std::uniform_real_distribution<double> any(-300.0, 300.0);
        for (int i = 0; i < 200000; ++i) check(any(random));
    }
}

struct StreamCase {
    int rows, columns, bits;
    double low, high;
};

class ErrorDiffusionStreaming : public ::testing::TestWithParam<StreamCase> {};

TEST_P(ErrorDiffusionStreaming, RowByRowEqualsTheWholeMatrix) {
    const StreamCase c = GetParam();
    std::mt19937 random(static_cast<unsigned>(c.rows * 1000 + c.columns * 10 + c.bits));
    std::uniform_int_distribution<int> sums(0, 25500);
    std::uniform_real_distribution<double> wide(c.low, c.high);
    std::vector<std::vector<double>> values(c.rows, std::vector<double>(c.columns));
    for (auto& row : values)
        for (double& v : row) v = c.low == 0.0 ? static_cast<double>(sums(random)) * 0.01 : wide(random);
    const auto whole = diffuseWhole(values, c.bits);

    // Rows arrive in uneven groups, so that groups of every size meet.
    RowDiffuser diffuser(c.columns, c.bits);
    std::vector<double> flat;
    for (const auto& row : values) flat.insert(flat.end(), row.begin(), row.end());
    std::vector<std::uint8_t> levels(flat.size());
    const int groups[] = {1, 4, 3, 9, 2, 5, 8};
    for (int r = 0, g = 0; r < c.rows; ++g) {
        const int count = std::min(groups[g % 7], c.rows - r);
        const std::size_t at = static_cast<std::size_t>(r) * static_cast<std::size_t>(c.columns);
        diffuser.diffuseRows(flat.data() + at, levels.data() + at, count);
        r += count;
    }
    for (int r = 0; r < c.rows; ++r)
        for (int j = 0; j < c.columns; ++j)
            ASSERT_EQ(levels[static_cast<std::size_t>(r) * c.columns + j], ditheredLevel(whole[r][j]))
                << "row " << r << " column " << j;
}

INSTANTIATE_TEST_SUITE_P(ErrorDiffusion, ErrorDiffusionStreaming,
                         ::testing::Values(StreamCase{40, 1, 1, 0, 255}, StreamCase{30, 2, 2, 0, 255},
                                           StreamCase{25, 3, 4, 0, 255}, StreamCase{60, 161, 1, 0, 255},
                                           StreamCase{60, 161, 2, 0, 255}, StreamCase{60, 161, 4, 0, 255},
                                           StreamCase{20, 333, 3, 0, 255}, StreamCase{33, 5, 4, 0, 255}, StreamCase{41, 7, 1, 0, 255},
                                           // Values past the quantizer table take the exact formula.
                                           StreamCase{30, 50, 1, -400, 700}, StreamCase{30, 50, 4, -400, 700}));

}  // namespace
}  // namespace plotvane
