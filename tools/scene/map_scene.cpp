#include "scene/map_scene.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "project/byte_order.h"
#include "project/files.h"

namespace plotvane::scene {

namespace {

constexpr Rgb kLand{238, 230, 206};
constexpr Rgb kSea{140, 184, 226};
constexpr Rgb kForest{150, 200, 130};
constexpr Rgb kTown{205, 200, 196};
constexpr Rgb kBlock{170, 160, 150};
constexpr Rgb kRiver{90, 140, 210};
constexpr Rgb kMajorRoad{214, 60, 40};
constexpr Rgb kMinorRoad{255, 255, 255};
constexpr Rgb kRoadEdge{90, 80, 70};
constexpr Rgb kRail{20, 20, 20};
constexpr Rgb kGrid{200, 190, 170};
constexpr Rgb kInk{0, 0, 0};

struct Segment {
    double u0, v0, u1, v1;
};

constexpr Segment kMajorRoads[] = {
    {0.05, 0.90, 0.35, 0.55}, {0.35, 0.55, 0.62, 0.48}, {0.62, 0.48, 0.97, 0.20},
    {0.45, 0.05, 0.50, 0.52}, {0.50, 0.52, 0.58, 0.97},
};
constexpr Segment kMinorRoads[] = {
    {0.35, 0.55, 0.30, 0.20}, {0.30, 0.20, 0.10, 0.08}, {0.62, 0.48, 0.80, 0.75},
    {0.80, 0.75, 0.95, 0.80}, {0.50, 0.52, 0.20, 0.70}, {0.58, 0.97, 0.85, 0.92},
};
constexpr Segment kRailway[] = {{0.02, 0.40, 0.98, 0.62}};

// 5 x 7 capitals and digits, one byte per row, bit 4 the leftmost column.
struct Glyph {
    char c;
    std::uint8_t rows[7];
};
constexpr Glyph kFont[] = {
    {'A', {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}}, {'B', {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E}},
    {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}}, {'D', {0x1E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1E}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}}, {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
    {'G', {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}}, {'H', {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'I', {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}}, {'J', {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C}},
    {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}}, {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
    {'M', {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}}, {'N', {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11}},
    {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    {'Q', {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D}}, {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}}, {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
    {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04}},
    {'W', {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}}, {'X', {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11}},
    {'Y', {0x11, 0x11, 0x0A, 0x04, 0x04, 0x04, 0x04}}, {'Z', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F}},
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}}, {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}}, {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}}, {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}}, {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}}, {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
};

const Glyph* glyphFor(char c) {
    for (const Glyph& g : kFont)
        if (g.c == c) return &g;
    return nullptr;
}

double distanceToSegment(double u, double v, const Segment& s) {
    const double du = s.u1 - s.u0;
    const double dv = s.v1 - s.v0;
    const double len2 = du * du + dv * dv;
    double t = len2 > 0 ? ((u - s.u0) * du + (v - s.v0) * dv) / len2 : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    const double eu = s.u0 + t * du - u;
    const double ev = s.v0 + t * dv - v;
    return std::sqrt(eu * eu + ev * ev);
}

bool inEllipse(double u, double v, double cu, double cv, double ru, double rv) {
    const double a = (u - cu) / ru;
    const double b = (v - cv) / rv;
    return a * a + b * b <= 1.0;
}

}  // namespace

MapScene::MapScene(int width, int height)
    : width_(width), height_(height), glyphScale_(std::max(1, std::min(width, height) / 320)) {
    labels_ = {{"NORTH BAY", 0.22, 0.12}, {"RIVERTON", 0.55, 0.40}, {"GREEN WOOD", 0.78, 0.62},
               {"LAKE ORB", 0.25, 0.78}, {"ROUTE 7", 0.82, 0.30}, {"HILL 402", 0.12, 0.50}};
}

Rgb MapScene::areaColour(double u, double v) const {
    // Coast: the sea fills the top-left corner behind a wavy shore.
    const double shore = 0.30 + 0.05 * std::sin(u * 18.0) + 0.03 * std::sin(u * 41.0 + 1.0);
    if (v + u * 0.6 < shore) return kSea;
    if (inEllipse(u, v, 0.25, 0.80, 0.12, 0.08)) return kSea;
    // River: a meander from the north edge to the lake.
    const double riverU = 0.32 + 0.06 * std::sin(v * 14.0) + 0.15 * v;
    if (v > 0.25 && v < 0.74 && std::abs(u - riverU) < 0.006 + 0.004 * v) return kRiver;

    Rgb colour = kLand;
    if (inEllipse(u, v, 0.78, 0.65, 0.16, 0.12) || inEllipse(u, v, 0.68, 0.15, 0.08, 0.06))
        colour = kForest;
    if (u > 0.44 && u < 0.66 && v > 0.42 && v < 0.60) {
        colour = kTown;
        const double bu = std::fmod((u - 0.44) * 90.0, 1.0);
        const double bv = std::fmod((v - 0.42) * 90.0, 1.0);
        if (bu > 0.2 && bu < 0.8 && bv > 0.2 && bv < 0.8) colour = kBlock;
    }
    const double gu = std::fmod(u * 8.0, 1.0);
    const double gv = std::fmod(v * 8.0, 1.0);
    const double lineWidth = 0.6 / std::min(width_, height_) * 8.0;
    if (gu < lineWidth || gv < lineWidth) colour = kGrid;
    return colour;
}

bool MapScene::inLabel(int x, int y) const {
    const int advance = 6 * glyphScale_;
    const int glyphHeight = 7 * glyphScale_;
    for (const Label& label : labels_) {
        const int textWidth = static_cast<int>(label.text.size()) * advance;
        const int left = static_cast<int>(label.u * width_) - textWidth / 2;
        const int top = static_cast<int>(label.v * height_) - glyphHeight / 2;
        if (y < top || y >= top + glyphHeight || x < left || x >= left + textWidth) continue;
        const int index = (x - left) / advance;
        const int column = ((x - left) % advance) / glyphScale_;
        const int row = (y - top) / glyphScale_;
        const Glyph* g = glyphFor(label.text[static_cast<std::size_t>(index)]);
        if (g != nullptr && column < 5 && (g->rows[row] & (0x10 >> column)) != 0) return true;
    }
    return false;
}

void MapScene::drawRow(int y, std::vector<Rgb>& row) const {
    row.resize(static_cast<std::size_t>(width_));
    const double v = (y + 0.5) / height_;
    const double pixel = 1.0 / std::min(width_, height_);
    for (int x = 0; x < width_; ++x) {
        const double u = (x + 0.5) / width_;
        Rgb c = areaColour(u, v);
        for (const Segment& s : kMinorRoads) {
            const double d = distanceToSegment(u, v, s);
            if (d < 0.004 + pixel) c = kRoadEdge;
            if (d < 0.004) c = kMinorRoad;
        }
        for (const Segment& s : kMajorRoads) {
            const double d = distanceToSegment(u, v, s);
            if (d < 0.007 + pixel) c = kRoadEdge;
            if (d < 0.007) c = kMajorRoad;
        }
        for (const Segment& s : kRailway) {
            const double d = distanceToSegment(u, v, s);
            if (d < std::max(0.0015, pixel)) c = kRail;
        }
        if (inLabel(x, y)) c = kInk;
        row[static_cast<std::size_t>(x)] = c;
    }
}

const std::vector<Rgb>& scenePalette() {
    static const std::vector<Rgb> palette = {kLand,      kSea,      kForest,   kTown, kBlock, kRiver, kMajorRoad,
                                             kMinorRoad, kRoadEdge, kRail,     kGrid, kInk};
    return palette;
}

namespace {

std::uint8_t paletteIndex(const Rgb& c) {
    const auto& p = scenePalette();
    for (std::size_t i = 0; i < p.size(); ++i)
        if (p[i] == c) return static_cast<std::uint8_t>(i);
    return 0;
}

bool isDark(const Rgb& c) { return 31 * c[0] + 59 * c[1] + 11 * c[2] < 12800; }

}  // namespace

bool writeSceneBmp(const std::filesystem::path& path, int width, int height, int depth) {
    if (width <= 0 || height <= 0 || (depth != 1 && depth != 4 && depth != 8 && depth != 24)) return false;
    std::vector<Rgb> table;
    if (depth == 1) table = {Rgb{0, 0, 0}, Rgb{255, 255, 255}};
    if (depth == 4 || depth == 8) {
        table = scenePalette();
        table.resize(depth == 4 ? 16 : 256, Rgb{0, 0, 0});
    }
    const std::size_t rowBits = static_cast<std::size_t>(width) * static_cast<std::size_t>(depth);
    const std::size_t stride = (rowBits + 31) / 32 * 4;
    const std::size_t offBits = 54 + table.size() * 4;
    const std::uint64_t fileSize = offBits + stride * static_cast<std::uint64_t>(height);

    std::vector<std::uint8_t> header(offBits, 0);
    header[0] = 'B';
    header[1] = 'M';
    writeLe32(&header[2], static_cast<std::uint32_t>(fileSize));
    writeLe32(&header[10], static_cast<std::uint32_t>(offBits));
    writeLe32(&header[14], 40);
    writeLe32(&header[18], static_cast<std::uint32_t>(width));
    writeLe32(&header[22], static_cast<std::uint32_t>(height));
    writeLe16(&header[26], 1);
    writeLe16(&header[28], static_cast<std::uint16_t>(depth));
    writeLe32(&header[34], static_cast<std::uint32_t>(stride * static_cast<std::size_t>(height)));
    writeLe32(&header[38], 2835);
    writeLe32(&header[42], 2835);
    for (std::size_t i = 0; i < table.size(); ++i) {
        header[54 + 4 * i] = table[i][2];
        header[55 + 4 * i] = table[i][1];
        header[56 + 4 * i] = table[i][0];
    }

    FilePtr f = openFile(path, "wb");
    if (!f || !writeExact(f.get(), header.data(), header.size())) return false;
    MapScene scene(width, height);
    std::vector<Rgb> colours;
    std::vector<std::uint8_t> row(stride);
    for (int fileRow = 0; fileRow < height; ++fileRow) {
        scene.drawRow(height - 1 - fileRow, colours);
        std::fill(row.begin(), row.end(), 0);
        for (int x = 0; x < width; ++x) {
            const Rgb& c = colours[static_cast<std::size_t>(x)];
            const auto ux = static_cast<std::size_t>(x);
            switch (depth) {
                case 1:
                    if (!isDark(c)) row[ux / 8] |= static_cast<std::uint8_t>(0x80 >> (ux % 8));
                    break;
                case 4: row[ux / 2] |= static_cast<std::uint8_t>(paletteIndex(c) << (ux % 2 == 0 ? 4 : 0)); break;
                case 8: row[ux] = paletteIndex(c); break;
                default:
                    row[3 * ux] = c[2];
                    row[3 * ux + 1] = c[1];
                    row[3 * ux + 2] = c[0];
            }
        }
        if (!writeExact(f.get(), row.data(), row.size())) return false;
    }
    return std::fflush(f.get()) == 0;
}

}  // namespace plotvane::scene
