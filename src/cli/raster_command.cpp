#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "cli/commands.h"
#include "import/picture_import.h"
#include "project/map_project.h"
#include "project/output_file.h"
#include "project/run_folder.h"
#include "raster/work_raster.h"

namespace plotvane::cli {

ColourMode colourModeOfOption(const std::string& text) {
    if (text == "original") return ColourMode::Original;
    return colourModeOfByte(static_cast<std::uint8_t>(std::stoi(text)));
}

namespace {

struct RasterOptions {
    std::string source;
    std::string output;
    std::string mode;
    bool dither = false;
};

int runRaster(const RasterOptions& options) {
    const std::filesystem::path output = options.output;
    if (output.filename().empty()) throw UsageError("-o names a folder, not a file: " + options.output);

    StderrFeedback feedback;
    // A picture other than a BMP is decoded into its BMP in the private
    // folder, which a BMP needs only to list the unfinished raster.
    RunFolder workDir({});
    import::ClassPicture picture{options.source, false, "BMP"};
    if (!import::readsAsBmp(options.source)) {
        if (workDir.path().empty()) {
            feedback.show(error("Cannot make temp file (temporbl.$$$)."));
            feedback.explain(FileProblem{FileProblem::Kind::CannotCreate, workDir.attempted(), {}, {}, workDir.error()});
            return kExitRefused;
        }
        if (import::enterClassPicture(options.source, workDir.path(), feedback, picture) != import::PictureResult::Entered)
            return kExitRefused;
        if (picture.converted) workDir.holdFile(picture.rulesPath);
    }

    MapProject project;
    OutputFile raster(output, {options.source, picture.rulesPath});
    RasterRequest request;
    request.classIndex = 0;
    request.mode = colourModeOfOption(options.mode);
    request.source = picture.rulesPath;
    request.output = &raster;
    request.ditherChecked = options.dither;
    request.compressChecked = false;

    ControlUpdates updates;
    return convertToWorkRaster(project, request, feedback, updates) == RasterResult::Ok ? kExitOk : kExitRefused;
}

}  // namespace

void addRasterCommand(CLI::App& app, Action& action) {
    auto* sub = app.add_subcommand("raster", "Convert one BMP map into the working raster of a colour mode.");
    auto options = std::make_shared<RasterOptions>();
    sub->add_option("SRC", options->source, "the BMP file to convert")->required();
    sub->add_option("--mode", options->mode,
                    "colour mode: 1 (two levels, black and white), 2 (four greys, stored with 4 bits), "
                    "4 (sixteen greys), 8 (the 231-colour table), original (as 1)")
        ->required()
        ->check(CLI::IsMember({"1", "2", "4", "8", "original"}));
    sub->add_flag("--dither", options->dither,
                  "spread each pixel's rounding error over its neighbours (Floyd-Steinberg error diffusion) "
                  "so that areas between two levels keep their brightness as a pattern of both");
    sub->add_option("-o,--output", options->output,
                    "the raster file to write; it is replaced only when the conversion succeeds")
        ->required();
    sub->footer(
        "The source is an uncompressed BMP of 1, 4, 8 or 24 bits, 160 to 4096 pixels each way; the raster is\n"
        "the BMP file the preview shows and the database's tiles are cut from.\n"
        "Exit status: 0 the raster was written; 1 the bitmap was refused (the reason is on stderr, the output "
        "file is left as it was); 2 a usage error.");
    sub->callback([options, &action] { action = [options] { return runRaster(*options); }; });
}

}  // namespace plotvane::cli
