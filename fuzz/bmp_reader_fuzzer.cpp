// The BMP reader on arbitrary bytes: the header and colour table parsers,
// both check orders, and a working raster conversion in a colour mode and
// dithering chosen from the input's length, so that every seed is read
// as it is.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <span>
#include <string>

#include "project/files.h"
#include "raster/bmp_reader.h"
#include "raster/record_division.h"
#include "raster/work_raster.h"
#include "seeds.h"
#include "support/bmp_writer.h"

namespace {

using namespace plotvane;

class SilentFeedback : public Feedback {
public:
    void show(const Message&) override {}
};

std::filesystem::path& scratch() {
    static std::filesystem::path folder;
    return folder;
}

void removeScratch() {
    std::error_code ec;
    if (!scratch().empty()) std::filesystem::remove_all(scratch(), ec);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    plotvane::fuzz::writeSeedsIfEmpty(*argc, *argv, plotvane::fuzz::bmpSeeds());
    // Memory-backed when the machine has it: every input is written out.
    const std::filesystem::path base = std::filesystem::is_directory("/dev/shm") ? std::filesystem::path("/dev/shm")
                                                                                 : std::filesystem::temp_directory_path();
    std::string tmpl = (base / "plotvane-bmp-fuzz-XXXXXX").string();
    if (mkdtemp(tmpl.data()) == nullptr) std::abort();
    scratch() = tmpl;
    std::atexit(removeScratch);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    BmpHeaders headers;
    if (parseBmpHeaders(bytes, headers) && colourTableOffset(headers) < size)
        parseColourTable(bytes.subspan(static_cast<std::size_t>(colourTableOffset(headers))), headers);

    const std::filesystem::path source = scratch() / "input.bmp";
    const std::filesystem::path raster = scratch() / kPreviewRasterName;
    removeIfExists(source);
    removeIfExists(raster);
    plotvane::test::writeFile(source, std::vector<std::uint8_t>(data, data + size));

    MapProject project;
    SilentFeedback feedback;
    checkClassBitmapHeaders(project, 0, source, feedback);
    ControlUpdates updates;
    RasterRequest request;
    request.mode = kColourModes[size % kColourModes.size()];
    request.source = source;
    request.raster = raster;
    request.ditherChecked = (size / 5) % 2 == 1;
    convertToWorkRaster(project, request, feedback, updates);
    return 0;
}
