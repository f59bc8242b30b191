#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "project/map_project.h"

namespace plotvane::test {

// A picture as colours, rows from the top.
struct RgbPicture {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<Rgb> pixels;

    const Rgb& at(std::uint32_t x, std::uint32_t y) const { return pixels[std::size_t{y} * width + x]; }
};

// One class of a master built the plain way: the master padded with white
// to `paddedWidth` x `paddedHeight`, every `box` x `box` square of it
// averaged channel by channel in linear light (each sRGB value decoded
// with the sRGB formula to the nearest 1/65535, the mean encoded again and
// rounded to the nearest value). For a two-colour master (`twoColours`)
// a pixel is `lighter` when at least half of its square is, else `darker`.
struct TwoColours {
    Rgb darker;
    Rgb lighter;
};
RgbPicture referenceClass(const RgbPicture& master, std::uint32_t paddedWidth, std::uint32_t paddedHeight,
                          std::uint32_t box, const TwoColours* twoColours = nullptr);

// The pixels of an uncompressed bottom-up BMP of 1, 8 or 24 bits as colours.
RgbPicture decodeBmp(const std::vector<std::uint8_t>& bytes);

}  // namespace plotvane::test
