#pragma once

#include <functional>
#include <string_view>

#include <QFont>
#include <QString>
#include <QStringList>

#include "app/dialog_layout.h"

class QWidget;

namespace plotvane::qtui {

// The 9-point font the templates were laid out for: about 6 x 12 pixels a
// character, with the half-width katakana of the cancel caption.
QFont dialogFont();

// The application's look: a style that does not depend on the desktop, so
// the layout measured by the tests is the one shown. The dialogs built from
// templates take the font above; file dialogs and message boxes keep the
// desktop's.
void configureApplication();

QString toQString(std::string_view utf8);

// Creates the controls of `layout` as children of `window`, each placed at
// its pixel rectangle, with its id as object name and its accessible name.
// A click of any button or check box calls `clicked(id)`.
void buildControls(QWidget& window, const ui::DialogLayout& layout, const std::function<void(int)>& clicked);

// The control with object name `id` among the children of `window`.
QWidget* findControl(const QWidget* window, int id);

// Read-only edits show the window colour, as display fields do.
void setEditReadOnly(QWidget* edit, bool readOnly);

// "desc|pattern|desc|pattern||" as Qt name filters, "desc (patterns)".
QStringList toNameFilters(std::string_view filter);

}  // namespace plotvane::qtui
