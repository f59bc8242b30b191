#pragma once

#include <QIcon>
#include <QImage>

namespace plotvane::qtui {

// The application icon: a map sheet with a coast, a road and a position
// pin, drawn at `size` x `size` pixels. Drawn from shapes only, so it needs
// no fonts and can be drawn without a running application.
QImage drawAppIcon(int size);

// The icon at the sizes window managers ask for.
QIcon appIcon();

inline constexpr int kIconSize = 32;

}  // namespace plotvane::qtui
