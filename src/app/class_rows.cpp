#include "app/class_rows.h"

#include <string>

#include "project/control_ids.h"

namespace plotvane::app {

namespace {
constexpr ui::DialogId kMain = ui::DialogId::Main;
}

void showClassRow(ui::Platform& platform, const MapProject& project, int classIndex) {
    if (classIndex < 0 || classIndex >= kClassSlots) return;
    const MapClassEntry& entry = project.classes[static_cast<std::size_t>(classIndex)];
    unsigned product = 1;
    for (int k = 1; k <= classIndex; ++k) product *= project.classes[static_cast<std::size_t>(k)].magnification;
    platform.setControlText(kMain, ids::kIdClassTopxN[classIndex], classIndex == 0 ? "TOP" : std::to_string(product));
    platform.setControlText(kMain, ids::kIdClassWidth[classIndex], std::to_string(entry.width));
    platform.setControlText(kMain, ids::kIdClassHeight[classIndex], std::to_string(entry.height));
    showUseRec(platform, project, classIndex);
}

void showUseRec(ui::Platform& platform, const MapProject& project, int classIndex) {
    if (classIndex < 0 || classIndex >= kClassSlots) return;
    const MapClassEntry& entry = project.classes[static_cast<std::size_t>(classIndex)];
    platform.setControlText(kMain, ids::kIdClassUseRec[classIndex],
                            std::to_string(static_cast<unsigned>(entry.recordColumns) * entry.recordRows));
}

void applyControlUpdates(ui::Platform& platform, const MapProject& project, const ControlUpdates& updates) {
    if (updates.uncheckCompress) platform.setChecked(kMain, ids::kIdCompress, false);
    // A check flags only the rows it divided, so every flagged row is a
    // loaded class.
    for (int k = 0; k < kClassSlots; ++k) {
        if (updates.useRecChanged[static_cast<std::size_t>(k)]) showUseRec(platform, project, k);
    }
}

}  // namespace plotvane::app
