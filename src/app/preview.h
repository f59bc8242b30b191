#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/pixel_rect.h"
#include "project/map_project.h"

// What the main window's client area shows, as a plain description the
// view only draws. All positions are client pixels of the main window.
namespace plotvane::app {

inline constexpr PixelRect kClassIndicatorRect{365, 275, 385, 295};
inline constexpr PixelRect kColourIndicatorRect{300, 255, 348, 275};
inline constexpr PixelRect kPreviewFrameRect{305, 75, 475, 245};
inline constexpr PixelRect kPreviewAreaRect{310, 80, 470, 240};
inline constexpr PixelRect kCentreMarkerRect{384, 154, 396, 166};
inline constexpr std::uint32_t kFrameGrey = 0x808080;

// The part of the shown picture that lands in the PreviewArea.
struct PreviewPicture {
    std::filesystem::path file;  // the class bitmap, or the working raster
    PixelRect source;            // picture pixels, rows counted from the top
    int destX = 0;               // client position of source.left, source.top
    int destY = 0;
    // source.width() x source.height() colours 0xRRGGBB, row by row from the top.
    std::vector<std::uint32_t> pixels;

    bool operator==(const PreviewPicture&) const = default;
};

// One information text marker: cell `number` of the marker picture (a
// 10 x 10 cell showing the number), drawn at client (x, y).
struct PreviewMarker {
    int number = 0;
    int x = 0;
    int y = 0;
    bool inverted = false;  // the selected text

    bool operator==(const PreviewMarker&) const = default;
};

struct PreviewDescription {
    // A minimised window shows only the application icon at (iconX, iconY).
    bool iconOnly = false;
    int iconX = 0;
    int iconY = 0;

    int classDigit = 0;         // ClassIndicator: 0 blank, else 1..4
    std::string colourCaption;  // ColourIndicator: "Original", "1BPP", ...
    // Drawn over the grey frame; absent when no class is shown or the
    // picture could not be read.
    std::optional<PreviewPicture> picture;
    std::vector<PreviewMarker> markers;  // in drawing order
    bool centreMarker = true;            // always drawn unless iconOnly
    // What a screen reader says of the preview: the class, the colour mode
    // and the centre, or that no class is shown.
    std::string spoken;

    bool operator==(const PreviewDescription&) const = default;
};

class PictureCache;

// The parts of a paint, each for the state it is given; the main dialog
// runs them in the order of its paint.

// Client position of the icon of a minimised window: centred, halves
// rounded up.
void placeMinimisedIcon(PreviewDescription& description, int clientWidth, int clientHeight, int iconWidth,
                        int iconHeight);
// 0 (blank) for class 0, 1..3, and 4 for any other value.
int classIndicatorDigit(std::int32_t previewClass);
// "1BPP", "2BPP", "4BPP", "8BPP", or "Original" for any other mode.
std::string colourIndicatorCaption(ColourMode colourMode);
// The ClassIndicator as a screen reader says it: "Class 2"; empty when blank.
std::string classIndicatorSpoken(int classDigit);
// The preview as a screen reader says it, e.g. "Class 2, 8BPP, centre 80, 80",
// or "No class shown" for class 0.
std::string previewSpoken(std::int32_t previewClass, const std::string& colourCaption, std::int32_t centreX,
                          std::int32_t centreY);
// The 160 x 160 window of `file` centred on (centreX, centreY), cut to the
// picture; nullopt when the file cannot be read as a picture.
std::optional<PreviewPicture> previewPicture(PictureCache& cache, const std::filesystem::path& file,
                                             std::int32_t centreX, std::int32_t centreY);
// The markers of the information texts whose boxes lie wholly inside the
// window, in text order; the selected text's marker inverted.
std::vector<PreviewMarker> infoTextMarkers(const MapProject& project);

}  // namespace plotvane::app
