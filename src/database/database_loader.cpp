#include "database/database_loader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "project/byte_order.h"
#include "project/files.h"
#include "raster/bmp_reader.h"
#include "raster/work_raster.h"

namespace plotvane {

namespace {

constexpr std::size_t kRestoreWriteBuffer = 256u << 10;
constexpr std::uint32_t kRestoreResolution = 2834;  // pixels per metre

Message cannotMakeBmp() { return error("Cannot make bmp-file.", Icon::Exclamation); }



// The value a tile stores for a raster value: the grey modes store the
// darkness (the raster keeps the brightness), mode 8 the index itself.
std::uint8_t storedOfRaster(ColourMode mode, std::uint8_t raster) {
    if (mode == ColourMode::Bpp8) return raster;
    const auto darkest = static_cast<std::uint8_t>((1u << tilePixelBits(mode)) - 1u);
    return static_cast<std::uint8_t>(darkest - raster);
}

std::uint8_t storedOfColour(ColourMode mode, const Rgb& c) {
    return storedOfRaster(mode, plainRasterValue(mode, c[0], c[1], c[2]));
}

// The headers and colour table of a RestoreFile, which is also its pixel
// data offset: 62, 118 or 1078 bytes.
std::uint32_t restoreFileHeaderSize(ColourMode mode) {
    return static_cast<std::uint32_t>(kBmpHeaderBytes) + 4 * (1u << restoreBitDepth(mode));
}

// Bytes of a RestoreFile pixel row, padded to 4 bytes.
std::uint32_t restoreRowStride(ColourMode mode, std::uint32_t width) {
    return (width * restoreBitDepth(mode) + 31) / 32 * 4;
}

// Appends tile rows to one RestoreFile row so that each tile's pixels
// follow the previous tile's last pixel, whatever the byte boundaries.
// `pending` holds the `held` high-order bits not yet emitted. As a row is
// taken byte by byte, the last byte of a tile row may bring bits past the
// tile's width; they are masked off as soon as more pixels follow, and only
// the bits beyond the RestoreFile's width can keep them.
class RowBits {
public:
    void start(std::uint8_t* row) {
        out_ = row;
        written_ = 0;
        pending_ = 0;
        held_ = 0;
    }

    // Appends the first `bits` bits of `src`, a row of `rowBytes` bytes
    // (at least (bits + 7) / 8 of them).
    void append(const std::uint8_t* src, std::uint32_t bits, std::uint32_t rowBytes) {
        const std::uint32_t whole = bits / 8;
        const unsigned rest = bits % 8;
        if (held_ == 0) {
            std::memcpy(out_ + written_, src, whole);
            written_ += whole;
            pending_ = 0;
        } else {
            const auto low = static_cast<std::uint8_t>(0xFFu >> held_);
            for (std::uint32_t i = 0; i < whole; ++i) {
                const std::uint8_t x = src[i];
                out_[written_++] = static_cast<std::uint8_t>((pending_ & ~low) | ((x >> held_) & low));
                pending_ = static_cast<std::uint8_t>(x << (8 - held_));
            }
        }
        if (whole == rowBytes) return;
        const std::uint8_t x = src[whole];
        const auto low = static_cast<std::uint8_t>(0xFFu >> held_);
        const auto merged = static_cast<std::uint8_t>((pending_ & ~low) | ((x >> held_) & low));
        if (held_ + rest >= 8) {
            out_[written_++] = merged;
            pending_ = static_cast<std::uint8_t>(x << (8 - held_));
            held_ = held_ + rest - 8;
        } else {
            held_ += rest;
            pending_ = static_cast<std::uint8_t>(merged & ~(0xFFu >> held_));
        }
    }

    // Emits the bits still held; the bytes written for the row.
    std::uint32_t finish() {
        if (held_ > 0) out_[written_++] = pending_;
        return written_;
    }

private:
    std::uint8_t* out_ = nullptr;
    std::uint32_t written_ = 0;
    std::uint8_t pending_ = 0;
    unsigned held_ = 0;
};

// Two-bit pixels widened to one nibble each, the RestoreFile's format.
void widenTwoBitRow(const std::uint8_t* src, std::uint32_t width, std::uint8_t* dst) {
    std::memset(dst, 0, (width + 1) / 2);
    for (std::uint32_t x = 0; x < width; ++x) {
        const unsigned v = (src[x / 4] >> (6 - 2 * (x % 4))) & 3u;
        dst[x / 2] = static_cast<std::uint8_t>(dst[x / 2] | (v << (x % 2 == 0 ? 4 : 0)));
    }
}

void splitAngle(std::uint32_t total, DmsAngle& angle) {
    angle.degrees = static_cast<std::int32_t>(total / 3600000u);
    angle.minutes = static_cast<std::int32_t>((total % 3600000u) / 60000u);
    angle.seconds = static_cast<std::int32_t>((total % 60000u) / 1000u);
    angle.milliseconds = static_cast<std::int32_t>(total % 1000u);
}

void resetMapFields(MapProject& p) {
    p.classes = {};
    p.classCount = 0;
    p.geo = {};
    p.gpsEnabled = 0;
    p.databaseName.clear();
    p.versionText.clear();
    p.clearInfoTexts();
    p.spareInfoTextCount = 10;
    p.infoFormatWord = 1;
    p.selectedInfoText = 0;
}

// The restore of one database: the reader walks it, and this fills the
// project and writes each class's RestoreFile as the parts arrive.
class Restore : public DatabaseVisitor {
public:
    Restore(MapProject& project, RestoreOutput& output, Feedback& feedback, const Progress& progress)
        : project_(project), output_(output), feedback_(feedback), progress_(progress) {}

    RestoreResult run(std::span<const std::uint8_t> database) {
        resetMapFields(project_);
        const std::optional<Refusal> refusal = readMapDatabase(database, *this);
        if (refusal) {
            feedback_.show(refusal->message);
            result_ = resultOf(refusal->part);
        }
        // Closes what a failed class left open; the file stays as written so far.
        if (result_ != RestoreResult::Ok && classOpen_) output_.end();
        return result_;
    }

    void mapHeader(const MapHeaderRecord& header) override {
        mode_ = header.colourMode;
        for (std::size_t i = 0; i < 16; ++i) project_.databaseName.bytes[i] = static_cast<char>(header.name[i]);
        project_.databaseName.bytes[16] = '\0';
        for (std::size_t i = 0; i < 6; ++i) project_.versionText.bytes[i] = static_cast<char>(header.version[i]);
        project_.versionText.bytes[6] = '\0';
        project_.gpsEnabled = header.hemisphere != 0 ? 1 : 0;
        if (project_.gpsEnabled != 0) restoreCorners(header);
        project_.classes[0].width = header.width;
        project_.classes[0].height = header.height;
    }

    void classesAnnounced(int classCount) override {
        project_.classCount = classCount;
        for (int k = 0; k < project_.classCount; ++k) {
            project_.classes[static_cast<std::size_t>(k)].fileName.assign(output_.fileName(k + 1));
            project_.classes[static_cast<std::size_t>(k)].pictureName.clear();
        }
    }

    void classGrid(const ClassGrid& grid) override {
        for (int k = 0; k < grid.classCount; ++k) {
            const RestoredClass& r = grid.classes[static_cast<std::size_t>(k)];
            MapClassEntry& row = project_.classes[static_cast<std::size_t>(k)];
            row.width = r.width;
            row.height = r.height;
            row.magnification = r.magnification;
            row.recordColumns = r.recordColumns;
            row.recordRows = r.recordRows;
            // The row describes the RestoreFile it names, whose first
            // colour is white.
            row.pixelDataOffset = restoreFileHeaderSize(mode_);
            row.bitDepth = static_cast<std::uint8_t>(restoreBitDepth(mode_));
            row.invertedPolarity = 1;
            gridRows_ += r.recordRows;
        }
    }

    void texts(const StoredTexts& texts) override {
        if (!texts.headerRead) return;
        project_.infoTextCount = texts.count;
        project_.spareInfoTextCount = texts.spareCount;
        project_.infoFormatWord = texts.formatWord;
        for (std::size_t i = 0; i < texts.texts.size(); ++i) project_.setInfoText(static_cast<int>(i), texts.texts[i]);
    }

    bool beginClass(int c) override {
        classOpen_ = true;
        const MapClassEntry& row = project_.classes[static_cast<std::size_t>(c)];
        if (!output_.begin(c + 1)) return outputFailed();
        if (!output_.write(restoreFileHeader(mode_, row.width, row.height))) return outputFailed();
        return true;
    }

    // The grid row's pixel rows become RestoreFile rows, its last one first.
    bool tileRow(const ClassTiles& tiles, const TileRow& row) override {
        const MapClassEntry& cls = project_.classes[static_cast<std::size_t>(tiles.classIndex)];
        line_.assign(restoreRowStride(mode_, cls.width), 0);
        widened_.resize(mode_ == ColourMode::Bpp2 ? (tiles.tileWidth + 1) / 2 : 0);
        for (std::uint32_t y = tiles.tileHeight; y-- > 0;) {
            const std::uint32_t used = assembleLine(tiles, row, y);
            std::fill(line_.begin() + used, line_.end(), std::uint8_t{0});
            if (!output_.write(line_)) return outputFailed();
        }
        ++gridRowsDone_;
        if (!keepGoing(progress_, gridRows_ == 0 ? 1 : static_cast<double>(gridRowsDone_) / gridRows_)) {
            result_ = RestoreResult::Cancelled;
            return false;
        }
        return true;
    }

    bool endClass(int) override {
        if (!output_.end()) return outputFailed();
        classOpen_ = false;
        return true;
    }

private:
    bool outputFailed() {
        feedback_.show(cannotMakeBmp());
        feedback_.explain(output_.problem());
        result_ = RestoreResult::CannotMakeRestoreFile;
        return false;
    }

    static RestoreResult resultOf(DamagedPart part) {
        switch (part) {
            case DamagedPart::MapHeader: return RestoreResult::DamagedMapHeader;
            case DamagedPart::TileGrid: return RestoreResult::DamagedTileGrid;
            case DamagedPart::Tiles: return RestoreResult::DamagedTiles;
        }
        return RestoreResult::DamagedMapHeader;
    }

    void restoreCorners(const MapHeaderRecord& header) {
        GeoBounds& g = project_.geo;
        g.upperLeftLongTotal = header.upperLeftLong;
        g.upperLeftLatTotal = header.upperLeftLat;
        g.bottomRightLongTotal = header.bottomRightLong;
        g.bottomRightLatTotal = header.bottomRightLat;
        splitAngle(g.upperLeftLongTotal, g.upperLeftLong);
        splitAngle(g.upperLeftLatTotal, g.upperLeftLat);
        splitAngle(g.bottomRightLongTotal, g.bottomRightLong);
        splitAngle(g.bottomRightLatTotal, g.bottomRightLat);
    }

    // Pixel row y of every tile of the grid row, left to right, into one
    // RestoreFile row; the bytes it fills.
    std::uint32_t assembleLine(const ClassTiles& tiles, const TileRow& row, std::uint32_t y) {
        appender_.start(line_.data());
        for (std::uint32_t k = 0; k < tiles.columns; ++k) {
            const std::uint8_t* source = row.pixels[k] + std::size_t{y} * tiles.rowBytes;
            if (mode_ != ColourMode::Bpp2) {
                appender_.append(source, tiles.tileWidth * tilePixelBits(mode_), tiles.rowBytes);
                continue;
            }
            widenTwoBitRow(source, tiles.tileWidth, widened_.data());
            appender_.append(widened_.data(), tiles.tileWidth * 4, static_cast<std::uint32_t>(widened_.size()));
        }
        return appender_.finish();
    }

    MapProject& project_;
    RestoreOutput& output_;
    Feedback& feedback_;
    const Progress& progress_;
    ColourMode mode_ = ColourMode::Original;
    RestoreResult result_ = RestoreResult::Ok;
    std::uint64_t gridRows_ = 0;      // tile rows of every class
    std::uint64_t gridRowsDone_ = 0;
    bool classOpen_ = false;
    std::vector<std::uint8_t> line_;
    std::vector<std::uint8_t> widened_;
    RowBits appender_;
};

}  // namespace


std::uint16_t restoreBitDepth(ColourMode mode) {
    switch (mode) {
        case ColourMode::Original:
        case ColourMode::Bpp1: return 1;
        case ColourMode::Bpp2:
        case ColourMode::Bpp4: return 4;
        case ColourMode::Bpp8: return 8;
        default: return 0;
    }
}

namespace {

// The grey nearest to `shown` (itself a grey), darker first, that
// `mode` stores as `value`; `shown` itself when there is none.
Rgb nearestGreyStoredAs(ColourMode mode, const Rgb& shown, std::size_t value) {
    const auto grey = [](int g) { return Rgb{static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(g)}; };
    for (int step = 1; step < 256; ++step) {
        const int darker = shown[0] - step;
        const int lighter = shown[0] + step;
        if (darker >= 0 && storedOfColour(mode, grey(darker)) == value) return grey(darker);
        if (lighter <= 255 && storedOfColour(mode, grey(lighter)) == value) return grey(lighter);
    }
    return shown;
}

}  // namespace

std::vector<Rgb> restoreColourTable(ColourMode mode) {
    if (!isColourMode(mode)) return {};
    // The colours the preview gives the raster values: the working
    // raster's own table.
    const std::vector<std::uint8_t> raster = workRasterPrefix(BmpHeaders{}, mode == ColourMode::Original ? ColourMode::Bpp1 : mode, systemPaletteTable());
    const std::size_t rasterColours = (raster.size() - kBmpHeaderBytes) / 4;
    const std::size_t values = mode == ColourMode::Bpp8 ? 256 : std::size_t{1} << tilePixelBits(mode);
    std::vector<Rgb> table(values, Rgb{0, 0, 0});
    for (std::size_t v = 0; v < values; ++v) {
        const std::size_t r = mode == ColourMode::Bpp8 ? v : values - 1 - v;
        if (r >= rasterColours) continue;  // black, as the handheld shows indices past its table
        const std::uint8_t* e = raster.data() + kBmpHeaderBytes + 4 * r;
        table[v] = {e[2], e[1], e[0]};
    }
    for (std::size_t v = 0; v < values; ++v) {
        const Rgb shown = table[v];
        if (storedOfColour(mode, shown) == v || shown[0] != shown[1] || shown[1] != shown[2]) continue;
        table[v] = nearestGreyStoredAs(mode, shown, v);
    }
    return table;
}

std::vector<std::uint8_t> restoreFileHeader(ColourMode mode, std::uint32_t width, std::uint32_t height) {
    const std::uint16_t depth = restoreBitDepth(mode);
    if (depth == 0) return {};
    const std::uint32_t offset = restoreFileHeaderSize(mode);
    std::vector<std::uint8_t> out(offset, 0);
    std::uint8_t* p = out.data();
    p[0] = 'B';
    p[1] = 'M';
    writeLe32(p + 2, offset + restoreRowStride(mode, width) * height);
    writeLe32(p + 10, offset);
    writeLe32(p + 14, static_cast<std::uint32_t>(kInfoHeaderBytes));
    writeLe32(p + 18, width);
    writeLe32(p + 22, height);
    writeLe16(p + 26, 1);
    writeLe16(p + 28, depth);
    writeLe32(p + 38, kRestoreResolution);
    writeLe32(p + 42, kRestoreResolution);
    // The tables never change; each is worked out once.
    static const std::array<std::vector<Rgb>, 9> tables = [] {
        std::array<std::vector<Rgb>, 9> all;
        for (std::uint8_t m = 0; m < all.size(); ++m) all[m] = restoreColourTable(colourModeOfByte(m));
        return all;
    }();
    const std::vector<Rgb>& table = tables[colourModeByte(mode)];
    for (std::size_t i = 0; i < table.size(); ++i) {
        std::uint8_t* e = p + kBmpHeaderBytes + 4 * i;
        e[0] = table[i][2];
        e[1] = table[i][1];
        e[2] = table[i][0];
    }
    return out;
}

// ---- Outputs -------------------------------------------------------------

RestoreFolder::RestoreFolder(std::filesystem::path folder) : folder_(std::move(folder)) {}

RestoreFolder::~RestoreFolder() {
    if (file_ != nullptr) std::fclose(file_);
}

std::string RestoreFolder::fileName(int classNumber) const {
    return (folder_ / kRestoreFileNames[classNumber - 1]).string();
}

bool RestoreFolder::fail(FileProblem::Kind kind) {
    problem_ = FileProblem{kind, current_, {}, {}, errno};
    return false;
}

bool RestoreFolder::begin(int classNumber) {
    end();
    current_ = fileName(classNumber);
    FilePtr f = openFile(current_, "wb");
    if (!f) return fail(FileProblem::Kind::CannotCreate);
    file_ = f.release();
    buffer_.resize(kRestoreWriteBuffer);
    std::setvbuf(file_, buffer_.data(), _IOFBF, buffer_.size());
    return true;
}

bool RestoreFolder::write(std::span<const std::uint8_t> bytes) {
    if (file_ == nullptr || !writeExact(file_, bytes.data(), bytes.size())) return fail(FileProblem::Kind::CannotWrite);
    return true;
}

bool RestoreFolder::end() {
    if (file_ == nullptr) return true;
    const bool flushed = flushFile(file_);
    const int error = errno;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (flushed && closed) return true;
    if (!flushed) errno = error;
    return fail(FileProblem::Kind::CannotWrite);
}

std::string RestoreMemory::fileName(int classNumber) const { return kRestoreFileNames[classNumber - 1]; }

bool RestoreMemory::begin(int classNumber) {
    files.resize(static_cast<std::size_t>(std::max(classNumber, 0)));
    if (classNumber < 1) return false;
    files[static_cast<std::size_t>(classNumber - 1)].clear();
    return true;
}

bool RestoreMemory::write(std::span<const std::uint8_t> bytes) {
    if (files.empty()) return false;
    files.back().insert(files.back().end(), bytes.begin(), bytes.end());
    return true;
}

// ---- Stages --------------------------------------------------------------

RestoreResult restoreDatabaseBytes(std::span<const std::uint8_t> database, MapProject& project,
                                   RestoreOutput& output, Feedback& feedback, const Progress& progress) {
    Restore restore(project, output, feedback, progress);
    return restore.run(database);
}

RestoreResult restoreDatabase(const std::filesystem::path& database, RestoreOutput& output, MapProject& project,
                              Feedback& feedback, const Progress& progress) {
    FilePtr file;
    switch (openDatabaseFile(database, feedback, file)) {
        case DatabaseCheck::Ok: break;
        case DatabaseCheck::NotFound: return RestoreResult::NotFound;
        default: return RestoreResult::CannotOpen;
    }
    BusyScope busy(feedback);
    DatabaseFile bytes;
    // What cannot be read counts as missing: the first read past it fails.
    readDatabaseFile(file.get(), bytes);
    return restoreDatabaseBytes(bytes.bytes(), project, output, feedback, progress);
}

RestoreResult restoreDatabase(const std::filesystem::path& database, const std::filesystem::path& workDir,
                              MapProject& project, Feedback& feedback) {
    for (const char* name : kRestoreFileNames) {
        if (!fileExists(workDir / name)) continue;
        feedback.show(error("Plotvane use [" + std::string(name) + "]file. Please delete it.", Icon::Exclamation));
        return RestoreResult::RestoreFileInTheWay;
    }
    RestoreFolder output(workDir);
    return restoreDatabase(database, output, project, feedback);
}

LoadAccess settleLoadedAccess(MapProject& project) {
    AccessSettings& a = project.access;
    if (a.loadedPassword[0] == '\0') {
        a.viewMode = 0;
        a.readOnly = 1;
        a.fullEdit = 0;
        a.loadedPassword.fill('\0');
        a.loadedBinding.fill(0);
        return LoadAccess::Settled;
    }
    if (!autoCheckReadOnly(loadedPasswordOf(project), a.loadedBinding)) return LoadAccess::AskPassword;
    a.readOnly = 1;
    a.fullEdit = 0;
    a.viewMode = 0;
    return LoadAccess::Settled;
}

std::string_view loadedPasswordOf(const MapProject& project) {
    return std::string_view(project.access.loadedPassword.data(), kPasswordLength);
}

bool acceptPasswordCheck(MapProject& project, const PasswordCheck& check, Feedback& feedback) {
    if (!check.ok) {
        feedback.show(error("Invalid Password !", Icon::Exclamation));
        return false;
    }
    project.access.readOnly = check.mode.readOnly;
    project.access.fullEdit = check.mode.fullEdit;
    project.access.viewMode = check.mode.viewMode;
    return true;
}

void markDatabaseLoaded(MapProject& project) {
    project.access.loadedFlag = 1;
    project.previewClass = 1;
    project.selectedInfoText = 0;
    project.previewCentreX = 80;
    project.previewCentreY = 80;
}

}  // namespace plotvane
