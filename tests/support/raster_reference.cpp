#include "support/raster_reference.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>

#include "project/byte_order.h"
#include "project/files.h"
#include "project/map_project.h"
#include "raster/bmp_reader.h"
#include "raster/dmatrix.h"
#include "raster/error_diffusion.h"
#include "support/bmp_writer.h"
#include "support/recording_feedback.h"

namespace plotvane::test {

namespace {

struct Colour {
    int r, g, b;
};

int levelOf(int c) {
    if (c >= 231) return 0;
    if (c >= 180) return 1;
    if (c >= 129) return 2;
    if (c >= 78) return 3;
    if (c >= 27) return 4;
    return 5;
}

int mapColour(Colour c, int bucket) {
    static const int ramp[16] = {230, 215, 216, 190, 217, 218, 165, 219, 220, 50, 221, 222, 25, 223, 224, 0};
    if (c.r == c.g && c.g == c.b) return ramp[bucket];
    if (c.r == 128 && c.g == 0 && c.b == 0) return 226;
    if (c.r == 128 && c.g == 0 && c.b == 128) return 227;
    if (c.r == 0 && c.g == 128 && c.b == 0) return 228;
    if (c.r == 0 && c.g == 128 && c.b == 128) return 229;
    static const int blueBase[6] = {0, 6, 12, 108, 114, 120};
    return blueBase[levelOf(c.b)] + 18 * levelOf(c.r) + levelOf(c.g);
}

}  // namespace

std::vector<std::uint8_t> referenceWorkRaster(const std::filesystem::path& source, ColourMode colourMode, bool dither) {
    std::uint8_t mode = colourModeByte(colourMode);
    const std::vector<std::uint8_t> file = readFile(source);
    const std::uint8_t* p = file.data();
    const std::uint32_t offBits = readLe32(p + 10);
    const std::uint32_t infoSize = readLe32(p + 14);
    const int width = static_cast<int>(readLe32(p + 18));
    const int height = static_cast<int>(readLe32(p + 22));
    const int depth = readLe16(p + 28);
    const std::uint32_t clrUsed = readLe32(p + 46);
    if (mode == 0) mode = 1;

    std::uint32_t entries = clrUsed;
    if (entries == 0) entries = depth == 1 ? 2 : depth == 4 ? 16 : depth == 8 ? 256 : 0;
    entries = std::min<std::uint32_t>(entries, 256);
    std::vector<Colour> table(256, Colour{0, 0, 0});
    for (std::uint32_t i = 0; i < entries; ++i) {
        const std::uint8_t* e = p + 14 + infoSize + 4 * i;
        table[i] = {e[2], e[1], e[0]};
    }
    const bool inverted = depth == 1 && table[0].r != 0 && table[0].g != 0 && table[0].b != 0;

    const int bits = mode == 8 ? 8 : (mode == 1 ? 1 : 4);
    const std::uint32_t offset = mode == 1 ? 62 : (mode == 8 ? 978 : 118);
    const std::size_t outStride = ((static_cast<std::size_t>(width) * bits + 7) / 8 + 3) / 4 * 4;
    const std::size_t srcStride = bmpStride(width, static_cast<std::uint16_t>(depth));

    std::vector<std::uint8_t> out(offset + outStride * static_cast<std::size_t>(height), 0);
    std::copy(p, p + 54, out.begin());
    writeLe32(&out[2], static_cast<std::uint32_t>(out.size()));
    writeLe32(&out[10], offset);
    writeLe32(&out[14], 40);
    writeLe16(&out[28], static_cast<std::uint16_t>(bits));
    writeLe32(&out[34], static_cast<std::uint32_t>(mode == 8 ? static_cast<std::size_t>(width) * height
                                                              : outStride * static_cast<std::size_t>(height)));
    writeLe32(&out[46], mode == 8 ? 231 : 0);
    writeLe32(&out[50], mode == 8 ? 231 : 0);
    std::vector<Colour> outTable;
    if (mode == 1) outTable = {{0, 0, 0}, {255, 255, 255}};
    if (mode == 2) {
        outTable = {{0, 0, 0}, {86, 86, 86}, {171, 171, 171}, {255, 255, 255}};
        outTable.resize(16, Colour{0, 0, 0});
    }
    if (mode == 4)
        for (int k = 0; k < 16; ++k) outTable.push_back({17 * k, 17 * k, 17 * k});
    if (mode == 8)
        for (const Rgb& c : systemPaletteTable()) outTable.push_back({c[0], c[1], c[2]});
    for (std::size_t i = 0; i < outTable.size(); ++i) {
        out[54 + 4 * i] = static_cast<std::uint8_t>(outTable[i].b);
        out[55 + 4 * i] = static_cast<std::uint8_t>(outTable[i].g);
        out[56 + 4 * i] = static_cast<std::uint8_t>(outTable[i].r);
    }

    dmatrix matrix;
    RecordingFeedback feedback;
    if (dither && depth != 1) {
        allocdmatrix(matrix, height, width, feedback);
        dmatrix buffer;
        allocdmatrix(buffer, 2, width + 10, feedback);
        cleardmatrix(buffer, 0, 0, 2, width + 10, feedback);
        dmatrix kernel;
        wrapDiffusionKernel(kernel);
        FilePtr f = openFile(source, "rb");
        BmpHeaders h;
        parseBmpHeaders(file, h);
        ColourTable ct;
        readColourTable(f.get(), h, ct);
        if (readPixelRows(f.get(), h, ct, matrix) != 0) throw std::runtime_error("reference: cannot read rows");
        errorDiffusion(matrix, buffer, kernel, mode == 1 ? 1 : (mode == 2 ? 2 : 4), feedback);
    }

    for (int row = 0; row < height; ++row) {
        const std::uint8_t* src = p + offBits + srcStride * static_cast<std::size_t>(row);
        std::uint8_t* dst = &out[offset + outStride * static_cast<std::size_t>(row)];
        if (depth == 1 && mode == 1 && !dither) {
            for (std::size_t i = 0; i < (static_cast<std::size_t>(width) + 7) / 8; ++i)
                dst[i] = static_cast<std::uint8_t>(inverted ? ~src[i] : src[i]);
            continue;
        }
        for (int x = 0; x < width; ++x) {
            int value = 0;
            if (depth == 1) {
                const bool white = (((src[x / 8] >> (7 - x % 8)) & 1) != 0) != inverted;
                value = mode == 1 ? white : mode == 2 ? (white ? 3 : 0) : mode == 4 ? (white ? 15 : 0) : (white ? 0 : 230);
            } else {
                Colour c{};
                if (depth == 24) c = {src[3 * x + 2], src[3 * x + 1], src[3 * x]};
                else if (depth == 8) c = table[src[x]];
                else c = table[x % 2 == 0 ? src[x / 2] >> 4 : src[x / 2] & 15];
                const int s = 31 * c.r + 59 * c.g + 11 * c.b;
                const int sl = std::min(s, 25500);
                if (!dither) {
                    value = mode == 1 ? (s > 12800) : mode == 2 ? sl / 6400 : mode == 4 ? sl / 1600 : mapColour(c, sl / 1600);
                } else {
                    const double m = std::clamp(matrix.at(row, x), 0.0, 255.0);
                    const int v = static_cast<int>(std::trunc(m));
                    if (mode == 1) value = v > 128;
                    if (mode == 2) value = v / 64;
                    if (mode == 4) value = v / 16;
                    if (mode == 8) {
                        Colour scaled = c;
                        if (sl != 0)
                            scaled = {std::min(c.r * v * 100 / sl, 255), std::min(c.g * v * 100 / sl, 255),
                                      std::min(c.b * v * 100 / sl, 255)};
                        value = mapColour(scaled, v / 16);
                    }
                }
            }
            if (bits == 1) dst[x / 8] = static_cast<std::uint8_t>(dst[x / 8] | (value << (7 - x % 8)));
            if (bits == 4) dst[x / 2] = static_cast<std::uint8_t>(dst[x / 2] | (value << (x % 2 == 0 ? 4 : 0)));
            if (bits == 8) dst[x] = static_cast<std::uint8_t>(value);
        }
    }
    return out;
}

}  // namespace plotvane::test
