#include "seeds.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "access/password_codec.h"
#include "database/database_loader.h"
#include "database/make_database.h"
#include "database/record_compression.h"
#include "project/files.h"
#include "raster/record_division.h"
#include "support/bmp_writer.h"
#include "support/database_fixtures.h"

namespace plotvane::fuzz {

namespace {

class SilentFeedback : public Feedback {
public:
    void show(const Message&) override {}
};

// A folder for the seed files, removed afterwards.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "plotvane-seeds-XXXXXX").string();
        if (mkdtemp(tmpl.data()) != nullptr) path_ = tmpl;
    }
    ~ScratchFolder() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

Bytes readAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

test::BmpRecipe classRecipe(std::uint16_t depth, int size, int seed) {
    test::BmpRecipe r;
    r.width = r.height = size;
    r.bitCount = depth;
    if (depth == 1) r.palette = seed % 2 ? test::whiteBlackPalette() : test::blackWhitePalette();
    if (depth == 4) r.palette = test::greyPalette(16);
    if (depth == 8) r.palette = test::greyPalette(256);
    r.pixel = [depth, seed](int x, int y) -> std::uint32_t {
        const auto v = static_cast<std::uint32_t>((x / 8) * 7 + (y / 6) * 13 + seed);
        switch (depth) {
            case 1: return v % 2;
            case 4: return v % 16;
            case 8: return v % 256;
            default: return (v * 2654435761u) & 0xFFFFFFu;
        }
    };
    return r;
}

struct DatabaseRecipe {
    ColourMode mode;
    bool compress;
    bool texts;
    bool corners;
    const char* password;  // empty: Non Password with Read Only
    AccessCode code;
};

Bytes makeDatabase(const std::filesystem::path& folder, const DatabaseRecipe& d) {
    SilentFeedback feedback;
    MapProject project;
    project.colourMode = project.requestedColourMode = d.mode;
    for (int k = 0; k < 2; ++k) {
        const auto path = folder / ("class" + std::to_string(k) + ".bmp");
        test::writeFile(path, test::makeBmp(classRecipe(d.mode == ColourMode::Original ? 1 : 24, 160 << k, k)));
        ControlUpdates updates;
        if (checkClassBitmap(project, path, k, d.compress, feedback, updates) != ClassBitmapResult::Ok) return {};
        project.classes[static_cast<std::size_t>(k)].fileName.assign(path.string());
        project.classCount = k + 1;
    }
    project.databaseName.assign("SEED MAP");
    project.versionText.assign("000001");
    if (d.texts) {
        project.setInfoText(0, {"Harbour", 10, 10, 19, 19});
        project.setInfoText(1, {"Pier", 100, 150, 109, 159});
        project.infoTextCount = 2;
    }
    if (d.corners) {
        project.gpsEnabled = 1;
        project.geo.upperLeftLatTotal = 128412500;
        project.geo.upperLeftLongTotal = 503130000;
        project.geo.bottomRightLatTotal = 127800000;
        project.geo.bottomRightLongTotal = 504000120;
    }
    const std::string password = *d.password ? d.password : std::string(kFixedReadOnlyPassword);
    const EncodedPassword e = encodePassword(password, d.code, mapBindingOf(project));
    std::copy(e.begin(), e.end(), project.access.encodedPassword.begin());
    const auto output = folder / "seed.pdb";
    ControlUpdates updates;
    const SystemClock clock;
    if (!saveMapDatabase(project, output, {false, d.compress, folder}, clock, feedback, updates)) return {};
    return readAll(output);
}

constexpr DatabaseRecipe kDatabases[] = {
    {ColourMode::Original, false, true, true, "", 0},
    {ColourMode::Bpp1, false, false, false, "", 0},
    {ColourMode::Bpp1, true, true, false, "Abcd1234", 5},
    {ColourMode::Bpp2, false, false, true, "", 0},
    {ColourMode::Bpp2, true, true, true, "", 0},
    {ColourMode::Bpp4, false, true, false, "Q1w2E3r4", 2},
    {ColourMode::Bpp4, true, false, false, "", 0},
    {ColourMode::Bpp8, false, false, true, "", 0},
    {ColourMode::Bpp8, true, true, true, "Zz9Yy8Xx", 3},
};

// Tile data for the grids of `p` in `mode`: pixel x of tile row y stores
// (x + y) modulo the mode's values, packed from the high bits.
std::vector<Bytes> patternTiles(const MapProject& p, ColourMode mode, bool compressed) {
    const unsigned bits = tilePixelBits(mode);
    std::vector<Bytes> tiles;
    for (int k = 0; k < p.classCount; ++k) {
        const MapClassEntry& c = p.classes[static_cast<std::size_t>(k)];
        const std::uint32_t w = c.width / c.recordColumns;
        const std::uint32_t h = c.height / c.recordRows;
        for (int t = 0; t < c.recordColumns * c.recordRows; ++t) {
            Bytes tile;
            for (std::uint32_t y = 0; y < h; ++y) {
                Bytes row(tileRowBytes(mode, w), 0);
                for (std::uint32_t x = 0; x < w; ++x) {
                    const std::uint32_t bit = x * bits;
                    const unsigned value = (x + y + static_cast<unsigned>(t)) & ((1u << bits) - 1);
                    row[bit / 8] = static_cast<std::uint8_t>(row[bit / 8] | (value << (8 - bits - bit % 8)));
                }
                if (compressed)
                    encodeRunLength(row, tile);
                else
                    tile.insert(tile.end(), row.begin(), row.end());
            }
            tiles.push_back(std::move(tile));
        }
    }
    return tiles;
}

// Databases whose tiles are not a whole number of bytes wide once File
// Load widens them (101 pixels of 1, 2 or 4 bits, 2-bit pixels taking 4),
// so that each tile after the first in a RestoreFile row starts inside a
// byte; two classes, laid out as the writer lays them out.
std::vector<Bytes> unalignedTileDatabases() {
    std::vector<Bytes> seeds;
    for (const ColourMode mode : {ColourMode::Original, ColourMode::Bpp1, ColourMode::Bpp2, ColourMode::Bpp4}) {
        for (const bool compressed : {false, true}) {
            if (mode == ColourMode::Original && compressed) continue;
            MapProject p;
            p.databaseName.assign("ODD TILES");
            p.versionText.assign("000002");
            p.classCount = 2;
            p.classes[0] = MapClassEntry{};
            p.classes[0].width = 202;
            p.classes[0].height = 12;
            p.classes[0].recordColumns = 2;
            p.classes[1].width = 404;
            p.classes[1].height = 24;
            p.classes[1].recordColumns = 4;
            p.classes[1].recordRows = 2;
            p.classes[1].magnification = 2;
            seeds.push_back(test::layOutDatabase(p, mode, compressed, patternTiles(p, mode, compressed)));
        }
    }
    return seeds;
}

}  // namespace

std::vector<Bytes> databaseSeeds() {
    ScratchFolder folder;
    std::vector<Bytes> seeds;
    if (folder.path().empty()) return seeds;
    for (const DatabaseRecipe& d : kDatabases) {
        Bytes db = makeDatabase(folder.path(), d);
        if (!db.empty()) seeds.push_back(std::move(db));
    }
    for (Bytes& db : unalignedTileDatabases()) seeds.push_back(std::move(db));
    return seeds;
}

std::vector<Bytes> bmpSeeds() {
    std::vector<Bytes> seeds;
    int seed = 0;
    for (std::uint16_t depth : {1, 4, 8, 24}) {
        seeds.push_back(test::makeBmp(classRecipe(depth, 160, seed++)));
        // Rows stored top-down, with an odd width so that rows are padded.
        test::BmpRecipe topDown = classRecipe(depth, 161, seed++);
        topDown.height = -161;
        seeds.push_back(test::makeBmp(topDown));
        // The V4 and V5 headers.
        for (const std::uint32_t header : {108u, 124u}) {
            test::BmpRecipe r = classRecipe(depth, 160, seed++);
            r.infoHeaderSize = header;
            seeds.push_back(test::makeBmp(r));
        }
    }
    for (const Bytes& db : databaseSeeds()) {
        MapProject project;
        RestoreMemory out;
        SilentFeedback feedback;
        if (restoreDatabaseBytes(db, project, out, feedback) == RestoreResult::Ok && !out.files.empty())
            seeds.push_back(out.files.front());
    }
    return seeds;
}

void writeSeedsIfEmpty(int argc, char** argv, const std::vector<Bytes>& seeds) {
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] == '-') continue;
        const std::filesystem::path folder = argv[i];
        std::error_code ec;
        if (!std::filesystem::is_directory(folder, ec) || !std::filesystem::is_empty(folder, ec)) return;
        for (std::size_t k = 0; k < seeds.size(); ++k)
            test::writeFile(folder / ("seed-" + std::to_string(k)), seeds[k]);
        return;
    }
}

}  // namespace plotvane::fuzz
