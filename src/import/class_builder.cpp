#include "import/class_builder.h"

#include <cerrno>
#include <memory>
#include <string>
#include <system_error>

#include "import/linear_light.h"
#include "project/byte_order.h"
#include "project/files.h"
#include "project/output_file.h"

namespace plotvane::import {

namespace {

constexpr std::uint32_t kFileHeaderBytes = 14;
constexpr std::uint32_t kInfoHeaderBytes = 40;

std::uint32_t tableEntries(MasterKind kind) {
    switch (kind) {
        case MasterKind::OneBit: return 2;
        case MasterKind::Grey: return 256;
        case MasterKind::Colour: return 0;
    }
    return 0;
}

std::vector<std::uint8_t> bmpHeader(const MasterPicture& master, std::uint32_t width, std::uint32_t height) {
    const ClassBmpLayout layout = classBmpLayout(master.kind(), width);
    const std::uint32_t entries = tableEntries(master.kind());
    std::vector<std::uint8_t> h(layout.pixelOffset, 0);
    h[0] = 'B';
    h[1] = 'M';
    writeLe32(&h[2], layout.pixelOffset + layout.stride * height);
    writeLe32(&h[10], layout.pixelOffset);
    writeLe32(&h[14], kInfoHeaderBytes);
    writeLe32(&h[18], width);
    writeLe32(&h[22], height);
    writeLe16(&h[26], 1);
    writeLe16(&h[28], layout.bitCount);
    writeLe32(&h[34], layout.stride * height);
    writeLe32(&h[46], entries);
    for (std::uint32_t i = 0; i < entries; ++i) {
        std::uint8_t* e = &h[kFileHeaderBytes + kInfoHeaderBytes + 4 * i];
        if (master.kind() == MasterKind::OneBit) {
            const Rgb& c = master.oneBitColours()[i];
            e[0] = c[2];
            e[1] = c[1];
            e[2] = c[0];
        } else {
            e[0] = e[1] = e[2] = static_cast<std::uint8_t>(i);
        }
    }
    return h;
}

// One class while the master streams through: the sums of linear light of
// the class row being gathered, `factor` rows (and columns) of the picture
// below it per row, that picture being the master for the most detailed
// class and the class below for the others.
struct Level {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t factor = 1;
    std::uint64_t pixelsPerBox = 1;  // master pixels under one class pixel
    std::vector<std::uint64_t> sums;
    std::uint32_t rowsGathered = 0;
    std::uint32_t rowsDone = 0;
    ClassBmpLayout layout;
    std::vector<std::uint8_t> bytes;  // one stored row
};

class Builder {
public:
    Builder(MasterPicture& master, const ClassPlan& plan, ClassPictureOutput& output, Feedback& feedback)
        : master_(master), plan_(plan), output_(output), feedback_(feedback), channels_(static_cast<std::size_t>(master.channels())) {
        for (int k = 0; k < plan.classCount; ++k) {
            Level level;
            const auto i = static_cast<std::size_t>(k);
            level.width = plan.widths[i];
            level.height = plan.heights[i];
            level.factor = k + 1 == plan.classCount ? plan.reduction : plan.widths[i + 1] / plan.widths[i];
            const std::uint64_t side = plan.boxSide(k);
            level.pixelsPerBox = side * side;
            level.sums.assign(level.width * channels_, 0);
            level.layout = classBmpLayout(master.kind(), level.width);
            level.bytes.assign(level.layout.stride, 0);
            levels_.push_back(std::move(level));
        }
    }

    BuildResult run(const Progress& progress) {
        for (int k = 0; k < plan_.classCount; ++k) {
            const Level& level = levels_[static_cast<std::size_t>(k)];
            if (!output_.create(k)) return writeFailure();
            const auto header = bmpHeader(master_, level.width, level.height);
            if (!output_.writeAt(k, 0, header)) return writeFailure();
        }
        const std::uint32_t masterWidth = master_.width();
        std::vector<std::uint16_t> row(static_cast<std::size_t>(plan_.paddedWidth()) * channels_, kLinearWhite);
        const std::uint32_t rows = plan_.paddedHeight();
        for (std::uint32_t y = 0; y < rows; ++y) {
            if (y < master_.height()) {
                if (!master_.readRow(y, std::span(row.data(), static_cast<std::size_t>(masterWidth) * channels_), feedback_))
                    return BuildResult::Failed;
            } else if (y == master_.height()) {
                std::fill(row.begin(), row.end(), static_cast<std::uint16_t>(kLinearWhite));
            }
            gatherMaster(row);
            if (!finishRowIfComplete(plan_.classCount - 1)) return writeFailure();
            if (progress && !progress(static_cast<double>(y + 1) / rows)) return BuildResult::Cancelled;
        }
        return BuildResult::Built;
    }

private:
    void gatherMaster(const std::vector<std::uint16_t>& row) {
        Level& level = levels_.back();
        const std::size_t r = level.factor;
        const std::size_t c = channels_;
        std::uint64_t* sums = level.sums.data();
        const std::uint16_t* in = row.data();
        for (std::size_t x = 0; x < level.width; ++x, sums += c) {
            for (std::size_t d = 0; d < r; ++d, in += c)
                for (std::size_t k = 0; k < c; ++k) sums[k] += in[k];
        }
        ++level.rowsGathered;
    }

    // Class `k` has gathered all its rows for one class row: store it, pass
    // its sums up to the class above, and start the next row.
    bool finishRowIfComplete(int k) {
        Level& level = levels_[static_cast<std::size_t>(k)];
        if (level.rowsGathered < level.factor) return true;
        encode(level);
        const std::uint64_t offset =
            level.layout.pixelOffset + std::uint64_t{level.layout.stride} * (level.height - 1 - level.rowsDone);
        if (!output_.writeAt(k, offset, level.bytes)) return false;
        if (k > 0) {
            Level& above = levels_[static_cast<std::size_t>(k - 1)];
            const std::size_t m = above.factor;
            const std::size_t c = channels_;
            for (std::size_t x = 0; x < above.width; ++x)
                for (std::size_t d = 0; d < m; ++d)
                    for (std::size_t i = 0; i < c; ++i) above.sums[x * c + i] += level.sums[(x * m + d) * c + i];
            ++above.rowsGathered;
        }
        std::fill(level.sums.begin(), level.sums.end(), 0);
        level.rowsGathered = 0;
        ++level.rowsDone;
        return k == 0 || finishRowIfComplete(k - 1);
    }

    void encode(Level& level) {
        std::fill(level.bytes.begin(), level.bytes.end(), 0);
        const std::uint64_t n = level.pixelsPerBox;
        switch (master_.kind()) {
            case MasterKind::Colour:
                // Stored blue, green, red.
                for (std::size_t x = 0; x < level.width; ++x)
                    for (std::size_t i = 0; i < 3; ++i)
                        level.bytes[x * 3 + i] = srgbFromLinearMean(level.sums[x * 3 + 2 - i], n);
                break;
            case MasterKind::Grey:
                for (std::size_t x = 0; x < level.width; ++x) level.bytes[x] = srgbFromLinearMean(level.sums[x], n);
                break;
            case MasterKind::OneBit: {
                const int lighter = master_.lighterIndex();
                for (std::size_t x = 0; x < level.width; ++x) {
                    const bool light = 2 * level.sums[x] >= std::uint64_t{kLinearWhite} * n;
                    const int index = light ? lighter : 1 - lighter;
                    if (index != 0) level.bytes[x / 8] |= static_cast<std::uint8_t>(0x80u >> (x % 8));
                }
                break;
            }
        }
    }

    BuildResult writeFailure() {
        feedback_.show(error("Cannot make bmp-file.", Icon::Exclamation));
        feedback_.explain(output_.problem());
        return BuildResult::Failed;
    }

    MasterPicture& master_;
    const ClassPlan& plan_;
    ClassPictureOutput& output_;
    Feedback& feedback_;
    std::size_t channels_;
    std::vector<Level> levels_;
};

// Class pictures written under the output rules: each into a new file
// beside its target, all put in place together once every one is complete.
class ClassPictureFiles : public ClassPictureOutput {
public:
    ClassPictureFiles(std::filesystem::path folder, std::filesystem::path master)
        : folder_(std::move(folder)), master_(std::move(master)) {}

    bool create(int classIndex) override {
        files_.push_back(std::make_unique<OutputFile>(classPicturePath(folder_, classIndex), std::vector{master_}));
        if (files_.back()->create()) return true;
        problem_ = files_.back()->problem();
        return false;
    }
    bool writeAt(int classIndex, std::uint64_t offset, std::span<const std::uint8_t> bytes) override {
        OutputFile& file = *files_.at(static_cast<std::size_t>(classIndex));
        if (seekTo(file.stream(), offset) && writeExact(file.stream(), bytes.data(), bytes.size())) return true;
        problem_ = file.writeProblem(errno);
        return false;
    }
    FileProblem problem() const override { return problem_; }
    bool commit() { return OutputFile::commitAll(files_, problem_); }

private:
    std::filesystem::path folder_;
    std::filesystem::path master_;
    std::vector<std::unique_ptr<OutputFile>> files_;
    FileProblem problem_;
};

std::string pixels(std::uint32_t n) { return std::to_string(n) + (n == 1 ? " pixel" : " pixels"); }

}  // namespace

ClassBmpLayout classBmpLayout(MasterKind kind, std::uint32_t width) {
    ClassBmpLayout layout;
    std::uint32_t rowBytes = 0;
    switch (kind) {
        case MasterKind::OneBit:
            layout.bitCount = 1;
            rowBytes = (width + 7) / 8;
            break;
        case MasterKind::Grey:
            layout.bitCount = 8;
            rowBytes = width;
            break;
        case MasterKind::Colour:
            layout.bitCount = 24;
            rowBytes = width * 3;
            break;
    }
    layout.stride = (rowBytes + 3) / 4 * 4;
    layout.pixelOffset = kFileHeaderBytes + kInfoHeaderBytes + 4 * tableEntries(kind);
    return layout;
}

BuildResult buildClassPictures(MasterPicture& master, const ClassPlan& plan, ClassPictureOutput& output, Feedback& feedback,
                       const Progress& progress) {
    BusyScope busy(feedback);
    Builder builder(master, plan, output, feedback);
    return builder.run(progress);
}

std::filesystem::path classPicturePath(const std::filesystem::path& folder, int classIndex) {
    return folder / ("class" + std::to_string(classIndex + 1) + ".bmp");
}

std::string paddingReport(const ClassPlan& plan) {
    const std::string size = std::to_string(plan.masterWidth) + " x " + std::to_string(plan.masterHeight);
    if (plan.addedRight() == 0 && plan.addedBottom() == 0) return "The " + size + " picture needed no padding.";
    return "Added " + pixels(plan.addedRight()) + " of white on the right and " + pixels(plan.addedBottom()) +
           " at the bottom of the " + size + " picture (" + std::to_string(plan.paddedWidth()) + " x " +
           std::to_string(plan.paddedHeight()) + ").";
}

BuildResult makeClassPictures(const std::filesystem::path& masterPath, const std::filesystem::path& folder,
                      const ClassRequest& request, Feedback& feedback, const Progress& progress,
                      ClassPicturesMade& made) {
    const auto master = MasterPicture::open(masterPath, feedback);
    if (!master) return BuildResult::Failed;
    if (request.mode == ColourMode::Original && master->kind() != MasterKind::OneBit) {
        feedback.show(warning("Error : Original Mode takes 1-bit classes, and the picture " + feedback.shown(masterPath.string()) +
                              " gives " + (master->kind() == MasterKind::Grey ? "8-bit grey" : "24-bit colour") +
                              " classes.\nChoose a colour mode of 1, 2, 4 or 8 bits per pixel."));
        return BuildResult::Failed;
    }
    const PlanOutcome outcome = planClasses(master->width(), master->height(), request);
    if (!outcome.plan) {
        feedback.show(warning(outcome.refusal));
        return BuildResult::Failed;
    }
    made.plan = *outcome.plan;
    made.kind = master->kind();
    ClassPictureFiles files(folder, masterPath);
    if (const BuildResult result = buildClassPictures(*master, made.plan, files, feedback, progress);
        result != BuildResult::Built)
        return result;
    if (!files.commit()) {
        feedback.show(error("Cannot make bmp-file.", Icon::Exclamation));
        feedback.explain(files.problem());
        return BuildResult::Failed;
    }
    return BuildResult::Built;
}

}  // namespace plotvane::import
