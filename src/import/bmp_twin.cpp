#include "import/bmp_twin.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "import/gdal_handles.h"
#include "project/byte_order.h"
#include "project/files.h"
#include "project/interrupt_cleanup.h"

namespace plotvane::import {

namespace {

constexpr int kMinSide = 160;
constexpr int kMaxSide = 4096;
// Rows read between two drops of GDAL's block cache: the cache then holds
// a few rows, not the whole picture, whatever its block layout.
constexpr int kRowsPerCacheDrop = 32;

std::uint8_t overWhite(int value, int alpha) {
    return static_cast<std::uint8_t>((value * alpha + 255 * (255 - alpha) + 127) / 255);
}

Message refusedBox(std::string text) { return warning(std::move(text), Icon::Information); }

std::uint16_t bitCountForEntries(std::size_t entries) {
    if (entries <= 2) return 1;
    if (entries <= 16) return 4;
    return 8;
}

bool paletteLayout(GDALRasterBandH band, TwinLayout& layout) {
    GDALColorTableH table = GDALGetRasterColorTable(band);
    if (table == nullptr) return false;
    const int count = GDALGetColorEntryCount(table);
    if (count < 1 || count > 256) return false;
    layout.kind = TwinLayout::Kind::Palette;
    layout.bands = 1;
    for (int i = 0; i < count; ++i) {
        GDALColorEntry e{};
        GDALGetColorEntryAsRGB(table, i, &e);
        const int a = e.c4 < 0 ? 0 : (e.c4 > 255 ? 255 : e.c4);
        layout.table.push_back({overWhite(e.c1, a), overWhite(e.c2, a), overWhite(e.c3, a)});
    }
    layout.bitCount = bitCountForEntries(layout.table.size());
    return true;
}

// Grey levels of a band of 1 to 8 bits.
void greyLayout(GDALRasterBandH band, TwinLayout& layout) {
    int bits = 8;
    if (const char* nbits = GDALGetMetadataItem(band, "NBITS", "IMAGE_STRUCTURE"))
        bits = std::atoi(nbits);
    if (bits < 1 || bits > 8) bits = 8;
    const int levels = 1 << bits;
    for (int i = 0; i < levels; ++i) {
        const auto g = static_cast<std::uint8_t>((i * 255 + (levels - 1) / 2) / (levels - 1));
        layout.table.push_back({g, g, g});
    }
    layout.bitCount = bitCountForEntries(layout.table.size());
}

std::string describeType(GDALDataType type) {
    const int bits = GDALGetDataTypeSizeBits(type);
    std::string text = std::to_string(bits) + "-bit";
    if (GDALDataTypeIsFloating(type)) text += " floating-point";
    else if (GDALDataTypeIsSigned(type)) text += " signed";
    return text + " samples";
}

const char* const kAcceptedPictures =
    "The classes take grey, colour or palette pictures of 8 bits per sample, with or without "
    "transparency.";

// False, with the refusal, for a picture whose bands, samples or size no
// class takes.
bool acceptedShape(GDALDatasetH dataset, const std::string& what, Message& refusal) {
    const int width = GDALGetRasterXSize(dataset);
    const int height = GDALGetRasterYSize(dataset);
    const int bands = GDALGetRasterCount(dataset);
    const std::string accepted = kAcceptedPictures;
    if (bands < 1 || bands > 4) {
        refusal = refusedBox("This picture (" + what + ") has " + std::to_string(bands) + " bands.\n" + accepted);
        return false;
    }
    for (int b = 1; b <= bands; ++b) {
        const GDALDataType type = GDALGetRasterDataType(GDALGetRasterBand(dataset, b));
        if (type != GDT_Byte) {
            refusal = refusedBox("This picture (" + what + ") has " + describeType(type) +
                                 ", which cannot be reduced to 8 bits without a choice.\n" + accepted +
                                 "\nPlease save it with 8 bits per sample.");
            return false;
        }
    }
    if (width < kMinSide || height < kMinSide || width > kMaxSide || height > kMaxSide) {
        refusal = refusedBox("This picture (" + what + ") is " + std::to_string(width) + " x " +
                             std::to_string(height) + " pixels.\nThe classes take 160 to 4096 pixels each way.");
        return false;
    }
    return true;
}

// The layout of a picture without a palette, by its number of bands.
bool bandsLayout(GDALDatasetH dataset, const std::string& what, TwinLayout& layout, Message& refusal) {
    const int bands = GDALGetRasterCount(dataset);
    GDALRasterBandH first = GDALGetRasterBand(dataset, 1);
    switch (bands) {
        case 1:
            layout.kind = TwinLayout::Kind::Grey;
            layout.bands = 1;
            greyLayout(first, layout);
            return true;
        case 2:
            layout.kind = TwinLayout::Kind::GreyAlpha;
            layout.bands = 2;
            greyLayout(first, layout);  // 8 bits: grey with alpha has no fewer
            layout.table.resize(256);
            for (int i = 0; i < 256; ++i) {
                const auto g = static_cast<std::uint8_t>(i);
                layout.table[static_cast<std::size_t>(i)] = {g, g, g};
            }
            layout.bitCount = 8;
            return true;
        case 3:
            layout.kind = TwinLayout::Kind::Colour;
            layout.bands = 3;
            layout.bitCount = 24;
            return true;
        default:
            if (GDALGetRasterColorInterpretation(GDALGetRasterBand(dataset, bands)) != GCI_AlphaBand) {
                refusal = refusedBox("This picture (" + what +
                                     ") has 4 bands that are not red, green, blue and alpha.\n" + kAcceptedPictures);
                return false;
            }
            layout.kind = TwinLayout::Kind::ColourAlpha;
            layout.bands = 4;
            layout.bitCount = 24;
            return true;
    }
}

}  // namespace

bool chooseTwinLayout(GDALDatasetH dataset, const std::string& what, TwinLayout& layout, Message& refusal) {
    layout = TwinLayout{};
    if (!acceptedShape(dataset, what, refusal)) return false;
    const int bands = GDALGetRasterCount(dataset);
    GDALRasterBandH first = GDALGetRasterBand(dataset, 1);
    if (GDALGetRasterColorInterpretation(first) == GCI_PaletteIndex) {
        if (bands == 1 && paletteLayout(first, layout)) return true;
        refusal = refusedBox("This picture (" + what + ") has a palette with " + std::to_string(bands - 1) +
                             " further bands.\n" + kAcceptedPictures);
        return false;
    }
    return bandsLayout(dataset, what, layout, refusal);
}

namespace {

std::uint64_t twinRowBytes(int width, std::uint16_t bitCount) {
    return (static_cast<std::uint64_t>(width) * bitCount + 7) / 8;
}

std::uint64_t twinStride(int width, std::uint16_t bitCount) { return (twinRowBytes(width, bitCount) + 3) / 4 * 4; }

std::vector<std::uint8_t> twinHeaders(int width, int height, const TwinLayout& layout) {
    const std::uint32_t tableBytes = static_cast<std::uint32_t>(layout.table.size() * 4);
    const std::uint32_t offBits = 54 + tableBytes;
    const std::uint64_t imageBytes = twinStride(width, layout.bitCount) * static_cast<std::uint64_t>(height);
    std::vector<std::uint8_t> out(offBits, 0);
    std::uint8_t* p = out.data();
    p[0] = 'B';
    p[1] = 'M';
    writeLe32(p + 2, static_cast<std::uint32_t>(offBits + imageBytes));
    writeLe32(p + 10, offBits);
    writeLe32(p + 14, 40);
    writeLe32(p + 18, static_cast<std::uint32_t>(width));
    writeLe32(p + 22, static_cast<std::uint32_t>(height));
    writeLe16(p + 26, 1);
    writeLe16(p + 28, layout.bitCount);
    writeLe32(p + 34, static_cast<std::uint32_t>(imageBytes));
    writeLe32(p + 38, 2835);
    writeLe32(p + 42, 2835);
    writeLe32(p + 46, static_cast<std::uint32_t>(layout.table.size()));
    std::uint8_t* t = p + 54;
    for (const Rgb& c : layout.table) {
        t[0] = c[2];
        t[1] = c[1];
        t[2] = c[0];
        t += 4;
    }
    return out;
}

// One picture row of `layout.bands` interleaved samples into a stored row.
void packRow(const TwinLayout& layout, const std::uint8_t* samples, int width, std::uint8_t* row) {
    const int n = layout.bands;
    switch (layout.kind) {
        case TwinLayout::Kind::Palette:
        case TwinLayout::Kind::Grey:
            for (int x = 0; x < width; ++x) {
                const std::uint8_t v = samples[x];
                switch (layout.bitCount) {
                    case 1:
                        if (v & 1u) row[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
                        break;
                    case 4: row[x / 2] |= static_cast<std::uint8_t>((v & 15u) << (x % 2 == 0 ? 4 : 0)); break;
                    default: row[x] = v; break;
                }
            }
            return;
        case TwinLayout::Kind::GreyAlpha:
            for (int x = 0; x < width; ++x) row[x] = overWhite(samples[n * x], samples[n * x + 1]);
            return;
        case TwinLayout::Kind::Colour:
        case TwinLayout::Kind::ColourAlpha:
            for (int x = 0; x < width; ++x) {
                const std::uint8_t* s = samples + n * x;
                const int a = layout.kind == TwinLayout::Kind::ColourAlpha ? s[3] : 255;
                row[3 * x] = overWhite(s[2], a);
                row[3 * x + 1] = overWhite(s[1], a);
                row[3 * x + 2] = overWhite(s[0], a);
            }
            return;
    }
}

// Removes the unfinished file on every path that does not rename it.
class UnfinishedTwin {
public:
    explicit UnfinishedTwin(const std::filesystem::path& target) {
        InterruptBlock block;
        file_ = createUniqueSibling(target, path_);
        if (file_) slot_ = addCleanupFile(path_);
    }
    ~UnfinishedTwin() {
        file_.reset();
        if (!kept_ && !path_.empty()) removeIfExists(path_);
        dropCleanupFile(slot_);
    }
    UnfinishedTwin(const UnfinishedTwin&) = delete;
    UnfinishedTwin& operator=(const UnfinishedTwin&) = delete;

    std::FILE* stream() const { return file_.get(); }
    const std::filesystem::path& path() const { return path_; }
    // Closes the file and renames it to `target`; false with errno set.
    bool finish(const std::filesystem::path& target) {
        if (!flushFile(file_.get())) return false;
        if (std::fclose(file_.release()) != 0) return false;
        if (!renameFile(path_, target)) return false;
        kept_ = true;
        return true;
    }

private:
    FilePtr file_;
    std::filesystem::path path_;
    int slot_ = -1;
    bool kept_ = false;
};

}  // namespace

TwinResult writeBmpTwin(GDALDatasetH dataset, const TwinLayout& layout, const std::string& what,
                 const std::filesystem::path& target, Feedback& feedback) {
    const int width = GDALGetRasterXSize(dataset);
    std::vector<int> bandList(static_cast<std::size_t>(layout.bands));
    for (int b = 0; b < layout.bands; ++b) bandList[static_cast<std::size_t>(b)] = b + 1;
    const TwinRows rows = [&](int y, std::uint8_t* samples) {
        const CPLErr read = GDALDatasetRasterIO(dataset, GF_Read, 0, y, width, 1, samples, width, 1, GDT_Byte,
                                                layout.bands, bandList.data(), layout.bands,
                                                static_cast<GSpacing>(width) * layout.bands, 1);
        if ((y + 1) % kRowsPerCacheDrop == 0) GDALFlushCache(dataset);
        return read == CE_None;
    };
    return writeBmpTwin(width, GDALGetRasterYSize(dataset), layout, rows, what, target, feedback);
}

TwinResult writeBmpTwin(int width, int height, const TwinLayout& layout, const TwinRows& rows, const std::string& what,
                 const std::filesystem::path& target, Feedback& feedback) {
    const Message cannotWrite = error("Cannot make temp file (" + feedback.shown(target.filename().string()) + ").");
    UnfinishedTwin out(target);
    if (out.stream() == nullptr) {
        const int err = errno;
        feedback.show(cannotWrite);
        feedback.explain(FileProblem{FileProblem::Kind::CannotCreate, target, {}, {}, err});
        return TwinResult::Unwritable;
    }
    const auto fail = [&](int err) {
        feedback.show(cannotWrite);
        feedback.explain(FileProblem{FileProblem::Kind::CannotWrite, out.path(), {}, {}, err});
        return TwinResult::Unwritable;
    };
    const std::vector<std::uint8_t> headers = twinHeaders(width, height, layout);
    if (!writeExact(out.stream(), headers.data(), headers.size())) return fail(errno);

    const std::uint64_t stride = twinStride(width, layout.bitCount);
    std::vector<std::uint8_t> samples(static_cast<std::size_t>(width) * static_cast<std::size_t>(layout.bands));
    std::vector<std::uint8_t> row(stride);
    BusyScope busy(feedback);
    GdalMessages messages;
    for (int y = 0; y < height; ++y) {
        if (!rows(y, samples.data())) {
            feedback.show(warning("Error : Cannot read this picture (" + what + ").\n" +
                                  feedback.shown(messages.lastFailure("The picture ends early or is damaged."))));
            return TwinResult::Unreadable;
        }
        std::fill(row.begin(), row.end(), std::uint8_t{0});
        packRow(layout, samples.data(), width, row.data());
        const std::uint64_t offset = headers.size() + stride * static_cast<std::uint64_t>(height - 1 - y);
        if (!seekTo(out.stream(), offset) || !writeExact(out.stream(), row.data(), row.size())) return fail(errno);
    }
    if (!out.finish(target)) return fail(errno);
    return TwinResult::Written;
}

}  // namespace plotvane::import
