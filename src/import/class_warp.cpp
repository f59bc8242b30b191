#include "import/class_warp.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

#include <cpl_conv.h>
#include <cpl_string.h>
#include <gdal_alg.h>
#include <gdalwarper.h>

#include "import/bmp_twin.h"
#include "import/gdal_handles.h"
#include "import/gdal_library.h"
#include "import/picture_import.h"
#include "project/files.h"

namespace plotvane::import {

namespace {

constexpr int kMinSide = 160;
constexpr int kMaxSide = 4096;
// Every magnification between classes (2, 4 or 8) divides Class 1's sides.
constexpr int kSideMultiple = 8;
// Rows reprojected at a time, and GDAL's working memory for them.
constexpr int kStripRows = 64;
constexpr double kWarpMemoryBytes = 4.0 * 1024 * 1024;
// GDAL's approximation of the transformation: an eighth of a pixel at most.
constexpr double kApproximationPixels = 0.125;
constexpr double kPi = 3.14159265358979323846;
// Points followed along each edge of the map for its extent.
constexpr int kEdgeSamples = 64;

struct TransformerDestroyer {
    void operator()(void* transformer) const noexcept {
        if (transformer != nullptr) GDALDestroyGenImgProjTransformer(transformer);
    }
};
using TransformerPtr = std::unique_ptr<void, TransformerDestroyer>;

struct ApproxDestroyer {
    void operator()(void* transformer) const noexcept {
        if (transformer != nullptr) GDALDestroyApproxTransformer(transformer);
    }
};
using ApproxPtr = std::unique_ptr<void, ApproxDestroyer>;

struct WarpOperationDestroyer {
    void operator()(void* operation) const noexcept {
        if (operation != nullptr) GDALDestroyWarpOperation(static_cast<GDALWarpOperationH>(operation));
    }
};
using WarpOperationPtr = std::unique_ptr<void, WarpOperationDestroyer>;

struct WarpOptionsDestroyer {
    void operator()(GDALWarpOptions* options) const noexcept {
        if (options != nullptr) GDALDestroyWarpOptions(options);
    }
};
using WarpOptionsPtr = std::unique_ptr<GDALWarpOptions, WarpOptionsDestroyer>;

Message refusal(std::string text) { return warning(std::move(text), Icon::Exclamation); }

// Longitude is x and latitude y, whatever order the systems declare.
SpatialReferencePtr systemOf(const std::string& wkt) {
    SpatialReferencePtr srs(OSRNewSpatialReference(nullptr));
    if (OSRSetFromUserInput(srs.get(), wkt.c_str()) != OGRERR_NONE) return nullptr;
    OSRSetAxisMappingStrategy(srs.get(), OAMS_TRADITIONAL_GIS_ORDER);
    return srs;
}

SpatialReferencePtr latLongSystem() {
    SpatialReferencePtr srs(OSRNewSpatialReference(nullptr));
    OSRSetWellKnownGeogCS(srs.get(), "WGS84");
    OSRSetAxisMappingStrategy(srs.get(), OAMS_TRADITIONAL_GIS_ORDER);
    return srs;
}

std::string wktOf(OGRSpatialReferenceH srs) {
    char* wkt = nullptr;
    OSRExportToWkt(srs, &wkt);
    std::string out = wkt != nullptr ? wkt : "";
    CPLFree(wkt);
    return out;
}

int roundUpToMultiple(double value, int multiple) {
    const double whole = std::ceil(value - 1e-9);
    return static_cast<int>(std::ceil(whole / multiple)) * multiple;
}

std::uint64_t mix(std::uint64_t hash, std::uint64_t value) {
    for (int i = 0; i < 8; ++i) {
        hash ^= (value >> (8 * i)) & 0xFF;
        hash *= 1099511628211ull;
    }
    return hash;
}

// The entry nearest to white: what lies outside the map is white.
int whiteIndex(const TwinLayout& layout) {
    int best = 0;
    int bestSum = -1;
    for (std::size_t i = 0; i < layout.table.size(); ++i) {
        const Rgb& c = layout.table[i];
        const int sum = c[0] + c[1] + c[2];
        if (sum > bestSum) {
            bestSum = sum;
            best = static_cast<int>(i);
        }
    }
    return best;
}

struct Extent {
    double west = 0;
    double south = 0;
    double east = 0;
    double north = 0;
};

// The whole map's extent in latitude and longitude, `width` x `height`
// pixels through `transformer`: its outer edges followed, not only its
// corners. False when part of an edge lies outside its coordinate system.
bool edgeExtent(void* transformer, int width, int height, Extent& out) {
    std::vector<double> x, y;
    for (int i = 0; i <= kEdgeSamples; ++i) {
        const double fx = static_cast<double>(width) * i / kEdgeSamples;
        const double fy = static_cast<double>(height) * i / kEdgeSamples;
        for (const auto& [px, py] : {std::pair{fx, 0.0}, std::pair{fx, static_cast<double>(height)},
                                     std::pair{0.0, fy}, std::pair{static_cast<double>(width), fy}}) {
            x.push_back(px);
            y.push_back(py);
        }
    }
    std::vector<double> z(x.size(), 0.0);
    std::vector<int> edgeOk(x.size(), 0);
    GDALGenImgProjTransform(transformer, FALSE, static_cast<int>(x.size()), x.data(), y.data(), z.data(),
                            edgeOk.data());
    if (std::find(edgeOk.begin(), edgeOk.end(), 0) != edgeOk.end()) return false;
    const auto [west, east] = std::minmax_element(x.begin(), x.end());
    const auto [south, north] = std::minmax_element(y.begin(), y.end());
    out = {*west, *south, *east, *north};
    return true;
}

// The ground a pixel at the map's centre covers, in degrees of latitude
// along each of its sides, and cos(latitude) there: a degree of longitude
// is that much of a degree of latitude.
struct CentrePixel {
    double shrink = 0;
    double alongX = 0;
    double alongY = 0;
};

bool centrePixel(void* transformer, int width, int height, CentrePixel& out) {
    double cx[3] = {width / 2.0, width / 2.0 + 1, width / 2.0};
    double cy[3] = {height / 2.0, height / 2.0, height / 2.0 + 1};
    double cz[3] = {0, 0, 0};
    int ok[3] = {0, 0, 0};
    GDALGenImgProjTransform(transformer, FALSE, 3, cx, cy, cz, ok);
    if (!ok[0] || !ok[1] || !ok[2]) return false;
    out.shrink = std::cos(cy[0] * kPi / 180.0);
    out.alongX = std::hypot((cx[1] - cx[0]) * out.shrink, cy[1] - cy[0]);
    out.alongY = std::hypot((cx[2] - cx[0]) * out.shrink, cy[2] - cy[0]);
    return true;
}

// The class covers Class 1's ground: its pixels are smaller by its own size.
std::array<double, 6> classPixelToSystem(const Georeference& classOne, int ownWidth, int ownHeight) {
    std::array<double, 6> pixelToSystem = classOne.pixelToSystem;
    const double sx = static_cast<double>(classOne.width) / ownWidth;
    const double sy = static_cast<double>(classOne.height) / ownHeight;
    pixelToSystem[1] *= sx;
    pixelToSystem[4] *= sx;
    pixelToSystem[2] *= sy;
    pixelToSystem[5] *= sy;
    return pixelToSystem;
}

// GDAL's warper set up from `picture` onto a strip of rows, through
// `transformer`: the colour bands warped, transparency as alpha, white
// outside the map.
WarpOptionsPtr warpOptions(GDALDatasetH picture, GDALDatasetH rows, const TwinLayout& layout, void* transformer) {
    const int bands = layout.bands;
    const bool alpha = layout.kind == TwinLayout::Kind::ColourAlpha || layout.kind == TwinLayout::Kind::GreyAlpha;
    const int colourBands = alpha ? bands - 1 : bands;
    WarpOptionsPtr options(GDALCreateWarpOptions());
    options->hSrcDS = picture;
    options->hDstDS = rows;
    options->nBandCount = colourBands;
    options->panSrcBands = static_cast<int*>(CPLMalloc(sizeof(int) * static_cast<std::size_t>(colourBands)));
    options->panDstBands = static_cast<int*>(CPLMalloc(sizeof(int) * static_cast<std::size_t>(colourBands)));
    for (int b = 0; b < colourBands; ++b) options->panSrcBands[b] = options->panDstBands[b] = b + 1;
    if (alpha) options->nSrcAlphaBand = options->nDstAlphaBand = bands;
    // A palette's indices are not quantities: the nearest one is taken.
    options->eResampleAlg = layout.kind == TwinLayout::Kind::Palette ? GRA_NearestNeighbour : GRA_Bilinear;
    options->dfWarpMemoryLimit = kWarpMemoryBytes;
    const int white = layout.kind == TwinLayout::Kind::Palette ? whiteIndex(layout) : 255;
    options->papszWarpOptions = CSLSetNameValue(options->papszWarpOptions, "INIT_DEST", std::to_string(white).c_str());
    options->pfnTransformer = GDALApproxTransform;
    options->pTransformerArg = transformer;
    return options;
}

}  // namespace

std::optional<ClassWarp> ClassWarp::plan(const Georeference& classOne, Feedback& feedback) {
    ensureGdalReady();
    GdalMessages messages;
    const auto cannot = [&](const std::string& why) {
        feedback.show(refusal("The classes cannot be reprojected to latitude/longitude:\n" +
                              feedback.shown(messages.lastFailure(why))));
        return std::nullopt;
    };
    const SpatialReferencePtr source = systemOf(classOne.systemWkt);
    const SpatialReferencePtr target = latLongSystem();
    if (!source || classOne.width <= 0 || classOne.height <= 0) return cannot("the map's coordinate system cannot be read");
    const TransformerPtr transformer(
        GDALCreateGenImgProjTransformer4(source.get(), classOne.pixelToSystem.data(), target.get(), nullptr, nullptr));
    if (!transformer) return cannot("no transformation is known");

    Extent extent;
    if (!edgeExtent(transformer.get(), classOne.width, classOne.height, extent))
        return cannot("the map lies outside its coordinate system");
    CentrePixel centre;
    if (!centrePixel(transformer.get(), classOne.width, classOne.height, centre))
        return cannot("the map lies outside its coordinate system");
    const double shrink = centre.shrink;
    const double alongX = centre.alongX;
    const double alongY = centre.alongY;
    if (!(alongX > 0) || !(alongY > 0) || !(shrink > 0)) return cannot("the map's pixels have no size");

    ClassWarp warp;
    warp.source_ = classOne;
    warp.west_ = extent.west;
    warp.south_ = extent.south;
    warp.east_ = extent.east;
    warp.north_ = extent.north;
    // A pixel as long on the ground as the picture's own, at the centre.
    const int width = roundUpToMultiple((warp.east_ - warp.west_) * shrink / alongX, kSideMultiple);
    const int height = roundUpToMultiple((warp.north_ - warp.south_) / alongY, kSideMultiple);
    warp.sizes_[0] = {classOne.width, classOne.height, width, height};
    const std::array<double, 6> grid = {warp.west_, (warp.east_ - warp.west_) / width, 0,
                                        warp.north_, 0, -(warp.north_ - warp.south_) / height};
    if (!describePicture(classOne.source + ", reprojected to latitude/longitude", wktOf(target.get()), grid, width,
                         height, "the reprojected map", warp.warped_, feedback))
        return std::nullopt;
    return warp;
}

bool ClassWarp::reprojectedPixel(double x, double y, double& outX, double& outY) const {
    const SpatialReferencePtr source = systemOf(source_.systemWkt);
    const SpatialReferencePtr target = latLongSystem();
    if (!source) return false;
    const TransformerPtr transformer(
        GDALCreateGenImgProjTransformer4(source.get(), source_.pixelToSystem.data(), target.get(), nullptr, nullptr));
    if (!transformer) return false;
    double z = 0;
    int ok = 0;
    GDALGenImgProjTransform(transformer.get(), FALSE, 1, &x, &y, &z, &ok);
    if (!ok) return false;
    outX = (x - west_) / (east_ - west_) * sizes_[0].warpedWidth;
    outY = (north_ - y) / (north_ - south_) * sizes_[0].warpedHeight;
    return true;
}

WarpResult ClassWarp::warpClass(int classIndex, const std::filesystem::path& bmp, const std::string& pictureName,
                                const std::filesystem::path& workDir, Feedback& feedback,
                                std::filesystem::path& warped) {
    ensureGdalReady();
    GdalMessages messages;
    const std::string shownName = feedback.shown(pictureName);
    const std::string what = "Class " + std::to_string(classIndex + 1) + ", " + shownName;
    const auto cannot = [&](const std::string& why) {
        feedback.show(refusal("This picture (" + what + ") cannot be reprojected to latitude/longitude:\n" +
                              feedback.shown(messages.lastFailure(why))));
        return WarpResult::Refused;
    };
    if (classIndex < 0 || classIndex >= kClassSlots || (classIndex > 0 && sizes_[classIndex - 1].warpedWidth == 0))
        return cannot("the classes before it were not reprojected");
    DatasetPtr picture = openRaster(bmp.string());
    if (!picture) return cannot("GDAL cannot read it");
    const Sizes sizes = sizesOf(classIndex, GDALGetRasterXSize(picture.get()), GDALGetRasterYSize(picture.get()));
    if (sizes.warpedWidth < kMinSide || sizes.warpedHeight < kMinSide || sizes.warpedWidth > kMaxSide ||
        sizes.warpedHeight > kMaxSide) {
        feedback.show(refusal("Reprojected to latitude/longitude, Class " + std::to_string(classIndex + 1) +
                              " (" + shownName + ") would be " + std::to_string(sizes.warpedWidth) + " x " +
                              std::to_string(sizes.warpedHeight) +
                              " pixels.\nThe classes take 160 to 4096 pixels each way."));
        return WarpResult::Refused;
    }
    TwinLayout layout;
    Message refused;
    if (!chooseTwinLayout(picture.get(), what, layout, refused)) {
        feedback.show(refused);
        return WarpResult::Refused;
    }

    const std::filesystem::path target = pictureTwinPath(bmp, workDir, gridVariant(sizes));
    if (target.empty()) return cannot("its file cannot be found");
    if (!fileExists(target)) {
        std::string why;
        if (!reproject(picture.get(), layout, sizes, what, target, feedback, why))
            return why.empty() ? WarpResult::Refused : cannot(why);
    }
    // Only an accepted class is recorded: after a refusal the next class is
    // sized from the last one accepted.
    sizes_[static_cast<std::size_t>(classIndex)] = sizes;
    warped = target;
    return WarpResult::Warped;
}

ClassWarp::Sizes ClassWarp::sizesOf(int classIndex, int ownWidth, int ownHeight) const {
    // The magnification of the pictures themselves, kept exactly.
    Sizes sizes{ownWidth, ownHeight, sizes_[0].warpedWidth, sizes_[0].warpedHeight};
    if (classIndex > 0) {
        const Sizes& upper = sizes_[static_cast<std::size_t>(classIndex - 1)];
        sizes.warpedWidth = upper.warpedWidth * std::max(1, ownWidth / upper.ownWidth);
        sizes.warpedHeight = upper.warpedHeight * std::max(1, ownHeight / upper.ownHeight);
    }
    return sizes;
}

// A reprojected picture is named after the picture and the grid it is
// reprojected onto.
std::uint64_t ClassWarp::gridVariant(const Sizes& sizes) const {
    std::uint64_t variant = 14695981039346656037ull;
    for (const double v : {west_, north_, east_, south_}) variant = mix(variant, std::bit_cast<std::uint64_t>(v));
    variant = mix(mix(variant, static_cast<std::uint64_t>(sizes.warpedWidth)), static_cast<std::uint64_t>(sizes.warpedHeight));
    return variant | 1u;
}

bool ClassWarp::reproject(void* picture, const TwinLayout& layout, const Sizes& sizes, const std::string& what,
                          const std::filesystem::path& target, Feedback& feedback, std::string& why) const {
    const auto fail = [&](const char* reason) {
        why = reason;
        return false;
    };
    const std::array<double, 6> pixelToSystem = classPixelToSystem(source_, sizes.ownWidth, sizes.ownHeight);
    const double stepX = (east_ - west_) / sizes.warpedWidth;
    const double stepY = (north_ - south_) / sizes.warpedHeight;
    std::array<double, 6> strip = {west_, stepX, 0, north_, 0, -stepY};

    const SpatialReferencePtr source = systemOf(source_.systemWkt);
    const SpatialReferencePtr target84 = latLongSystem();
    if (!source) return fail("the map's coordinate system cannot be read");
    void* exact = GDALCreateGenImgProjTransformer4(source.get(), pixelToSystem.data(), target84.get(), strip.data(),
                                                   nullptr);
    if (exact == nullptr) return fail("no transformation is known");
    const ApproxPtr approx(GDALCreateApproxTransformer(GDALGenImgProjTransform, exact, kApproximationPixels));
    GDALApproxTransformerOwnsSubtransformer(approx.get(), TRUE);

    const int bands = layout.bands;
    DatasetPtr rows(GDALCreate(GDALGetDriverByName("MEM"), "", sizes.warpedWidth, kStripRows, bands, GDT_Byte, nullptr));
    if (!rows) return fail("no memory for a strip of rows");
    const WarpOptionsPtr options = warpOptions(picture, rows.get(), layout, approx.get());
    const WarpOperationPtr operation(GDALCreateWarpOperation(options.get()));
    if (!operation) return fail("GDAL's warper cannot be set up");

    std::vector<int> bandList(static_cast<std::size_t>(bands));
    for (int b = 0; b < bands; ++b) bandList[static_cast<std::size_t>(b)] = b + 1;
    int stripTop = -kStripRows;
    const TwinRows next = [&](int y, std::uint8_t* samples) {
        if (y >= stripTop + kStripRows) {
            stripTop = y;
            strip[3] = north_ - stepY * y;
            GDALSetGenImgProjTransformerDstGeoTransform(exact, strip.data());
            const int count = std::min(kStripRows, sizes.warpedHeight - y);
            if (GDALChunkAndWarpImage(static_cast<GDALWarpOperationH>(operation.get()), 0, 0, sizes.warpedWidth,
                                      count) != CE_None)
                return false;
            // The picture's rows of this strip are not cached past it.
            GDALFlushCache(picture);
        }
        return GDALDatasetRasterIO(rows.get(), GF_Read, 0, y - stripTop, sizes.warpedWidth, 1, samples,
                                   sizes.warpedWidth, 1, GDT_Byte, bands, bandList.data(), bands,
                                   static_cast<GSpacing>(sizes.warpedWidth) * bands, 1) == CE_None;
    };
    return writeBmpTwin(sizes.warpedWidth, sizes.warpedHeight, layout, next, what, target, feedback) ==
           TwinResult::Written;
}

}  // namespace plotvane::import
