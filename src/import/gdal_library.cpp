#include "import/gdal_library.h"

#include <mutex>

#include <cpl_conv.h>
#include <gdal.h>

namespace plotvane::import {

void ensureGdalReady() {
    static std::once_flag once;
    std::call_once(once, [] {
        // Pictures are read a row or a strip of rows at a time, and their
        // blocks dropped as the rows pass: the cache need only hold one row
        // of tiles of the widest picture the classes take (4096 pixels of
        // 256-row RGBA tiles are 4 MiB), not GDAL's default share of memory.
        GDALSetCacheMax64(8 * 1024 * 1024);
        // Sidecar files (.aux.xml) are read, never written beside the
        // user's pictures.
        CPLSetConfigOption("GDAL_PAM_ENABLED", "NO");
        GDALAllRegister();
    });
}

}  // namespace plotvane::import
