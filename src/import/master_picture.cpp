#include "import/master_picture.h"

#include <cpl_error.h>
#include <gdal.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "import/gdal_library.h"
#include "import/linear_light.h"

namespace plotvane::import {

namespace {

// GDAL's own messages, caught for the length of one call and handed over
// as the reason in the program's message.
class GdalMessages {
public:
    GdalMessages() { CPLPushErrorHandlerEx(&GdalMessages::collect, this); }
    ~GdalMessages() { CPLPopErrorHandler(); }
    GdalMessages(const GdalMessages&) = delete;
    GdalMessages& operator=(const GdalMessages&) = delete;
    const std::string& last() const { return last_; }

private:
    static void CPL_STDCALL collect(CPLErr level, CPLErrorNum, const char* text) {
        auto* self = static_cast<GdalMessages*>(CPLGetErrorHandlerUserData());
        if (self != nullptr && level >= CE_Failure && text != nullptr) self->last_ = text;
    }
    std::string last_;
};

struct DatasetCloser {
    void operator()(void* dataset) const noexcept {
        if (dataset != nullptr) GDALClose(static_cast<GDALDatasetH>(dataset));
    }
};

std::string withReason(std::string text, const std::string& reason) {
    if (!reason.empty()) text += "\n" + reason;
    return text;
}

bool isGrey(const GDALColorEntry& e) { return e.c1 == e.c2 && e.c2 == e.c3; }

// Relative luminance in linear light, for choosing the lighter of two colours.
double luminance(const Rgb& c) {
    const auto& lin = linearFromSrgb();
    return 0.2126 * lin[c[0]] + 0.7152 * lin[c[1]] + 0.0722 * lin[c[2]];
}

// A value over white with `alpha` (0..255) in linear light.
std::uint16_t overWhite(std::uint16_t linear, std::uint8_t alpha) {
    if (alpha == 255) return linear;
    return static_cast<std::uint16_t>(std::lround((alpha * double(linear) + (255 - alpha) * double(kLinearWhite)) / 255.0));
}

}  // namespace

// The open dataset and how its stored values become the master's light.
struct MasterPicture::Gdal {
    std::unique_ptr<void, DatasetCloser> dataset;
    int bands = 1;              // bands read per row
    bool alpha = false;         // the last band read is transparency
    bool palette = false;       // band 1 holds indices into `table`
    std::vector<std::array<std::uint16_t, 4>> table;  // linear r, g, b and the alpha 0..255 per index
    std::array<std::uint16_t, 256> oneBit{};           // index -> 0 or 65535 for a 1-bit master
    bool bitValues = false;                             // a 1-bit picture without a table: 0 black, 1 white
    std::vector<std::uint8_t> row;
    int blockHeight = 1;  // rows of one block of the file
};

MasterPicture::~MasterPicture() = default;

namespace {

// False after a message for a picture whose bands, samples or size no
// master can have; `shownName` names it as the front end shows a name.
bool acceptedMaster(GDALDatasetH ds, const std::string& shownName, Feedback& feedback) {
    const int bandCount = GDALGetRasterCount(ds);
    if (bandCount < 1 || bandCount > 4) {
        feedback.show(warning("Error : The picture " + shownName + " has " + std::to_string(bandCount) +
                              " bands; a master picture is colour (3 bands), grey (1), a palette (1), or one of these "
                              "with transparency."));
        return false;
    }
    for (int b = 1; b <= bandCount; ++b) {
        const GDALDataType type = GDALGetRasterDataType(GDALGetRasterBand(ds, b));
        if (type == GDT_Byte) continue;
        feedback.show(warning("Error : The picture " + shownName + " has " + std::to_string(GDALGetDataTypeSizeBits(type)) +
                              "-bit samples (" + GDALGetDataTypeName(type) +
                              "); a master picture needs 8-bit samples: colour, grey or a palette."));
        return false;
    }

    // A row of the master is held in memory several times over; a side
    // beyond this would ask for gigabytes on the word of a file header.
    const int width = GDALGetRasterXSize(ds);
    const int height = GDALGetRasterYSize(ds);
    if (width > kMaxMasterSide || height > kMaxMasterSide) {
        feedback.show(warning("Error : The picture " + shownName + " is " + std::to_string(width) + " x " +
                              std::to_string(height) + " pixels; a master picture can have at most " +
                              std::to_string(kMaxMasterSide) + " pixels a side."));
        return false;
    }
    return true;
}

}  // namespace

std::unique_ptr<MasterPicture> MasterPicture::open(const std::filesystem::path& path, Feedback& feedback) {
    ensureGdalReady();
    const std::string name = path.string();
    const std::string shownName = feedback.shown(name);
    GdalMessages messages;
    std::unique_ptr<void, DatasetCloser> dataset(
        GDALOpenEx(name.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY | GDAL_OF_VERBOSE_ERROR, nullptr, nullptr, nullptr));
    if (!dataset) {
        feedback.show(
            warning(withReason("Error : Cannot read the picture " + shownName + ".", feedback.shown(messages.last()))));
        return nullptr;
    }
    auto* ds = static_cast<GDALDatasetH>(dataset.get());
    if (!acceptedMaster(ds, shownName, feedback)) return nullptr;
    const int bandCount = GDALGetRasterCount(ds);

    std::unique_ptr<MasterPicture> master(new MasterPicture);
    master->path_ = path;
    master->width_ = static_cast<std::uint32_t>(GDALGetRasterXSize(ds));
    master->height_ = static_cast<std::uint32_t>(GDALGetRasterYSize(ds));
    master->gdal_ = std::make_unique<Gdal>();
    Gdal& gdal = *master->gdal_;
    gdal.bands = bandCount;
    gdal.alpha = bandCount == 2 || bandCount == 4;

    GDALRasterBandH first = GDALGetRasterBand(ds, 1);
    master->decideKind(first);
    int blockWidth = 0;
    GDALGetBlockSize(first, &blockWidth, &gdal.blockHeight);
    gdal.blockHeight = std::max(gdal.blockHeight, 1);
    gdal.row.resize(static_cast<std::size_t>(master->width_) * static_cast<std::size_t>(bandCount));
    gdal.dataset = std::move(dataset);
    return master;
}

void MasterPicture::decideKind(void* firstBand) {
    Gdal& gdal = *gdal_;
    GDALColorTableH table = gdal.bands <= 2 ? GDALGetRasterColorTable(firstBand) : nullptr;
    if (table != nullptr) {
        readPalette(table);
    } else {
        const char* nbits = GDALGetMetadataItem(firstBand, "NBITS", "IMAGE_STRUCTURE");
        gdal.bitValues = gdal.bands == 1 && nbits != nullptr && std::string(nbits) == "1";
        kind_ = gdal.bitValues ? MasterKind::OneBit : gdal.bands <= 2 ? MasterKind::Grey : MasterKind::Colour;
        if (gdal.bitValues) oneBitColours_ = {Rgb{0, 0, 0}, Rgb{255, 255, 255}};
    }
    if (kind_ == MasterKind::OneBit) {
        lighterIndex_ = luminance(oneBitColours_[1]) >= luminance(oneBitColours_[0]) ? 1 : 0;
        gdal.oneBit.fill(0);
        gdal.oneBit[static_cast<std::size_t>(lighterIndex_)] = static_cast<std::uint16_t>(kLinearWhite);
    }
}

void MasterPicture::readPalette(void* colourTable) {
    auto* table = static_cast<GDALColorTableH>(colourTable);
    Gdal& gdal = *gdal_;
    const auto& lin = linearFromSrgb();
    gdal.palette = true;
    const int entries = std::clamp(GDALGetColorEntryCount(table), 0, 256);
    bool grey = true;
    for (int i = 0; i < 256; ++i) {
        GDALColorEntry e{0, 0, 0, 255};
        if (i < entries) GDALGetColorEntryAsRGB(table, i, &e);
        grey = grey && (i >= entries || isGrey(e));
        gdal.table.push_back({lin[static_cast<std::uint8_t>(e.c1)], lin[static_cast<std::uint8_t>(e.c2)],
                              lin[static_cast<std::uint8_t>(e.c3)], static_cast<std::uint16_t>(e.c4)});
        if (i < 2) oneBitColours_[static_cast<std::size_t>(i)] = {
            static_cast<std::uint8_t>(e.c1), static_cast<std::uint8_t>(e.c2), static_cast<std::uint8_t>(e.c3)};
    }
    kind_ = entries <= 2 ? MasterKind::OneBit : grey ? MasterKind::Grey : MasterKind::Colour;
}

bool MasterPicture::readRow(std::uint32_t y, std::span<std::uint16_t> linear, Feedback& feedback) {
    Gdal& g = *gdal_;
    auto* ds = static_cast<GDALDatasetH>(g.dataset.get());
    GdalMessages messages;
    const int w = static_cast<int>(width_);
    if (GDALDatasetRasterIO(ds, GF_Read, 0, static_cast<int>(y), w, 1, g.row.data(), w, 1, GDT_Byte, g.bands, nullptr,
                            g.bands, 0, 1) != CE_None) {
        feedback.show(warning(withReason("Error : Cannot read row " + std::to_string(y + 1) + " of the picture " +
                                             feedback.shown(path_.string()) + ".",
                                         feedback.shown(messages.last()))));
        return false;
    }
    // Each row is read once: the blocks of a row of blocks are dropped once
    // it is done, so the cache holds one row of blocks, not the picture.
    if ((y + 1) % static_cast<std::uint32_t>(g.blockHeight) == 0)
        for (int b = 1; b <= g.bands; ++b) GDALFlushRasterCache(GDALGetRasterBand(ds, b));
    const auto& lin = linearFromSrgb();
    const std::uint8_t* in = g.row.data();
    const auto n = static_cast<std::size_t>(width_);
    if (kind_ == MasterKind::OneBit) {
        for (std::size_t x = 0; x < n; ++x) {
            const std::uint8_t v = in[x * static_cast<std::size_t>(g.bands)];
            linear[x] = g.bitValues ? (v != 0 ? static_cast<std::uint16_t>(kLinearWhite) : 0) : g.oneBit[v];
        }
        return true;
    }
    if (g.palette) {
        const int c = channels();
        for (std::size_t x = 0; x < n; ++x) {
            const auto& e = g.table[in[x * static_cast<std::size_t>(g.bands)]];
            const auto alpha = static_cast<std::uint8_t>(e[3]);
            for (int k = 0; k < c; ++k) linear[x * c + k] = overWhite(e[static_cast<std::size_t>(k)], alpha);
        }
        return true;
    }
    const int c = channels();
    const int stride = g.bands;
    if (!g.alpha) {
        const std::size_t count = n * static_cast<std::size_t>(c);
        for (std::size_t i = 0; i < count; ++i) linear[i] = lin[in[i]];
        return true;
    }
    for (std::size_t x = 0; x < n; ++x) {
        const std::uint8_t* p = in + x * static_cast<std::size_t>(stride);
        const std::uint8_t alpha = p[stride - 1];
        for (int k = 0; k < c; ++k) linear[x * c + k] = overWhite(lin[p[k]], alpha);
    }
    return true;
}

}  // namespace plotvane::import
