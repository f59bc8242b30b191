#include "support/raster_reference.h"

#include <algorithm>
#include <cmath>

#include "project/byte_order.h"
#include "support/bmp_writer.h"

namespace plotvane::test {

namespace {

struct Colour {
    int r = 0, g = 0, b = 0;
};

std::vector<Colour> paletteOf231() {
    static const int levels[6] = {255, 204, 153, 102, 51, 0};
    std::vector<Colour> p;
    for (int i = 0; i < 215; ++i) {
        const int j = i % 108;
        p.push_back({levels[j / 18], levels[j % 6], levels[(i / 108) * 3 + (j % 18) / 6]});
    }
    for (int g : {17, 34, 68, 85, 119, 136, 170, 187, 221, 238}) p.push_back({g, g, g});
    for (Colour c : {Colour{192, 192, 192}, Colour{128, 0, 0}, Colour{128, 0, 128}, Colour{0, 128, 0},
                     Colour{0, 128, 128}, Colour{0, 0, 0}})
        p.push_back(c);
    return p;
}

int levelOf(int c) { return c >= 231 ? 0 : c >= 180 ? 1 : c >= 129 ? 2 : c >= 78 ? 3 : c >= 27 ? 4 : 5; }

int indexOf(Colour c, int bucket) {
    static const int ramp[16] = {230, 215, 216, 190, 217, 218, 165, 219, 220, 50, 221, 222, 25, 223, 224, 0};
    if (c.r == c.g && c.g == c.b) return ramp[bucket];
    if (c.g == 0 && c.r == 128 && c.b == 0) return 226;
    if (c.g == 0 && c.r == 128 && c.b == 128) return 227;
    if (c.r == 0 && c.g == 128 && c.b == 0) return 228;
    if (c.r == 0 && c.g == 128 && c.b == 128) return 229;
    static const int blueBase[6] = {0, 6, 12, 108, 114, 120};
    return blueBase[levelOf(c.b)] + 18 * levelOf(c.r) + levelOf(c.g);
}

}  // namespace

std::vector<std::uint8_t> referenceWorkRaster(const std::vector<std::uint8_t>& f, std::uint8_t mode, bool dither) {
    const std::uint32_t off = readLe32(&f[10]);
    const std::uint32_t infoSize = readLe32(&f[14]);
    const int w = static_cast<int>(readLe32(&f[18]));
    const int h = static_cast<int>(readLe32(&f[22]));
    const int depth = readLe16(&f[28]);
    std::uint32_t entries = readLe32(&f[46]);
    if (entries == 0) entries = depth == 1 ? 2 : depth == 4 ? 16 : depth == 8 ? 256 : 0;
    std::vector<Colour> table(256);
    for (std::uint32_t i = 0; i < std::min<std::uint32_t>(entries, 256); ++i) {
        const std::size_t e = 14 + infoSize + 4 * i;
        table[i] = {f[e + 2], f[e + 1], f[e]};
    }
    const bool inverted = depth == 1 && table[0].r != 0 && table[0].g != 0 && table[0].b != 0;
    const int m = mode == 0 ? 1 : mode;
    const int bits = m == 8 ? 8 : m == 1 ? 1 : 4;
    const std::size_t head = m == 1 ? 62 : m == 8 ? 978 : 118;
    const std::size_t outStride = ((static_cast<std::size_t>(w) * bits + 7) / 8 + 3) / 4 * 4;
    const std::size_t inStride = ((static_cast<std::size_t>(w) * depth + 7) / 8 + 3) / 4 * 4;

    std::vector<std::uint8_t> out(f.begin(), f.begin() + 54);
    writeLe32(&out[2], static_cast<std::uint32_t>(outStride * h + head));
    writeLe32(&out[10], static_cast<std::uint32_t>(head));
    writeLe32(&out[14], 40);
    writeLe16(&out[28], static_cast<std::uint16_t>(bits));
    writeLe32(&out[34], static_cast<std::uint32_t>(m == 8 ? static_cast<std::size_t>(w) * h : outStride * h));
    writeLe32(&out[46], m == 8 ? 231 : 0);
    writeLe32(&out[50], m == 8 ? 231 : 0);
    std::vector<Colour> outTable;
    if (m == 1) outTable = {{0, 0, 0}, {255, 255, 255}};
    if (m == 2) outTable = {{0, 0, 0}, {86, 86, 86}, {171, 171, 171}, {255, 255, 255}};
    if (m == 2) outTable.resize(16);
    if (m == 4)
        for (int k = 0; k < 16; ++k) outTable.push_back({17 * k, 17 * k, 17 * k});
    if (m == 8) outTable = paletteOf231();
    for (const Colour& c : outTable)
        for (int v : {c.b, c.g, c.r, 0}) out.push_back(static_cast<std::uint8_t>(v));

    auto colourAt = [&](int row, int x) {
        const std::uint8_t* s = &f[off + inStride * static_cast<std::size_t>(row)];
        if (depth == 24) return Colour{s[3 * x + 2], s[3 * x + 1], s[3 * x]};
        const int index = depth == 8 ? s[x] : (x % 2 == 0 ? s[x / 2] >> 4 : s[x / 2] & 15);
        return static_cast<std::uint32_t>(index) < entries ? table[static_cast<std::size_t>(index)] : Colour{};
    };
    auto limited = [](Colour c) { return std::min(31 * c.r + 59 * c.g + 11 * c.b, 25500); };

    std::vector<std::vector<double>> values(static_cast<std::size_t>(h), std::vector<double>(static_cast<std::size_t>(w)));
    if (dither && depth != 1) {
        const int n = m == 1 ? 1 : m == 2 ? 3 : 15;
        std::vector<double> buffer[2] = {std::vector<double>(w + 10, 0.0), std::vector<double>(w + 10, 0.0)};
        for (int i = 0; i < h; ++i) {
            std::vector<double>& here = buffer[i % 2];
            std::vector<double>& next = buffer[(i + 1) % 2];
            for (int j = 0; j < w; ++j) {
                const double v = limited(colourAt(i, j)) * 0.01 + here[j];
                const double q = std::floor(n * (255.0 - v) / 255.0);
                const double o = 255.0 - q * 255.0 / n;
                const double e = v - o;
                here[j + 1] += 7.0 / 16.0 * e;
                if (j > 0) next[j - 1] += 3.0 / 16.0 * e;
                next[j] += 5.0 / 16.0 * e;
                next[j + 1] += 1.0 / 16.0 * e;
                values[i][j] = o;
            }
            std::fill(here.begin(), here.end(), 0.0);
        }
    }

    for (int row = 0; row < h; ++row) {
        const std::uint8_t* s = &f[off + inStride * static_cast<std::size_t>(row)];
        std::vector<std::uint8_t> line(outStride, 0);
        if (depth == 1 && m == 1 && !dither) {
            for (int i = 0; i < (w + 7) / 8; ++i) line[i] = static_cast<std::uint8_t>(inverted ? ~s[i] : s[i]);
        } else {
            for (int x = 0; x < w; ++x) {
                int value = 0;
                if (depth == 1) {
                    const bool white = (((s[x / 8] >> (7 - x % 8)) & 1) != 0) != inverted;
                    value = m == 1 ? white : m == 2 ? 3 * white : m == 4 ? 15 * white : (white ? 0 : 230);
                } else {
                    Colour c = colourAt(row, x);
                    const int sum = 31 * c.r + 59 * c.g + 11 * c.b;
                    const int sl = std::min(sum, 25500);
                    if (!dither) {
                        value = m == 1 ? (sum > 12800) : m == 2 ? sl / 6400 : m == 4 ? sl / 1600 : indexOf(c, sl / 1600);
                    } else {
                        const int v = static_cast<int>(std::clamp(values[row][x], 0.0, 255.0));
                        if (m == 1) value = v > 128;
                        if (m == 2) value = v / 64;
                        if (m == 4) value = v / 16;
                        if (m == 8) {
                            if (sl != 0) c = {std::min(c.r * v * 100 / sl, 255), std::min(c.g * v * 100 / sl, 255),
                                              std::min(c.b * v * 100 / sl, 255)};
                            value = indexOf(c, v / 16);
                        }
                    }
                }
                if (bits == 1) line[x / 8] = static_cast<std::uint8_t>(line[x / 8] | (value << (7 - x % 8)));
                if (bits == 4) line[x / 2] = static_cast<std::uint8_t>(line[x / 2] | (value << (x % 2 == 0 ? 4 : 0)));
                if (bits == 8) line[x] = static_cast<std::uint8_t>(value);
            }
        }
        out.insert(out.end(), line.begin(), line.end());
    }
    return out;
}

std::vector<std::uint8_t> referenceWorkRaster(const std::filesystem::path& source, ColourMode mode, bool dither) {
    return referenceWorkRaster(readFile(source), colourModeByte(mode), dither);
}

}  // namespace plotvane::test
