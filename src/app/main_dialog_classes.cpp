// "Make classes from one picture...": the class pictures built from one
// master and picked into the class rows as the class buttons pick them.
#include <string>

#include "app/main_dialog.h"
#include "import/class_builder.h"
#include "import/class_plan.h"
#include "import/master_picture.h"

namespace plotvane::app {

namespace {

const ui::FileDialogRequest kMasterDialog{
    "pictures (*.tif *.tiff *.png *.jpg *.jpeg *.gif *.bmp)|*.tif;*.tiff;*.png;*.jpg;*.jpeg;*.gif;*.bmp|"
    "all files (*)|*||",
    "", false};

constexpr const char* kRowsTaken =
    "Error : Classes are already chosen.\nMake classes from one picture fills the class rows from Class 1.";

import::ClassRequest requestOf(const ui::ClassesChoice& choice, ColourMode mode) {
    import::ClassRequest request;
    request.classCount = choice.classCount;
    request.magnifications = choice.magnifications;
    request.mode = mode;
    return request;
}

std::string describeSizes(std::uint32_t width, std::uint32_t height, const import::ClassRequest& request) {
    if (const std::string problem = import::requestProblem(request); !problem.empty()) return "Error : " + problem + ".";
    const import::PlanOutcome outcome = import::planClasses(width, height, request);
    if (!outcome.plan) return outcome.refusal;
    const import::ClassPlan& plan = *outcome.plan;
    std::string text = "In " + import::modeName(request.mode) + " mode:";
    for (int k = 0; k < plan.classCount; ++k) {
        const auto i = static_cast<std::size_t>(k);
        text += "\nClass " + std::to_string(k + 1) + ": " + std::to_string(plan.widths[i]) + " x " +
                std::to_string(plan.heights[i]) + ", " + std::to_string(plan.records[i]) +
                (plan.records[i] == 1 ? " record" : " records");
    }
    if (plan.reduction > 1) text += "\nThe picture reduced by " + std::to_string(plan.reduction) + ".";
    return text + "\n" + import::paddingReport(plan);
}

}  // namespace

void MainDialog::makeClassesFromPicture() {
    if (project_.classCount != 0) {
        platform_.showMessage(warning(kRowsTaken));
        return;
    }
    const std::optional<std::string> path = platform_.openFileDialog(kMasterDialog);
    if (!path) return;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    ColourMode mode = project_.colourMode;
    {
        const auto master = import::MasterPicture::open(*path, feedback_);
        if (!master) return;
        width = master->width();
        height = master->height();
        // Original mode divides as 1BPP; a picture that is not 1-bit is
        // sized for it, and its mode is chosen later as for any class.
        if (mode == ColourMode::Original && master->kind() != import::MasterKind::OneBit) mode = ColourMode::Bpp1;
    }

    ui::ClassesDialogRequest request;
    request.initial.folder = workDir_.string();
    request.describe = [width, height, mode](const ui::ClassesChoice& choice) {
        return describeSizes(width, height, requestOf(choice, mode));
    };
    const std::optional<ui::ClassesChoice> choice = platform_.classesDialog(request);
    if (!choice) return;

    import::ClassPicturesMade made;
    const Progress progress = [this](double fraction) {
        return platform_.progress("Building classes", fraction);
    };
    const import::BuildResult result =
        import::makeClassPictures(*path, choice->folder, requestOf(*choice, mode), feedback_, progress, made);
    platform_.endProgress();
    if (result != import::BuildResult::Built) return;
    for (int k = 0; k < made.plan.classCount; ++k)
        if (!pickClass(k, import::classPicturePath(choice->folder, k).string())) return;
    // Class 1 covers the master padded on the right and at the bottom.
    const import::PictureGrid classOne{static_cast<int>(made.plan.boxSide(0)), static_cast<int>(made.plan.widths[0]),
                                       static_cast<int>(made.plan.heights[0])};
    offerPictureCorners(*path, &classOne);
}

}  // namespace plotvane::app
