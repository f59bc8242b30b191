#include "app/dialog_layout.h"

#include <algorithm>
#include <array>

#include "project/control_ids.h"
#include "project/map_project.h"

namespace plotvane::ui {

namespace {

using K = ControlKind;
using F = ButtonFace;

constexpr ControlLayout label(DialogUnits box, std::string_view caption) {
    return {kIdStatic, K::Label, box, caption, 0, caption, 0, F::None};
}
constexpr ControlLayout edit(int id, DialogUnits box, int limit, std::string_view name, unsigned styles = 0) {
    return {id, K::Edit, box, {}, limit, name, styles, F::None};
}
constexpr ControlLayout push(int id, DialogUnits box, std::string_view caption, unsigned styles = 0) {
    return {id, K::PushButton, box, caption, 0, caption, styles, F::None};
}
constexpr ControlLayout bitmap(int id, DialogUnits box, ButtonFace face, std::string_view name) {
    return {id, K::BitmapButton, box, {}, 0, name, 0, face};
}
constexpr ControlLayout check(int id, DialogUnits box, std::string_view caption) {
    return {id, K::CheckBox, box, caption, 0, caption, 0, F::None};
}
// Radio captions begin with a space; the spoken name leaves it out.
constexpr ControlLayout radio(int id, DialogUnits box, std::string_view caption) {
    return {id, K::RadioButton, box, caption, 0, caption.substr(1), 0, F::None};
}
constexpr ControlLayout group(DialogUnits box, std::string_view caption) {
    return {kIdStatic, K::GroupBox, box, caption, 0, caption, 0, F::None};
}

constexpr int rowY(int k) { return 65 + 20 * k; }
constexpr int coordinateY(int value) { return value < 2 ? 165 : 185; }

// One class row: button, FileName, TOPxN, Width, Height, UseRec.
constexpr std::array<ControlLayout, 6> classRow(int k, const std::array<std::string_view, 6>& names) {
    const int y = rowY(k);
    return {
        bitmap(ids::kIdClassButton[k], {10, y, 15, 15}, static_cast<F>(static_cast<int>(F::Class1) + k), names[0]),
        // A path of any length is kept whole, so the FileName edits take no
        // limit: a path cut short would name another file.
        edit(ids::kIdClassFileName[k], {30, y, 60, 15}, 0, names[1], kReadOnlyAtStart),
        edit(ids::kIdClassTopxN[k], {90, y, 25, 15}, 0, names[2], kReadOnlyAtStart),
        edit(ids::kIdClassWidth[k], {115, y, 25, 15}, 0, names[3], kReadOnlyAtStart),
        edit(ids::kIdClassHeight[k], {140, y, 25, 15}, 0, names[4], kReadOnlyAtStart),
        edit(ids::kIdClassUseRec[k], {165, y, 25, 15}, 0, names[5], kReadOnlyAtStart),
    };
}

// The edits of one angle and the "." between seconds and fraction. The dot
// sits in the gap between the two edits, where nothing covers it.
constexpr std::array<ControlLayout, 5> angle(int value, const std::array<std::string_view, 4>& names) {
    const bool longitude = value == 1 || value == 3;
    const int x = longitude ? 115 : 30;
    const int y = coordinateY(value);
    const auto& id = ids::kIdCoordinate[value];
    return {
        edit(id[0], {x, y, 20, 15}, 3, names[0], kDigitsOnly),
        edit(id[1], {x + 20, y, 15, 15}, 2, names[1], kDigitsOnly),
        edit(id[2], {x + 35, y, 15, 15}, 2, names[2], kDigitsOnly),
        label({x + 50, y, 5, 15}, "."),
        edit(id[3], {x + 55, y, 20, 15}, 2, names[3], kDigitsOnly),
    };
}

template <std::size_t... N>
constexpr auto join(const std::array<ControlLayout, N>&... parts) {
    std::array<ControlLayout, (N + ...)> out{};
    std::size_t i = 0;
    ((std::copy(parts.begin(), parts.end(), out.begin() + i), i += N), ...);
    return out;
}

constexpr auto kMainControls = join(
    std::array<ControlLayout, 4>{
        label({10, 10, 52, 10}, "DataBase Name"),
        edit(ids::kIdDatabaseName, {65, 10, 125, 15}, 15, "DataBase Name"),
        label({10, 30, 28, 10}, "Version"),
        edit(ids::kIdVersion, {65, 30, 125, 15}, 5, "Version", kDigitsOnly),
    },
    std::array<ControlLayout, 6>{
        label({5, 50, 20, 10}, "Class"),
        label({30, 50, 32, 10}, "FileName"),
        label({90, 50, 20, 10}, "TOPxN"),
        label({115, 50, 20, 10}, "Width"),
        label({140, 50, 24, 10}, "Height"),
        label({165, 50, 24, 10}, "UseRec"),
    },
    classRow(0, {"Class 1", "Class 1 FileName", "Class 1 TOPxN", "Class 1 Width", "Class 1 Height", "Class 1 UseRec"}),
    classRow(1, {"Class 2", "Class 2 FileName", "Class 2 TOPxN", "Class 2 Width", "Class 2 Height", "Class 2 UseRec"}),
    classRow(2, {"Class 3", "Class 3 FileName", "Class 3 TOPxN", "Class 3 Width", "Class 3 Height", "Class 3 UseRec"}),
    classRow(3, {"Class 4", "Class 4 FileName", "Class 4 TOPxN", "Class 4 Width", "Class 4 Height", "Class 4 UseRec"}),
    std::array<ControlLayout, 4>{
        bitmap(ids::kIdGpsOn, {10, 145, 15, 15}, F::GpsOn, "GPS ON"),
        bitmap(ids::kIdGpsOff, {25, 145, 15, 15}, F::GpsOff, "GPS OFF"),
        label({45, 150, 32, 10}, "Latitude"),
        label({130, 150, 36, 10}, "Longitude"),
    },
    angle(0, {"Upper-left latitude degrees", "Upper-left latitude minutes", "Upper-left latitude seconds",
              "Upper-left latitude fraction"}),
    angle(1, {"Upper-left longitude degrees", "Upper-left longitude minutes", "Upper-left longitude seconds",
              "Upper-left longitude fraction"}),
    angle(2, {"Bottom-right latitude degrees", "Bottom-right latitude minutes", "Bottom-right latitude seconds",
              "Bottom-right latitude fraction"}),
    angle(3, {"Bottom-right longitude degrees", "Bottom-right longitude minutes", "Bottom-right longitude seconds",
              "Bottom-right longitude fraction"}),
    std::array<ControlLayout, 16>{
        label({200, 15, 36, 10}, "Info Text"),
        edit(ids::kIdInfoTextCounter, {255, 10, 40, 15}, 0, "Info Text counter", kCentred | kReadOnlyAtStart),
        edit(ids::kIdInfoTextEdit, {200, 30, 95, 15}, kInfoTextBytes, "Info Text", kWindows1252Text),
        bitmap(ids::kIdInfoTextButton, {300, 30, 15, 15}, F::Information, "Info Text button"),
        bitmap(ids::kIdColour, {200, 185, 30, 15}, F::Colour, "Colour mode"),
        bitmap(ids::kIdZoomIn, {260, 180, 10, 10}, F::Plus, "Zoom in"),
        bitmap(ids::kIdZoomOut, {260, 190, 10, 10}, F::Minus, "Zoom out"),
        bitmap(ids::kIdUp, {290, 175, 10, 10}, F::Up, "Up"),
        bitmap(ids::kIdDown, {290, 195, 10, 10}, F::Down, "Down"),
        bitmap(ids::kIdLeft, {280, 185, 10, 10}, F::Left, "Left"),
        bitmap(ids::kIdRight, {300, 185, 10, 10}, F::Right, "Right"),
        check(ids::kIdDithering, {200, 210, 52, 10}, "DITHERING"),
        check(ids::kIdCompress, {200, 225, 48, 10}, "COMPRESS"),
        push(ids::kIdInfo, {10, 215, 50, 15}, "INFO"),
        push(ids::kIdMakePdb, {140, 215, 50, 15}, "Make PDB", kDefaultButton),
        push(ids::kIdFileLoad, {260, 215, 50, 15}, "File Load"),
    });

constexpr std::string_view kCancelCaption = "ｷｬﾝｾﾙ";

constexpr ControlLayout kPasswordCheckControls[] = {
    label({10, 10, 60, 10}, "Enter Password"),
    edit(ids::kIdPasswordEdit, {10, 25, 60, 15}, 8, "Password", kPasswordEcho),
    push(ids::kIdOk, {10, 50, 50, 15}, "OK", kDefaultButton),
    push(ids::kIdCancel, {90, 50, 50, 15}, kCancelCaption),
};

constexpr ControlLayout kPasswordAgainControls[] = {
    label({10, 10, 84, 10}, "Enter Password Again"),
    edit(ids::kIdPasswordEdit, {10, 25, 60, 15}, 8, "Password", kPasswordEcho),
    push(ids::kIdOk, {10, 50, 50, 15}, "OK", kDefaultButton),
    push(ids::kIdCancel, {90, 50, 50, 15}, kCancelCaption),
};

// Each radio button is a group of its own; the dialog's logic keeps the
// choices exclusive.
constexpr ControlLayout kPasswordInputControls[] = {
    label({10, 10, 52, 10}, "Set Password"),
    edit(ids::kIdPasswordEdit, {10, 25, 60, 15}, 8, "Password", kPasswordEcho),
    group({10, 48, 85, 62}, "View Mode"),
    radio(ids::kIdNonPassword, {18, 62, 72, 12}, " Non Password"),
    radio(ids::kIdInformation, {18, 77, 72, 12}, " Information"),
    radio(ids::kIdAllView, {18, 92, 72, 12}, " All view"),
    group({105, 48, 85, 62}, "Edit Mode"),
    radio(ids::kIdReadOnly, {113, 62, 72, 12}, " Read Only"),
    radio(ids::kIdFullEdit, {113, 77, 72, 12}, " Full Edit OK"),
    push(ids::kIdOk, {30, 118, 50, 15}, "OK", kDefaultButton),
    push(ids::kIdCancel, {120, 118, 50, 15}, kCancelCaption),
};

constexpr ControlLayout kAboutControls[] = {
    {kIdStatic, K::Icon, {10, 10, 22, 22}, {}, 0, "Plotvane", 0, F::None},
    label({40, 10, 96, 10}, "Plotvane2 for Orbilune"),
    label({40, 24, 96, 10}, " Version 0.23"),
    label({40, 38, 96, 10}, " Windows Program"),
    push(ids::kIdOk, {145, 10, 45, 15}, "OK", kDefaultButton),
};

const DialogLayout kLayouts[] = {
    {DialogId::Main, "Plotvane2", {0, 0, 327, 245}, kMainControls},
    {DialogId::About, "About Plotvane", {0, 0, 200, 56}, kAboutControls},
    {DialogId::PasswordCheck, "PassWord", {0, 0, 150, 75}, kPasswordCheckControls},
    {DialogId::PasswordInput, "PassWord Input", {0, 0, 200, 143}, kPasswordInputControls},
    {DialogId::PasswordAgain, "PassWord", {0, 0, 150, 75}, kPasswordAgainControls},
};

constexpr int ceilPixels(int units) { return (units * 3 + 1) / 2; }

}  // namespace

PixelRect toPixels(const DialogUnits& box) {
    return {dialogUnitsToPixels(box.x), dialogUnitsToPixels(box.y), dialogUnitsToPixels(box.x + box.width),
            dialogUnitsToPixels(box.y + box.height)};
}

int clientWidth(const DialogLayout& layout) { return ceilPixels(layout.size.width); }
int clientHeight(const DialogLayout& layout) { return ceilPixels(layout.size.height); }

const DialogLayout& dialogLayout(DialogId dialog) {
    for (const DialogLayout& layout : kLayouts)
        if (layout.dialog == dialog) return layout;
    return kLayouts[0];
}

const ControlLayout* findControl(DialogId dialog, int id) {
    for (const ControlLayout& c : dialogLayout(dialog).controls)
        if (c.id == id) return &c;
    return nullptr;
}

bool hasStyle(DialogId dialog, int id, ControlStyle style) {
    const ControlLayout* row = findControl(dialog, id);
    return row && (row->styles & style) != 0;
}

int inputLimit(DialogId dialog, int id) {
    const ControlLayout* row = findControl(dialog, id);
    return row ? row->inputLimit : 0;
}

}  // namespace plotvane::ui
