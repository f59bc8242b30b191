#pragma once

#include <span>
#include <string_view>

#include "app/pixel_rect.h"
#include "app/platform.h"
#include "database/input_rules.h"  // the characters a kWindows1252Text edit takes

// The dialog templates as data: every control of every dialog with its
// place in dialog units, caption, input limit and accessible name. The
// window builds its widgets from these rows and has no coordinates of its
// own; the tests check ids, names and overlaps against the same rows.
namespace plotvane::ui {

// Static controls have no id of their own.
inline constexpr int kIdStatic = -1;

enum class ControlKind {
    Label,
    Edit,
    PushButton,
    BitmapButton,
    CheckBox,
    RadioButton,
    GroupBox,
    Icon,
};

// The picture a bitmap button shows.
enum class ButtonFace {
    None,
    Class1,
    Class2,
    Class3,
    Class4,
    GpsOn,
    GpsOff,
    Plus,
    Minus,
    Up,
    Down,
    Left,
    Right,
    Colour,
    Information,
};

enum ControlStyle : unsigned {
    kDefaultButton = 1,  // Enter in an edit presses it
    kCentred = 2,        // text centred in the edit
    kPasswordEcho = 4,   // typed characters are not shown
    // Typed characters other than digits are dropped; pasted text is taken
    // as it is, so the checks' number messages can still be met.
    kDigitsOnly = 8,
    kReadOnlyAtStart = 16,  // the controller makes it editable when it may be
    // Stored as Windows-1252 bytes: takes only characters that code page
    // holds, and no control characters.
    kWindows1252Text = 32,
};

struct DialogUnits {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

using app::PixelRect;

struct ControlLayout {
    int id = kIdStatic;
    ControlKind kind = ControlKind::Label;
    DialogUnits box;
    std::string_view caption;         // UTF-8; empty for edits and bitmap buttons
    int inputLimit = 0;               // edits: characters; 0 for none
    std::string_view accessibleName;  // what a screen reader says
    unsigned styles = 0;              // ControlStyle bits
    ButtonFace face = ButtonFace::None;
};

struct DialogLayout {
    DialogId dialog = DialogId::Main;
    std::string_view title;
    DialogUnits size;  // x and y unused
    std::span<const ControlLayout> controls;
};

// A dialog unit is 1.5 pixels both ways, for the 9-point font of about
// 6 x 12 pixels a character the templates were drawn for.
inline constexpr int kFontPixelHeight = 12;

// Each edge at the whole pixel at or below 1.5 x its coordinate.
constexpr int dialogUnitsToPixels(int units) { return units * 3 / 2; }
PixelRect toPixels(const DialogUnits& box);

// The client area: the smallest whole pixel size holding 1.5 x the
// dialog's size (491 x 368 for the main dialog).
int clientWidth(const DialogLayout& layout);
int clientHeight(const DialogLayout& layout);

const DialogLayout& dialogLayout(DialogId dialog);

// The row of control `id` in `dialog`, or nullptr.
const ControlLayout* findControl(DialogId dialog, int id);

// Whether the row of control `id` in `dialog` has `style`; false for a
// control the table does not hold.
bool hasStyle(DialogId dialog, int id, ControlStyle style);

// The input limit of control `id` in `dialog`; 0 for none.
int inputLimit(DialogId dialog, int id);

}  // namespace plotvane::ui
