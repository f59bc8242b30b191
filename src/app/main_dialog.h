#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>

#include "app/picture_cache.h"
#include "app/preview.h"
#include "database/database_writer.h"
#include "import/georeference.h"
#include "import/class_warp.h"
#include "project/control_updates.h"
#include "project/map_project.h"
#include "app/platform.h"

namespace plotvane::app {

// Mouse buttons held and keyboard modifiers at a press, as bit sets.
enum MouseButton : unsigned { kLeftButton = 1, kRightButton = 2, kMiddleButton = 4 };
enum KeyModifier : unsigned { kShiftKey = 1, kControlKey = 2, kAltKey = 4, kMetaKey = 8 };

// The main dialog's logic. It owns the project state, handles every
// command by control id and reaches the window only through the platform.
// The window forwards its events here and draws `describePreview`.
class MainDialog : public ui::ModalDialog {
public:
    // `workDir` holds the temporary files (the window passes the current
    // directory).
    MainDialog(ui::Platform& platform, std::filesystem::path workDir, const Clock& clock);

    // The window is being created: false when a restored bitmap of another
    // run is on disk (the message has been shown) and the window must not open.
    bool create();
    // The dialog's controls exist: every control and field to its start state.
    void initialise() override;
    // A button or check box of the main dialog was clicked.
    void command(int controlId) override;
    // A command of the window menu.
    void systemCommand(int command);
    // A mouse press in the client area; `buttons` are all buttons held.
    void mousePress(int x, int y, unsigned buttons, unsigned modifiers);
    // Escape or the window's close button.
    void close();
    // The window was destroyed: the exit clean-up.
    void destroy();

    // What the client area shows. Runs the rebuild a paint needs when the
    // colour mode lags behind the requested one.
    PreviewDescription describePreview(bool minimised, int clientWidth, int clientHeight, int iconWidth,
                                       int iconHeight);

    const MapProject& project() const { return project_; }

    // The working raster of the preview, in the working folder.
    std::filesystem::path previewRasterPath() const;

private:
    void chooseClass(int classIndex);
    // The class check of a class button for `path`, and the row filled as
    // the button fills it. False when the check refused it.
    bool pickClass(int classIndex, const std::string& path);
    void makeClassesFromPicture();
    // Class 1 carries georeferencing: offers its corners for the
    // coordinate edits, and a map in another projection the reprojection
    // of its classes to latitude/longitude. With `grid`, `picture` is the
    // master Class 1 was made from, and the corners are those of Class 1's
    // outer edges.
    void offerPictureCorners(const std::string& picture, const import::PictureGrid* grid = nullptr);
    void fillCorners(const import::Georeference& georeference);
    void move(int dx, int dy);
    void zoomIn();
    void zoomOut();
    void cycleColourMode();
    void ditheringToggled();
    void compressToggled();
    void switchGps(bool on);
    void infoTextButton();
    void makeDatabase();
    void loadDatabase();

    // Shared operations of the handlers.
    void showCounter(int selected);
    void clearInfoSelection();
    void applyInfoButtonAccess();
    // True when rebuilt, and `colourMode` is then `mode`.
    bool rebuildWorkRaster(ColourMode mode);
    // The WorkRaster of Class 1 of a map just loaded, in `mode`, leaving the
    // class rows as the database gave them; true when rebuilt.
    bool rebuildLoadedPreview(ColourMode mode);
    // Writes back what a record division changed; `rows` false leaves the
    // UseRec edits alone (a refused class choice keeps its row as it was).
    void applyControlUpdates(const ControlUpdates& updates, bool rows = true);
    bool checked(int id) const;
    void setText(int id, std::string_view text);

    ui::Platform& platform_;
    std::filesystem::path workDir_;
    const Clock& clock_;
    MapProject project_;
    ui::PlatformFeedback feedback_;
    // The picture painted last; dropped by every rewrite of a picture file.
    PictureCache pictures_;
    // The classes are reprojected to latitude/longitude while Class 1 is
    // the reprojected picture this names.
    std::optional<import::ClassWarp> warp_;
    std::string warpedClassOne_;
};

}  // namespace plotvane::app
