#include "import/gdal_pictures.h"

#include <stdexcept>

#include <cpl_conv.h>
#include <cpl_string.h>
#include <gdal.h>
#include <ogr_srs_api.h>

namespace plotvane::test {

void writePicture(const std::filesystem::path& path, const PictureRecipe& r) {
    GDALAllRegister();
    const GDALDataType type = r.sixteenBit ? GDT_UInt16 : GDT_Byte;
    GDALDatasetH mem = GDALCreate(GDALGetDriverByName("MEM"), "", r.width, r.height, r.bands, type, nullptr);
    if (mem == nullptr) throw std::runtime_error("no MEM dataset");
    std::vector<std::uint16_t> row(static_cast<std::size_t>(r.width));
    for (int b = 0; b < r.bands; ++b) {
        GDALRasterBandH band = GDALGetRasterBand(mem, b + 1);
        for (int y = 0; y < r.height; ++y) {
            for (int x = 0; x < r.width; ++x) row[static_cast<std::size_t>(x)] = static_cast<std::uint16_t>(r.sample(x, y, b));
            if (GDALRasterIO(band, GF_Write, 0, y, r.width, 1, row.data(), r.width, 1, GDT_UInt16, 0, 0) != CE_None)
                throw std::runtime_error("MEM write");
        }
        if (r.alphaLast && b == r.bands - 1) GDALSetRasterColorInterpretation(band, GCI_AlphaBand);
    }
    if (!r.palette.empty()) {
        GDALColorTableH table = GDALCreateColorTable(GPI_RGB);
        for (std::size_t i = 0; i < r.palette.size(); ++i) {
            const GDALColorEntry e{r.palette[i][0], r.palette[i][1], r.palette[i][2], 255};
            GDALSetColorEntry(table, static_cast<int>(i), &e);
        }
        GDALSetRasterColorTable(GDALGetRasterBand(mem, 1), table);
        GDALDestroyColorTable(table);
    }
    if (r.geoTransform) {
        std::array<double, 6> gt = *r.geoTransform;
        GDALSetGeoTransform(mem, gt.data());
    }
    if (!r.wkt.empty()) GDALSetProjection(mem, r.wkt.c_str());
    char** options = nullptr;
    for (const std::string& o : r.options) options = CSLAddString(options, o.c_str());
    CPLSetConfigOption("GDAL_PAM_ENABLED", "NO");
    GDALDatasetH out =
        GDALCreateCopy(GDALGetDriverByName(r.driver.c_str()), path.c_str(), mem, FALSE, options, nullptr, nullptr);
    CSLDestroy(options);
    GDALClose(mem);
    if (out == nullptr) throw std::runtime_error("CreateCopy " + r.driver + " failed: " + CPLGetLastErrorMsg());
    GDALClose(out);
}

std::vector<std::vector<std::uint8_t>> readPictureSamples(const std::filesystem::path& path, int& bands) {
    GDALAllRegister();
    GDALDatasetH ds = GDALOpen(path.c_str(), GA_ReadOnly);
    if (ds == nullptr) throw std::runtime_error("cannot open " + path.string());
    const int w = GDALGetRasterXSize(ds), h = GDALGetRasterYSize(ds);
    bands = GDALGetRasterCount(ds);
    std::vector<std::vector<std::uint8_t>> rows(static_cast<std::size_t>(h),
                                                std::vector<std::uint8_t>(static_cast<std::size_t>(w * bands)));
    for (int y = 0; y < h; ++y)
        if (GDALDatasetRasterIO(ds, GF_Read, 0, y, w, 1, rows[static_cast<std::size_t>(y)].data(), w, 1, GDT_Byte, bands,
                                nullptr, bands, static_cast<GSpacing>(w) * bands, 1) != CE_None)
            throw std::runtime_error("cannot read " + path.string());
    GDALClose(ds);
    return rows;
}

std::string wktOfEpsg(int code) {
    OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
    OSRImportFromEPSG(srs, code);
    char* wkt = nullptr;
    OSRExportToWkt(srs, &wkt);
    std::string out = wkt;
    CPLFree(wkt);
    OSRRelease(srs);
    return out;
}

}  // namespace plotvane::test
