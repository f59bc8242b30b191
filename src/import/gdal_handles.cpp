#include "import/gdal_handles.h"

#include <cstring>

#include "import/gdal_library.h"

namespace plotvane::import {

GdalMessages::GdalMessages() { CPLPushErrorHandlerEx(&GdalMessages::handler, this); }

GdalMessages::~GdalMessages() { CPLPopErrorHandler(); }

void CPL_STDCALL GdalMessages::handler(CPLErr level, CPLErrorNum, const char* text) {
    if (level < CE_Failure || text == nullptr) return;
    auto* self = static_cast<GdalMessages*>(CPLGetErrorHandlerUserData());
    if (self != nullptr) self->last_ = text;
}

std::string GdalMessages::lastFailure(const std::string& fallback) const {
    return last_.empty() ? fallback : last_;
}

DatasetPtr openRaster(const std::string& path, const char* const* drivers) {
    ensureGdalReady();
    GdalMessages quiet;
    return DatasetPtr(GDALOpenEx(path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, drivers, nullptr, nullptr));
}

std::string formatName(GDALDatasetH dataset) {
    GDALDriverH driver = GDALGetDatasetDriver(dataset);
    if (driver == nullptr) return "picture";
    const char* name = GDALGetDriverShortName(driver);
    if (std::strcmp(name, "GTiff") == 0) return "TIFF";
    return name;
}

}  // namespace plotvane::import
