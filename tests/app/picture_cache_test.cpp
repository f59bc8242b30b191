#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "app/picture_cache.h"
#include "support/bmp_writer.h"
#include "support/temp_dir.h"

namespace plotvane::test {
namespace {

constexpr int kWidth = 37;  // rows with padding at every depth
constexpr int kHeight = 23;

std::uint32_t packed(const Rgb& c) { return static_cast<std::uint32_t>(c[0]) << 16 | c[1] << 8 | c[2]; }

std::vector<Rgb> sixteenColours() {
    std::vector<Rgb> colours;
    for (int i = 0; i < 16; ++i)
        colours.push_back({static_cast<std::uint8_t>(i * 16), static_cast<std::uint8_t>(255 - i * 8),
                           static_cast<std::uint8_t>(i * 3)});
    return colours;
}

BmpRecipe recipe(std::uint16_t bits, bool topDown, unsigned seed) {
    BmpRecipe r;
    r.width = kWidth;
    r.height = topDown ? -kHeight : kHeight;
    r.bitCount = bits;
    if (bits == 1) r.palette = blackWhitePalette();
    if (bits == 4) r.palette = sixteenColours();
    if (bits == 8) r.palette = greyPalette();
    const std::uint32_t mask = bits == 24 ? 0xFFFFFFu : (1u << bits) - 1;
    r.pixel = [mask, seed](int x, int y) {
        return static_cast<std::uint32_t>(x * 0x10307 + y * 0x3050B + seed * 0x1F) & mask;
    };
    return r;
}

std::uint32_t expected(const BmpRecipe& r, int x, int y) {
    const std::uint32_t v = r.pixel(x, y);
    return r.bitCount == 24 ? v : packed(r.palette[v]);
}

// Rows first..end-1 cut to the picture hold the recipe's colours.
void expectRows(const app::BmpPicture& picture, const BmpRecipe& r, std::int64_t first, std::int64_t end) {
    for (std::int64_t y = std::max<std::int64_t>(first, 0); y < std::min<std::int64_t>(end, kHeight); ++y)
        for (int x = 0; x < kWidth; ++x)
            ASSERT_EQ(picture.pixel(x, static_cast<int>(y)), expected(r, x, static_cast<int>(y))) << x << "," << y;
}

TEST(PictureCache, RowsReadPieceByPieceHoldTheFilesPixels) {
    // Past both edges, inside, overlapping what was read, then filling the gaps.
    const std::pair<std::int64_t, std::int64_t> reads[] = {{-160, 2}, {21, 181}, {9, 14}, {12, 17}, {0, kHeight}};
    for (const std::uint16_t bits : {1, 4, 8, 24}) {
        for (const bool topDown : {false, true}) {
            SCOPED_TRACE(std::to_string(bits) + (topDown ? " top-down" : " bottom-up"));
            TempDir dir;
            const BmpRecipe r = recipe(bits, topDown, 0);
            writeFile(dir / "p.bmp", makeBmp(r));
            app::PictureCache cache;
            for (const auto& [first, end] : reads) {
                const app::BmpPicture* picture = cache.picture(dir / "p.bmp", first, end);
                ASSERT_TRUE(picture);
                ASSERT_EQ(picture->width(), kWidth);
                ASSERT_EQ(picture->height(), kHeight);
                expectRows(*picture, r, first, end);
            }
        }
    }
}

TEST(PictureCache, RowsReadBeforeARewriteAreNeverShownAfterIt) {
    TempDir dir;
    const auto path = dir / "p.bmp";
    for (const std::uint16_t bits : {8, 24}) {
        SCOPED_TRACE(bits);
        const BmpRecipe before = recipe(bits, false, 1);
        const BmpRecipe after = recipe(bits, false, 2);
        writeFile(path, makeBmp(before));
        const auto stamp = std::filesystem::last_write_time(path);
        app::PictureCache cache;
        ASSERT_TRUE(cache.picture(path, 0, 10));

        // Rewritten in place, same size, same time stamp: only the writer knows.
        writeFile(path, makeBmp(after));
        std::filesystem::last_write_time(path, stamp);
        cache.forget(path);
        const app::BmpPicture* picture = cache.picture(path, 5, 20);
        ASSERT_TRUE(picture);
        expectRows(*picture, after, 5, 20);

        // Replaced by another file under the same name, time stamp kept.
        writeFile(dir / "next.bmp", makeBmp(before));
        std::filesystem::last_write_time(dir / "next.bmp", stamp);
        std::filesystem::rename(dir / "next.bmp", path);
        picture = cache.picture(path, 0, kHeight);
        ASSERT_TRUE(picture);
        expectRows(*picture, before, 0, kHeight);
    }
}

TEST(PictureCache, NoPictureWhenTheRowsRunPastTheEnd) {
    TempDir dir;
    const auto path = dir / "p.bmp";
    std::vector<std::uint8_t> bytes = makeBmp(recipe(24, false, 0));
    writeFile(path, bytes);
    app::PictureCache cache;
    ASSERT_TRUE(cache.picture(path, kHeight - 1, kHeight));
    bytes.pop_back();
    writeFile(path, bytes);
    // The bottom row asked for is still whole, the top row is not.
    EXPECT_FALSE(cache.picture(path, kHeight - 1, kHeight));
}

}  // namespace
}  // namespace plotvane::test
