#include "support/database_fixtures.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>

#include "support/bmp_writer.h"

namespace plotvane::test {

std::int64_t utcSeconds(int year, int month, int day, int hour, int minute) {
    // Days from civil, valid for the proleptic Gregorian calendar.
    const int y = year - (month <= 2 ? 1 : 0);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int mp = (month + 9) % 12;
    const int doy = (153 * mp + 2) / 5 + day - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const std::int64_t days = static_cast<std::int64_t>(era) * 146097 + doe - 719468;
    return days * 86400 + hour * 3600 + minute * 60;
}

void addOneBitClass(MapProject& project, int classIndex, const std::filesystem::path& path,
                    int width, int height, int columns, int rows,
                    const std::function<bool(int x, int y)>& black, bool whiteFirst,
                    std::uint8_t paddingFill) {
    BmpRecipe recipe;
    recipe.width = width;
    recipe.height = height;
    recipe.bitCount = 1;
    recipe.palette = whiteFirst ? whiteBlackPalette() : blackWhitePalette();
    recipe.paddingFill = paddingFill;
    const std::uint32_t blackIndex = whiteFirst ? 1u : 0u;
    recipe.pixel = [&](int x, int y) { return black(x, y) ? blackIndex : 1u - blackIndex; };
    writeFile(path, makeBmp(recipe));

    MapClassEntry& c = project.classes[static_cast<std::size_t>(classIndex)];
    c.fileName.assign(path.string());
    c.width = static_cast<std::uint16_t>(width);
    c.height = static_cast<std::uint16_t>(height);
    c.recordColumns = static_cast<std::uint16_t>(columns);
    c.recordRows = static_cast<std::uint16_t>(rows);
    c.pixelDataOffset = 62;
    c.invertedPolarity = whiteFirst ? 1 : 0;
    c.bitDepth = 1;
    if (classIndex > 0) {
        const MapClassEntry& upper = project.classes[static_cast<std::size_t>(classIndex - 1)];
        c.magnification = static_cast<std::uint16_t>(upper.width == 0 ? 1 : width / upper.width);
    }
    project.classCount = std::max(project.classCount, classIndex + 1);
}

std::vector<std::uint8_t> layOutDatabase(const MapProject& project, ColourMode mode, bool compressed,
                                         const std::vector<std::vector<std::uint8_t>>& data, std::uint32_t stamp) {
    const MapHeaderRecord zero = makeMapHeaderRecord(project, project.classCount, mode);
    const InfoTextRecord text = makeInfoTextRecord(project);
    const bool hasText = project.infoTextCount > 0;
    std::vector<std::uint32_t> lengths;
    for (const auto& d : data) lengths.push_back(static_cast<std::uint32_t>(d.size()));
    const RecordLayout layout{static_cast<std::uint32_t>(zero.directory.size()), hasText,
                              static_cast<std::uint32_t>(text.entries.size()), text.spareEntries, lengths,
                              compressed};
    std::vector<RecordListEntry> list;
    for (auto o : recordOffsets(layout)) list.push_back({o});
    std::vector<std::uint8_t> out;
    appendDatabaseHeader(out,
                         makeDatabaseHeader(project, stamp, static_cast<std::uint16_t>(recordCountOf(layout))));
    appendRecordList(out, list);
    appendMapHeaderRecord(out, zero);
    if (hasText) appendInfoTextRecord(out, text);
    for (std::size_t i = 0; i < zero.directory.size(); ++i) {
        const auto& e = zero.directory[i];
        appendTileBitmapHeader(out, makeTileBitmapHeader(e.tileWidth, e.tileHeight, mode, compressed));
        const std::vector<std::uint8_t> none;
        const std::vector<std::uint8_t>& d = i < data.size() ? data[i] : none;
        if (compressed) appendCompressedSizeWordLittleEndian(out, static_cast<std::uint16_t>(d.size() + 2));
        out.insert(out.end(), d.begin(), d.end());
    }
    return out;
}

std::vector<std::uint8_t> fileBytesOrEmpty(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> folderEntries(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

ScopedTimeZone::ScopedTimeZone(const char* zone) {
    if (const char* old = std::getenv("TZ")) {
        hadZone_ = true;
        previous_ = old;
    }
    setenv("TZ", zone, 1);
    tzset();
}

ScopedTimeZone::~ScopedTimeZone() {
    if (hadZone_)
        setenv("TZ", previous_.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

}  // namespace plotvane::test
