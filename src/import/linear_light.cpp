#include "import/linear_light.h"

#include <algorithm>
#include <cmath>

namespace plotvane::import {

namespace {

double decode(double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); }

// thresholds[c] is the linear light (in 1/65535) half-way, in sRGB terms,
// between sRGB values c and c + 1: means at or above it encode above c.
const std::array<double, 255>& thresholds() {
    static const std::array<double, 255> table = [] {
        std::array<double, 255> t{};
        for (int c = 0; c < 255; ++c) t[static_cast<std::size_t>(c)] = decode((c + 0.5) / 255.0) * kLinearWhite;
        return t;
    }();
    return table;
}

// codes[v]: the sRGB value of a mean of exactly v. Thresholds are more
// than one unit apart, so a mean between v and v + 1 is that value or the
// next one.
const std::array<std::uint8_t, kLinearWhite + 1>& codes() {
    static const auto table = [] {
        std::array<std::uint8_t, kLinearWhite + 1> c{};
        const auto& t = thresholds();
        for (std::uint32_t v = 0; v <= kLinearWhite; ++v)
            c[v] = static_cast<std::uint8_t>(std::upper_bound(t.begin(), t.end(), double(v)) - t.begin());
        return c;
    }();
    return table;
}

}  // namespace

const std::array<std::uint16_t, 256>& linearFromSrgb() {
    static const std::array<std::uint16_t, 256> table = [] {
        std::array<std::uint16_t, 256> t{};
        for (int v = 0; v < 256; ++v)
            t[static_cast<std::size_t>(v)] = static_cast<std::uint16_t>(std::lround(decode(v / 255.0) * kLinearWhite));
        return t;
    }();
    return table;
}

std::uint8_t srgbFromLinearMean(std::uint64_t sum, std::uint64_t count) {
    static const auto& t = thresholds();
    static const auto& c = codes();
    const double mean = static_cast<double>(sum) / static_cast<double>(count);
    const std::uint8_t code = c[std::min<std::uint64_t>(sum / count, kLinearWhite)];
    return code < 255 && mean >= t[code] ? static_cast<std::uint8_t>(code + 1) : code;
}

}  // namespace plotvane::import
