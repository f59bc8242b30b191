#include "project/map_project.h"

namespace plotvane {

namespace {

Palette buildSystemPalette() {
    static constexpr std::uint8_t kLevels[6] = {255, 204, 153, 102, 51, 0};
    Palette p{};
    // Cube without black: green fastest, then blue within its half, then
    // red, then the half (blue levels 0..2 first, 3..5 second).
    for (int i = 0; i < 215; ++i) {
        const int half = i / 108;
        const int j = i % 108;
        const int red = j / 18;
        const int blue = half * 3 + (j % 18) / 6;
        const int green = j % 6;
        p[i] = {kLevels[red], kLevels[green], kLevels[blue]};
    }
    static constexpr std::uint8_t kGreys[10] = {17, 34, 68, 85, 119, 136, 170, 187, 221, 238};
    for (int i = 0; i < 10; ++i) p[215 + i] = {kGreys[i], kGreys[i], kGreys[i]};
    p[225] = {192, 192, 192};
    p[226] = {128, 0, 0};
    p[227] = {128, 0, 128};
    p[228] = {0, 128, 0};
    p[229] = {0, 128, 128};
    p[230] = {0, 0, 0};
    return p;
}

}  // namespace

const Palette& systemPaletteTable() {
    static const Palette palette = buildSystemPalette();
    return palette;
}

void MapProject::reset() {
    classes = {};
    classCount = 0;
    geo = {};
    gpsEnabled = 0;
    databaseName.clear();
    versionText.clear();
    rasterDataOffset = 0;
    previewClass = 0;
    previewCentreX = 80;
    previewCentreY = 80;
    clearInfoTexts();
    spareInfoTextCount = 10;
    infoFormatWord = 1;
    selectedInfoText = 0;
    tempFilesInUse = 0;
    access.encodedPassword.fill('\0');
    access.readOnly = 0;
    access.fullEdit = 1;
    access.viewMode = 0;
    access.loadedFlag = 0;
    ditherFlag = 0;
    compressFlag = 0;
    colourMode = ColourMode::Original;
    sourceBitDepth = 24;
    requestedColourMode = ColourMode::Original;
    systemPalette = systemPaletteTable();
}

InfoText MapProject::infoText(int index) const {
    InfoText t;
    const auto& bytes = infoTextBytes[static_cast<std::size_t>(index)];
    std::size_t n = 0;
    while (n < kInfoTextBytes && bytes[n] != '\0') ++n;
    t.text.assign(bytes.data(), n);
    t.left = infoLeft[static_cast<std::size_t>(index)];
    t.top = infoTop[static_cast<std::size_t>(index)];
    t.right = infoRight[static_cast<std::size_t>(index)];
    t.bottom = infoBottom[static_cast<std::size_t>(index)];
    return t;
}

void MapProject::setInfoText(int index, const InfoText& text) {
    const auto i = static_cast<std::size_t>(index);
    infoTextBytes[i].fill('\0');
    const std::size_t n = std::min<std::size_t>(text.text.size(), kInfoTextBytes);
    for (std::size_t k = 0; k < n; ++k) infoTextBytes[i][k] = text.text[k];
    infoLeft[i] = text.left;
    infoTop[i] = text.top;
    infoRight[i] = text.right;
    infoBottom[i] = text.bottom;
}

void MapProject::clearInfoTexts() {
    infoLeft = {};
    infoTop = {};
    infoRight = {};
    infoBottom = {};
    for (auto& t : infoTextBytes) t.fill('\0');
    infoTextCount = 0;
}

}  // namespace plotvane
