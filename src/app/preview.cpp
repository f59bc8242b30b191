#include "app/preview.h"

#include <algorithm>

#include "app/picture_cache.h"

namespace plotvane::app {

namespace {

// The window shows columns centre - 80 .. centre + 79 and the same rows;
// the centre pixel lands on client (390, 160).
constexpr int kHalfWindow = 80;
constexpr int kCentreClientX = 390;
constexpr int kCentreClientY = 160;

}  // namespace

void placeMinimisedIcon(PreviewDescription& description, int clientWidth, int clientHeight, int iconWidth,
                        int iconHeight) {
    description.iconOnly = true;
    description.centreMarker = false;
    description.iconX = (clientWidth - iconWidth + 1) / 2;
    description.iconY = (clientHeight - iconHeight + 1) / 2;
}

int classIndicatorDigit(std::int32_t previewClass) {
    if (previewClass == 0) return 0;
    if (previewClass >= 1 && previewClass <= 3) return previewClass;
    return 4;
}

std::string colourIndicatorCaption(ColourMode colourMode) {
    // A byte that names no mode is shown as Original, as it is converted.
    const char* name = colourModeName(colourMode);
    return name != nullptr ? name : colourModeName(ColourMode::Original);
}

std::string classIndicatorSpoken(int classDigit) {
    return classDigit == 0 ? std::string() : "Class " + std::to_string(classDigit);
}

std::string previewSpoken(std::int32_t previewClass, const std::string& colourCaption, std::int32_t centreX,
                          std::int32_t centreY) {
    if (previewClass == 0) return "No class shown";
    return classIndicatorSpoken(classIndicatorDigit(previewClass)) + ", " + colourCaption + ", centre " +
           std::to_string(centreX) + ", " + std::to_string(centreY);
}

std::optional<PreviewPicture> previewPicture(PictureCache& cache, const std::filesystem::path& file,
                                             std::int32_t centreX, std::int32_t centreY) {
    const std::int64_t windowLeft = static_cast<std::int64_t>(centreX) - kHalfWindow;
    const std::int64_t windowTop = static_cast<std::int64_t>(centreY) - kHalfWindow;
    const BmpPicture* picture = cache.picture(file, windowTop, windowTop + 2 * kHalfWindow);
    if (picture == nullptr) return std::nullopt;
    const std::int64_t left = std::max<std::int64_t>(windowLeft, 0);
    const std::int64_t top = std::max<std::int64_t>(windowTop, 0);
    const std::int64_t right = std::min<std::int64_t>(windowLeft + 2 * kHalfWindow, picture->width());
    const std::int64_t bottom = std::min<std::int64_t>(windowTop + 2 * kHalfWindow, picture->height());

    PreviewPicture out;
    out.file = file;
    if (left >= right || top >= bottom) return out;
    out.source = {static_cast<int>(left), static_cast<int>(top), static_cast<int>(right), static_cast<int>(bottom)};
    out.destX = kPreviewAreaRect.left + static_cast<int>(left - windowLeft);
    out.destY = kPreviewAreaRect.top + static_cast<int>(top - windowTop);
    out.pixels.reserve(static_cast<std::size_t>(out.source.width()) * static_cast<std::size_t>(out.source.height()));
    for (int y = out.source.top; y < out.source.bottom; ++y)
        for (int x = out.source.left; x < out.source.right; ++x) out.pixels.push_back(picture->pixel(x, y));
    return out;
}

std::vector<PreviewMarker> infoTextMarkers(const MapProject& project) {
    std::vector<PreviewMarker> markers;
    const std::int64_t cx = project.previewCentreX;
    const std::int64_t cy = project.previewCentreY;
    const int count = std::min<int>(project.infoTextCount, kInfoTextSlots);
    for (int i = 0; i < count; ++i) {
        const auto slot = static_cast<std::size_t>(i);
        const std::int64_t left = project.infoLeft[slot];
        const std::int64_t top = project.infoTop[slot];
        const bool inside = cx - kHalfWindow <= left && project.infoRight[slot] <= cx + kHalfWindow - 1 &&
                            cy - kHalfWindow <= top && project.infoBottom[slot] <= cy + kHalfWindow - 1;
        if (!inside) continue;
        const int number = i + 1;
        markers.push_back({number, static_cast<int>(left - cx + kCentreClientX),
                           static_cast<int>(top - cy + kCentreClientY), number == project.selectedInfoText});
    }
    return markers;
}

}  // namespace plotvane::app
