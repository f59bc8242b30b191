#include "raster/colour_mapping.h"

#include <array>

namespace plotvane {

namespace {

// Entries whose grey is 17 x k, for k = 0..15.
constexpr std::array<std::uint8_t, 16> kGreyRamp = {230, 215, 216, 190, 217, 218, 165, 219,
                                                    220, 50,  221, 222, 25,  223, 224, 0};

// Cube offset of each blue level: blue levels 3..5 sit in the second half.
constexpr std::array<int, 6> kBlueBase = {0, 6, 12, 108, 114, 120};

constexpr std::array<std::uint8_t, 256> makeLevelTable() {
    std::array<std::uint8_t, 256> t{};
    for (int v = 0; v < 256; ++v) {
        if (v >= 231) t[v] = 0;
        else if (v >= 180) t[v] = 1;
        else if (v >= 129) t[v] = 2;
        else if (v >= 78) t[v] = 3;
        else if (v >= 27) t[v] = 4;
        else t[v] = 5;
    }
    return t;
}
constexpr std::array<std::uint8_t, 256> kLevel = makeLevelTable();

// floor(n / d) = (n x kReciprocal[d]) >> 40 for n x d < 2^40, which holds for
// n <= 255 x 255 x 100 and d <= 25500.
struct Reciprocals {
    std::array<std::uint64_t, 25501> value{};
    Reciprocals() {
        for (std::uint64_t d = 1; d < value.size(); ++d) value[d] = (std::uint64_t{1} << 40) / d + 1;
    }
};
const Reciprocals& reciprocals() {
    static const Reciprocals table;
    return table;
}

std::uint8_t scaled(std::uint8_t component, int level, std::uint64_t reciprocal) {
    const std::uint64_t n = static_cast<std::uint64_t>(component) * static_cast<std::uint64_t>(level) * 100u;
    const std::uint64_t q = (n * reciprocal) >> 40;
    return static_cast<std::uint8_t>(q > 255 ? 255 : q);
}

}  // namespace

std::uint8_t colourMapping(std::uint8_t red, std::uint8_t green, std::uint8_t blue, int greyBucket) {
    if (red == green && green == blue) {
        const int k = greyBucket < 0 ? 0 : (greyBucket > 15 ? 15 : greyBucket);
        return kGreyRamp[static_cast<std::size_t>(k)];
    }
    if (green == 0 && (red == 128 || red == 0) && (blue == 128 || blue == 0)) {
        if (red == 128 && blue == 0) return 226;
        if (red == 128 && blue == 128) return 227;
    }
    if (red == 0 && green == 128) {
        if (blue == 0) return 228;
        if (blue == 128) return 229;
    }
    // Three levels of 5 give 120 + 90 + 5 = 215, the darkest grey, which is
    // where a near-black colour belongs since the cube has no black.
    return static_cast<std::uint8_t>(kBlueBase[kLevel[blue]] + 18 * kLevel[red] + kLevel[green]);
}

ScaledColour rescaleToLevel(std::uint8_t red, std::uint8_t green, std::uint8_t blue, int limitedSum, int level) {
    if (limitedSum <= 0) return {red, green, blue};
    const int l = level < 0 ? 0 : (level > 255 ? 255 : level);
    const std::uint64_t r = reciprocals().value[static_cast<std::size_t>(limitedSum > 25500 ? 25500 : limitedSum)];
    return {scaled(red, l, r), scaled(green, l, r), scaled(blue, l, r)};
}

}  // namespace plotvane
