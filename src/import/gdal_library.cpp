#include "import/gdal_library.h"

#include <mutex>

#include <cpl_conv.h>
#include <gdal.h>

namespace plotvane::import {

void ensureGdalReady() {
    static std::once_flag once;
    std::call_once(once, [] {
        // A picture is read row by row once; GDAL's block cache need not
        // hold more than a few rows of the largest picture.
        GDALSetCacheMax64(32 * 1024 * 1024);
        // Sidecar files (.aux.xml) are read, never written beside the
        // user's pictures.
        CPLSetConfigOption("GDAL_PAM_ENABLED", "NO");
        GDALAllRegister();
    });
}

}  // namespace plotvane::import
