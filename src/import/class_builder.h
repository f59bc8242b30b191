#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "import/class_plan.h"
#include "import/master_picture.h"
#include "project/feedback.h"
#include "project/progress.h"

namespace plotvane::import {

// What building the class pictures did.
enum class BuildResult : int {
    Built = 0,
    Failed = 1,     // its message has been shown
    Cancelled = 2,  // the progress said stop
};

// Where the class pictures go. Rows are written where they belong in the
// file, which may be before rows written earlier (a BMP stores its bottom
// row first).
class ClassPictureOutput {
public:
    virtual ~ClassPictureOutput() = default;
    // Starts the file of class `classIndex` (0-based).
    virtual bool create(int classIndex) = 0;
    virtual bool writeAt(int classIndex, std::uint64_t offset, std::span<const std::uint8_t> bytes) = 0;
    virtual FileProblem problem() const = 0;
};

// The BMP layout of a class picture of `kind`: bits per pixel, bytes of a
// stored row, and where the pixel rows start.
struct ClassBmpLayout {
    std::uint16_t bitCount = 24;
    std::uint32_t stride = 0;
    std::uint32_t pixelOffset = 0;
};
ClassBmpLayout classBmpLayout(MasterKind kind, std::uint32_t width);

// Builds every class of `plan` from `master` in one pass over its rows:
// each class pixel is the exact average, in linear light, of the whole
// master pixels under it, the master padded with white on the right and at
// the bottom to the plan's size. A 1-bit master gives 1-bit classes, each
// pixel the master's lighter colour when at least half the light is there.
// Memory holds a row of the master and of each class.
BuildResult buildClassPictures(MasterPicture& master, const ClassPlan& plan, ClassPictureOutput& output, Feedback& feedback,
                       const Progress& progress);

// What was made: the sizes and what the classes are.
struct ClassPicturesMade {
    ClassPlan plan;
    MasterKind kind = MasterKind::Colour;
};

// The whole step: reads `masterPath`, chooses the sizes, and writes
// `folder`/class1.bmp .. classN.bmp, all of them or none (an existing file
// is replaced only when every class is complete). Every refusal is told
// through `feedback` before anything is written. `made` receives the
// chosen sizes once they are known.
BuildResult makeClassPictures(const std::filesystem::path& masterPath, const std::filesystem::path& folder,
                      const ClassRequest& request, Feedback& feedback, const Progress& progress,
                      ClassPicturesMade& made);

// folder/classK.bmp for class index k - 1.
std::filesystem::path classPicturePath(const std::filesystem::path& folder, int classIndex);

// "Added 7 pixels on the right and 3 at the bottom ..." or that none were.
std::string paddingReport(const ClassPlan& plan);

}  // namespace plotvane::import
