#include "support/bmp_writer.h"

#include <fstream>
#include <stdexcept>

#include "project/byte_order.h"

namespace plotvane::test {

std::size_t bmpRowBytes(std::int32_t width, std::uint16_t bitCount) {
    const auto w = static_cast<std::size_t>(width);
    switch (bitCount) {
        case 1: return (w + 7) / 8;
        case 4: return (w + 1) / 2;
        case 8: return w;
        case 24: return 3 * w;
        default: return (w * bitCount + 7) / 8;
    }
}

std::size_t bmpStride(std::int32_t width, std::uint16_t bitCount) {
    return (bmpRowBytes(width, bitCount) + 3) / 4 * 4;
}

std::vector<std::uint8_t> makeBmp(const BmpRecipe& recipe) {
    const std::size_t tableBytes = recipe.palette.size() * 4;
    const std::size_t offBits = 14 + recipe.infoHeaderSize + tableBytes + recipe.extraGapBytes;
    const std::int32_t rows = recipe.height < 0 ? -recipe.height : recipe.height;
    const std::size_t stride = bmpStride(recipe.width, recipe.bitCount);
    const std::size_t rowBytes = bmpRowBytes(recipe.width, recipe.bitCount);
    std::vector<std::uint8_t> out(offBits + stride * static_cast<std::size_t>(rows), 0);
    std::uint8_t* p = out.data();
    p[0] = 'B';
    p[1] = 'M';
    writeLe32(p + 2, static_cast<std::uint32_t>(out.size()));
    writeLe32(p + 10, static_cast<std::uint32_t>(offBits));
    writeLe32(p + 14, recipe.infoHeaderSize);
    writeLe32(p + 18, static_cast<std::uint32_t>(recipe.width));
    writeLe32(p + 22, static_cast<std::uint32_t>(recipe.height));
    writeLe16(p + 26, 1);
    writeLe16(p + 28, recipe.bitCount);
    writeLe32(p + 30, recipe.compression);
    writeLe32(p + 34, static_cast<std::uint32_t>(stride * static_cast<std::size_t>(rows)));
    writeLe32(p + 38, 2835);
    writeLe32(p + 42, 2835);
    writeLe32(p + 46, recipe.clrUsed);
    std::uint8_t* t = p + 14 + recipe.infoHeaderSize;
    for (const Rgb& c : recipe.palette) {
        t[0] = c[2];
        t[1] = c[1];
        t[2] = c[0];
        t[3] = 0;
        t += 4;
    }
    for (std::int32_t fileRow = 0; fileRow < rows; ++fileRow) {
        // Bottom-up storage: file row 0 is the bottom picture row.
        const int y = recipe.height < 0 ? fileRow : rows - 1 - fileRow;
        std::uint8_t* r = p + offBits + stride * static_cast<std::size_t>(fileRow);
        for (int x = 0; x < recipe.width; ++x) {
            const std::uint32_t v = recipe.pixel(x, y);
            switch (recipe.bitCount) {
                case 1:
                    if (v & 1u) r[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
                    break;
                case 4:
                    r[x / 2] |= static_cast<std::uint8_t>((v & 15u) << (x % 2 == 0 ? 4 : 0));
                    break;
                case 8: r[x] = static_cast<std::uint8_t>(v); break;
                case 24:
                    r[3 * x] = static_cast<std::uint8_t>(v);
                    r[3 * x + 1] = static_cast<std::uint8_t>(v >> 8);
                    r[3 * x + 2] = static_cast<std::uint8_t>(v >> 16);
                    break;
                default: break;
            }
        }
        for (std::size_t i = rowBytes; i < stride; ++i) r[i] = recipe.paddingFill;
    }
    return out;
}

void writeFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    if (!f) throw std::runtime_error("cannot write " + path.string());
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> readFile(const std::filesystem::path& path) {
    std::ifstream f(path, std::ios::binary);
    if (!f) throw std::runtime_error("cannot read " + path.string());
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(f), {});
}

std::vector<Rgb> blackWhitePalette() { return {Rgb{0, 0, 0}, Rgb{255, 255, 255}}; }
std::vector<Rgb> whiteBlackPalette() { return {Rgb{255, 255, 255}, Rgb{0, 0, 0}}; }

std::vector<Rgb> greyPalette(int entries) {
    std::vector<Rgb> p;
    for (int i = 0; i < entries; ++i) {
        const auto g = static_cast<std::uint8_t>(i);
        p.push_back({g, g, g});
    }
    return p;
}

}  // namespace plotvane::test
