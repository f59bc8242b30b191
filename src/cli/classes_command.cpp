// plotvane2-cli classes: the class pictures of a map built from one master
// picture, sized so that `make` takes them in the colour mode asked for.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include <CLI/CLI.hpp>

#include "cli/class_options.h"
#include "cli/commands.h"
#include "cli/escaped_text.h"
#include "import/class_builder.h"
#include "project/run_folder.h"

namespace plotvane::cli {

namespace {

struct ClassesOptions {
    std::string master;
    std::string folder;
    std::string mode = "8";
    ClassOptions classes;
};

const char* bitsOf(import::MasterKind kind) {
    switch (kind) {
        case import::MasterKind::OneBit: return "1 bit per pixel";
        case import::MasterKind::Grey: return "8-bit grey";
        case import::MasterKind::Colour: return "24 bits per pixel";
    }
    return "";
}

int runClasses(const ClassesOptions& options) {
    const std::filesystem::path folder = options.folder;
    std::error_code ec;
    if (std::filesystem::exists(folder, ec) && !std::filesystem::is_directory(folder, ec))
        throw UsageError("-o names a file, not a folder: " + options.folder);
    const ColourMode mode = colourModeOfOption(options.mode);
    const import::ClassRequest request = classRequest(options.classes, mode, false);

    StderrFeedback feedback;
    // Lists the unfinished pictures, so that a later run can remove them
    // should this one be killed.
    const RunFolder runFolder({});
    std::filesystem::create_directories(folder, ec);
    import::ClassPicturesMade made;
    const import::ClassPlan& plan = made.plan;
    import::BuildResult result = import::BuildResult::Built;
    {
        ProgressLine progress("Building classes", options.classes.progress);
        result = import::makeClassPictures(options.master, folder, request, feedback, progress.callback(), made);
    }
    if (result != import::BuildResult::Built) return kExitRefused;
    const char* bits = bitsOf(made.kind);
    for (int k = 0; k < plan.classCount; ++k) {
        const auto i = static_cast<std::size_t>(k);
        std::printf("Wrote %s (%u x %u, %s, %u record%s in %s mode)\n",
                    shownPath(import::classPicturePath(folder, k)).c_str(), plan.widths[i], plan.heights[i], bits,
                    plan.records[i], plan.records[i] == 1 ? "" : "s", import::modeName(mode).c_str());
    }
    std::printf("Reduced by %u. %s\n", plan.reduction, import::paddingReport(plan).c_str());
    return kExitOk;
}

}  // namespace

void addClassesCommand(CLI::App& app, Action& action) {
    auto options = std::make_shared<ClassesOptions>();
    CLI::App* sub = app.add_subcommand(
        "classes", "Build the class pictures of a map from one master picture of any size and common format.");
    sub->footer(
        "Writes DIR/class1.bmp to classN.bmp: Class N is the master reduced by the smallest whole factor\n"
        "that fits (1 when it does), each class above it smaller by its magnification. Each pixel is the\n"
        "average of the master pixels under it taken in linear light, which keeps the map's brightness.\n"
        "The sizes pass every check of make in the colour mode given: the master is padded with white on\n"
        "the right and at the bottom as needed, never cut. A 1-bit master gives 1-bit classes, a grey one\n"
        "8-bit grey classes, any other 24-bit colour classes. Files are replaced only once every class is\n"
        "complete. Exit status: 0 written, 1 refused (the messages say why and what would fit; no file in\n"
        "DIR is replaced), 2 usage error.");
    sub->add_option("master", options->master, "The master picture (any raster format GDAL reads)")->required();
    sub->add_option("-o,--output", options->folder, "The folder to write the class pictures into")->required();
    sub->add_option("--mode", options->mode, "The colour mode the map will be made in: original, 1, 2, 4 or 8")
        ->check(CLI::IsMember({"original", "1", "2", "4", "8"}));
    addClassOptions(*sub, options->classes);
    sub->callback([&action, options] { action = [options] { return runClasses(*options); }; });
}

}  // namespace plotvane::cli
