#include "raster/record_division.h"

#include <algorithm>

#include "raster/bmp_reader.h"

namespace plotvane {

namespace {

constexpr const char* kOriginalModeNoCompress =
    "Original Mode Data do not compress.\nMake Non compression data.";
constexpr const char* kCannotDivide =
    "Cannot divide this bmp-data to records.\nPlease change the data can divide by 2 or 4 or 8...";
constexpr const char* kOverflowRisk = "At Compression Mode,\n There is a Data Overflow Risk.(Over 64KBytes)";
constexpr const char* kNotAMultiple = "Error : Please check [Upper class bmp] = [this class bmp] x2 or x4 or x8";
constexpr const char* kMagnificationDiffers = "Error : The magnification is different between Width and Height";
constexpr const char* kUpperNotDivisible =
    "Error : Please check Uppe class data.\nIf [this class]/[upper class]=N,\n then [upper class] can just "
    "divide by N.";
constexpr const char* kCannotCalcRecords = "Error : Cannot calc record number";

constexpr std::uint32_t kMinRecordSide = 160;
constexpr std::uint32_t kPreferredRecordSide = 250;

bool isClassIndex(int classIndex) { return classIndex >= 0 && classIndex < kClassSlots; }

int loadedClasses(const MapProject& project) { return std::clamp(project.classCount, 0, kClassSlots); }

// A refused class keeps no geometry, so nothing downstream can mistake it
// for a usable bitmap.
void clearGeometry(MapClassEntry& entry) {
    entry.width = 0;
    entry.height = 0;
    entry.pixelDataOffset = 0;
    entry.magnification = 1;
}

// The divisor one step of the Class 1 division applies to a record side:
// a side of 160..250 pixels is preferred, halving comes next, and no
// divisor may leave a side below 160. 0 when no divisor applies.
std::uint32_t sideDivisor(std::uint32_t side) {
    const auto preferred = [side](std::uint32_t d) {
        return side % d == 0 && side / d >= kMinRecordSide && side / d <= kPreferredRecordSide;
    };
    const auto allowed = [side](std::uint32_t d) { return side % d == 0 && side / d >= kMinRecordSide; };
    if (preferred(5)) return 5;
    if (preferred(3)) return 3;
    if (allowed(2)) return 2;
    if (allowed(3)) return 3;
    return 0;
}

// Class 1 is cut by alternating width and height steps until one record
// holds at most `limit` pixels; two steps in a row without a divisor mean
// the bitmap cannot be cut.
DivisionResult divideTopClass(MapProject& project, std::uint32_t limit, Feedback& feedback, ControlUpdates& updates) {
    MapClassEntry& top = project.classes[0];
    const std::uint32_t area = static_cast<std::uint32_t>(top.width) * top.height;
    if (area <= limit) {
        top.recordColumns = 1;
        top.recordRows = 1;
        updates.useRecChanged[0] = true;
        return DivisionResult::Divided;
    }

    std::uint32_t recordWidth = top.width;
    std::uint32_t recordHeight = top.height;
    std::uint32_t recordArea = area;
    std::uint32_t columns = 1;
    std::uint32_t rows = 1;
    int failures = 0;
    for (int step = 0; recordArea > limit; ++step) {
        const bool widthStep = step % 2 == 0;
        std::uint32_t& side = widthStep ? recordWidth : recordHeight;
        std::uint32_t& count = widthStep ? columns : rows;
        const std::uint32_t divisor = sideDivisor(side);
        if (divisor == 0) {
            ++failures;
        } else {
            count *= divisor;
            side /= divisor;
            recordArea /= divisor;
            failures = 0;
        }
        top.recordColumns = static_cast<std::uint16_t>(columns);
        top.recordRows = static_cast<std::uint16_t>(rows);
        if (failures == 2) {
            feedback.show(cannotDivideMessage());
            clearGeometry(top);
            return DivisionResult::CannotDivide;
        }
    }

    // Compressed rows can grow beyond their raw size; a record already
    // more than half full may then exceed 64000 bytes.
    if (project.compressFlag != 0 && recordArea > limit / 2) feedback.show(warning(kOverflowRisk));
    updates.useRecChanged[0] = true;
    return DivisionResult::Divided;
}

// Lower classes repeat the grid of the class above, refined by a factor
// that never exceeds the magnification, so every record keeps whole
// pixels of the class above and stays within the limit.
std::uint32_t lowerClassFactor(std::uint16_t magnification, std::uint32_t area, std::uint32_t limit) {
    const std::uint64_t a = area;
    const std::uint64_t p = limit;
    std::uint32_t factor = 8;
    if (a < p) {
        factor = 1;
    } else if (a < 4 * p) {
        factor = 2;
    } else if (a < 16 * p) {
        factor = 4;
    }
    const bool allowedMagnification = magnification == 2 || magnification == 4 || magnification == 8;
    return std::min<std::uint32_t>(factor, allowedMagnification ? magnification : 1);
}

// The message refusing `entry` under `upper`, or nullptr when it fits.
// A cleared upper class (zero size) offers no ratio and fits nothing.
const char* hierarchyRefusal(const MapClassEntry& entry, const MapClassEntry& upper) {
    if (upper.width == 0 || upper.height == 0) return kNotAMultiple;
    const int n = entry.width / upper.width;
    if (n != 2 && n != 4 && n != 8) return kNotAMultiple;
    if (entry.height / upper.height != n) return kMagnificationDiffers;
    if (entry.width % n != 0 || entry.height % n != 0) return kNotAMultiple;
    if (upper.width % n != 0 || upper.height % n != 0) return kUpperNotDivisible;
    return nullptr;
}

}  // namespace

Message cannotDivideMessage() { return warning(kCannotDivide); }

std::uint32_t recordPixelLimit(ColourMode mode) {
    switch (mode) {
        case ColourMode::Original:
        case ColourMode::Bpp1:
            return 512000;
        case ColourMode::Bpp2:
            return 256000;
        case ColourMode::Bpp4:
            return 128000;
        default:
            // Mode 8, and the smallest record for anything unknown.
            return 64000;
    }
}

DivisionResult divideRecords(MapProject& project, int classIndex, ColourMode mode, bool compressChecked,
                             Feedback& feedback, ControlUpdates& updates) {
    if (!isClassIndex(classIndex)) return DivisionResult::NoSuchClass;

    project.compressFlag = compressChecked ? 1 : 0;
    if (mode == ColourMode::Original && project.compressFlag != 0) {
        feedback.show(warning(kOriginalModeNoCompress));
        project.compressFlag = 0;
        updates.uncheckCompress = true;
    }

    const std::uint32_t limit = recordPixelLimit(mode);
    if (classIndex == 0) return divideTopClass(project, limit, feedback, updates);

    MapClassEntry& entry = project.classes[static_cast<std::size_t>(classIndex)];
    const MapClassEntry& upper = project.classes[static_cast<std::size_t>(classIndex - 1)];
    const std::uint32_t area = static_cast<std::uint32_t>(entry.width) * entry.height;
    const std::uint32_t factor = lowerClassFactor(entry.magnification, area, limit);
    entry.recordColumns = static_cast<std::uint16_t>(upper.recordColumns * factor);
    entry.recordRows = static_cast<std::uint16_t>(upper.recordRows * factor);
    updates.useRecChanged[static_cast<std::size_t>(classIndex)] = true;
    return DivisionResult::Divided;
}

HierarchyResult checkHierarchy(MapProject& project, int classIndex, Feedback& feedback) {
    if (!isClassIndex(classIndex) || classIndex == 0) return HierarchyResult::NoSuchClass;

    MapClassEntry& entry = project.classes[static_cast<std::size_t>(classIndex)];
    const MapClassEntry& upper = project.classes[static_cast<std::size_t>(classIndex - 1)];
    if (const char* refusal = hierarchyRefusal(entry, upper)) {
        feedback.show(warning(refusal));
        clearGeometry(entry);
        return HierarchyResult::NotInHierarchy;
    }
    entry.magnification = static_cast<std::uint16_t>(entry.width / upper.width);
    return HierarchyResult::Fits;
}

ClassBitmapResult checkClassBitmap(MapProject& project, const std::filesystem::path& path, int classIndex,
                                   bool compressChecked, Feedback& feedback, ControlUpdates& updates) {
    if (!isClassIndex(classIndex)) return ClassBitmapResult::NoSuchClass;

    if (const ClassBitmapResult result = checkClassBitmapHeaders(project, classIndex, path, feedback);
        result != ClassBitmapResult::Ok) {
        return result;
    }
    if (classIndex > 0 && checkHierarchy(project, classIndex, feedback) != HierarchyResult::Fits)
        return ClassBitmapResult::NotInHierarchy;
    if (divideRecords(project, classIndex, project.colourMode, compressChecked, feedback, updates) !=
        DivisionResult::Divided)
        return ClassBitmapResult::CannotDivide;
    return ClassBitmapResult::Ok;
}

bool recomputeRecordDivisions(MapProject& project, ColourMode mode, bool compressChecked,
                              Feedback& feedback, ControlUpdates& updates) {
    const int count = loadedClasses(project);
    for (int k = 0; k < count; ++k) {
        // Once Original mode has refused compression the box is unchecked
        // for the rest of the run, so the notice is shown only once.
        const bool checked = compressChecked && !updates.uncheckCompress;
        if (divideRecords(project, k, mode, checked, feedback, updates) != DivisionResult::Divided) {
            feedback.show(warning(kCannotCalcRecords));
            return false;
        }
    }
    return true;
}

void redivideAfterCompressToggle(MapProject& project, bool compressChecked, Feedback& feedback,
                                 ControlUpdates& updates) {
    const int count = loadedClasses(project);
    for (int k = 0; k < count; ++k) {
        const bool checked = compressChecked && !updates.uncheckCompress;
        if (divideRecords(project, k, project.colourMode, checked, feedback, updates) != DivisionResult::Divided) {
            feedback.show(warning(kCannotCalcRecords, Icon::Exclamation));
        }
    }
}

}  // namespace plotvane
