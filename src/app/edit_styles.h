#pragma once

#include "project/control_ids.h"
#include "app/platform.h"
#include "database/input_rules.h"

// Styles the dialog templates give their edits. The window builds its
// widgets with them and the scripted platform of the tests enforces them
// the same way, so the controller meets one behaviour.
namespace plotvane::ui {

// Digits-only edits refuse every other character as it is typed; text
// pasted into them is taken as it is, so the checks' number messages can
// still be met.
constexpr bool isDigitsOnlyEdit(DialogId dialog, int id) {
    if (dialog != DialogId::Main) return false;
    if (id == ids::kIdVersion) return true;
    for (const auto& angle : ids::kIdCoordinate)
        for (int part : angle)
            if (part == id) return true;
    return false;
}

// Edits that start read-only: the class rows' display edits and the
// information counter.
constexpr bool isInitiallyReadOnlyEdit(DialogId dialog, int id) {
    if (dialog != DialogId::Main) return false;
    if (id == ids::kIdInfoTextCounter) return true;
    for (int k = 0; k < 4; ++k) {
        if (id == ids::kIdClassFileName[k] || id == ids::kIdClassTopxN[k] || id == ids::kIdClassWidth[k] ||
            id == ids::kIdClassHeight[k] || id == ids::kIdClassUseRec[k])
            return true;
    }
    return false;
}

// The information text is stored as Windows-1252 bytes: its edit takes
// only characters that code page holds, and no control characters.
constexpr bool isWindows1252Edit(DialogId dialog, int id) {
    return dialog == DialogId::Main && id == ids::kIdInfoTextEdit;
}

}  // namespace plotvane::ui
