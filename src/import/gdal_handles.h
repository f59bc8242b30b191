#pragma once

// GDAL handles and GDAL's own messages for the code of this layer. Only
// sources of src/import include this (the layer links GDAL privately).
#include <memory>
#include <string>

#include <cpl_error.h>
#include <gdal.h>
#include <ogr_srs_api.h>

namespace plotvane::import {

struct DatasetCloser {
    void operator()(GDALDatasetH dataset) const noexcept {
        if (dataset != nullptr) GDALClose(dataset);
    }
};
// Closed on every return path.
using DatasetPtr = std::unique_ptr<void, DatasetCloser>;

struct SpatialReferenceReleaser {
    void operator()(OGRSpatialReferenceH srs) const noexcept {
        if (srs != nullptr) OSRRelease(srs);
    }
};
using SpatialReferencePtr = std::unique_ptr<void, SpatialReferenceReleaser>;

struct TransformationDestroyer {
    void operator()(OGRCoordinateTransformationH ct) const noexcept {
        if (ct != nullptr) OCTDestroyCoordinateTransformation(ct);
    }
};
using TransformationPtr = std::unique_ptr<void, TransformationDestroyer>;

// Opens a raster read-only, GDAL's messages kept from the terminal; null
// when no driver reads it. `drivers` (null-terminated) limits the drivers
// tried.
DatasetPtr openRaster(const std::string& path, const char* const* drivers = nullptr);

// Catches GDAL's messages for its lifetime instead of letting GDAL print
// them; the last failure's text is kept for the program's own message.
class GdalMessages {
public:
    GdalMessages();
    ~GdalMessages();
    GdalMessages(const GdalMessages&) = delete;
    GdalMessages& operator=(const GdalMessages&) = delete;

    // GDAL's last failure text, or `fallback` when it gave none.
    std::string lastFailure(const std::string& fallback) const;

private:
    static void CPL_STDCALL handler(CPLErr level, CPLErrorNum number, const char* text);
    std::string last_;
};

// A short name of the picture's format: "PNG", "JPEG", "TIFF", "GIF", ...
std::string formatName(GDALDatasetH dataset);

}  // namespace plotvane::import
