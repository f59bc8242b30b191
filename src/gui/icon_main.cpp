// Writes the application icon as a PNG file for the desktop's icon theme.
#include <cstdio>
#include <cstdlib>

#include "gui/app_icon.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: plotvane2-icon SIZE OUT.png\n");
        return 2;
    }
    const int size = std::atoi(argv[1]);
    if (size < 16 || size > 1024 || !plotvane::qtui::drawAppIcon(size).save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "plotvane2-icon: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
