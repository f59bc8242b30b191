#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "project/map_project.h"

namespace plotvane::test {

// Describes a small BMP file to build in memory. Pixels are given per
// picture row from the top; the writer stores them bottom-up as BMP does.
struct BmpRecipe {
    std::int32_t width = 160;
    std::int32_t height = 160;
    std::uint16_t bitCount = 24;
    std::uint32_t compression = 0;
    std::uint32_t infoHeaderSize = 40;     // 40, 108 or 124
    std::vector<Rgb> palette;              // colour table as red, green, blue
    std::uint32_t clrUsed = 0;             // written as is
    std::uint32_t extraGapBytes = 0;       // bytes between colour table and pixel rows
    std::uint8_t paddingFill = 0;          // value of the row padding bytes
    // Pixel value at (x, y), y from the top: an index for 1/4/8-bit files,
    // 0xRRGGBB for 24-bit files.
    std::function<std::uint32_t(int x, int y)> pixel = [](int, int) { return 0u; };
};

// Bytes of each stored row before padding, and with padding.
std::size_t bmpRowBytes(std::int32_t width, std::uint16_t bitCount);
std::size_t bmpStride(std::int32_t width, std::uint16_t bitCount);

std::vector<std::uint8_t> makeBmp(const BmpRecipe& recipe);

void writeFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> readFile(const std::filesystem::path& path);

// A black-and-white palette with black first, as most editors write.
std::vector<Rgb> blackWhitePalette();
std::vector<Rgb> whiteBlackPalette();
// 256 greys, index = grey level.
std::vector<Rgb> greyPalette(int entries = 256);

}  // namespace plotvane::test
