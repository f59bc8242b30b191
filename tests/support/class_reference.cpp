#include "support/class_reference.h"

#include <array>
#include <cmath>

#include "project/byte_order.h"

namespace plotvane::test {

namespace {

double toLinear(std::uint8_t v) {
    const double s = v / 255.0;
    return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
}

std::uint8_t toSrgb(double linear) {
    const double s = linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
    return static_cast<std::uint8_t>(std::lround(255.0 * s));
}

long quantised(std::uint8_t v) {
    static const auto table = [] {
        std::array<long, 256> t{};
        for (int i = 0; i < 256; ++i) t[static_cast<std::size_t>(i)] = std::lround(toLinear(static_cast<std::uint8_t>(i)) * 65535.0);
        return t;
    }();
    return table[v];
}

}  // namespace

RgbPicture referenceClass(const RgbPicture& master, std::uint32_t paddedWidth, std::uint32_t paddedHeight,
                          std::uint32_t box, const TwoColours* twoColours) {
    RgbPicture out;
    out.width = paddedWidth / box;
    out.height = paddedHeight / box;
    const Rgb white{255, 255, 255};
    for (std::uint32_t cy = 0; cy < out.height; ++cy) {
        for (std::uint32_t cx = 0; cx < out.width; ++cx) {
            long sum[3] = {0, 0, 0};
            long lighterCount = 0;
            for (std::uint32_t y = cy * box; y < (cy + 1) * box; ++y) {
                for (std::uint32_t x = cx * box; x < (cx + 1) * box; ++x) {
                    const bool inside = x < master.width && y < master.height;
                    const Rgb& c = inside ? master.at(x, y) : (twoColours ? twoColours->lighter : white);
                    for (int i = 0; i < 3; ++i) sum[i] += quantised(c[static_cast<std::size_t>(i)]);
                    if (twoColours && c == twoColours->lighter) ++lighterCount;
                }
            }
            const double count = double(box) * box;
            if (twoColours) {
                out.pixels.push_back(2 * lighterCount >= long(box) * box ? twoColours->lighter : twoColours->darker);
                continue;
            }
            out.pixels.push_back({toSrgb(sum[0] / count / 65535.0), toSrgb(sum[1] / count / 65535.0),
                                  toSrgb(sum[2] / count / 65535.0)});
        }
    }
    return out;
}

RgbPicture decodeBmp(const std::vector<std::uint8_t>& bytes) {
    RgbPicture picture;
    const std::uint32_t offset = readLe32(&bytes[10]);
    picture.width = readLe32(&bytes[18]);
    picture.height = readLe32(&bytes[22]);
    const std::uint16_t bits = readLe16(&bytes[28]);
    const std::size_t stride = (std::size_t{picture.width} * bits + 31) / 32 * 4;
    picture.pixels.resize(std::size_t{picture.width} * picture.height);
    const auto tableEntry = [&](std::size_t index) {
        const std::uint8_t* e = &bytes[54 + 4 * index];
        return Rgb{e[2], e[1], e[0]};
    };
    for (std::uint32_t y = 0; y < picture.height; ++y) {
        const std::uint8_t* row = &bytes[offset + stride * (picture.height - 1 - y)];
        for (std::uint32_t x = 0; x < picture.width; ++x) {
            Rgb& out = picture.pixels[std::size_t{y} * picture.width + x];
            if (bits == 24) out = {row[3 * x + 2], row[3 * x + 1], row[3 * x]};
            if (bits == 8) out = tableEntry(row[x]);
            if (bits == 1) out = tableEntry((row[x / 8] >> (7 - x % 8)) & 1);
        }
    }
    return picture;
}

}  // namespace plotvane::test
