#include "import/georeference.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>
#include <vector>

#include <cpl_conv.h>
#include <cpl_minixml.h>

#include "import/gdal_handles.h"
#include "import/gdal_library.h"
#include "project/files.h"

namespace plotvane::import {

namespace {

// Samples per side when the interpolation error is measured.
constexpr int kErrorSamples = 33;
constexpr double kEarthRadiusMetres = 6371008.8;
constexpr double kPi = 3.14159265358979323846;

struct XmlFree {
    void operator()(CPLXMLNode* node) const noexcept { CPLDestroyXMLNode(node); }
};

struct Found {
    std::array<double, 6> gt{};
    std::string wkt;  // empty: no coordinate system stated
    std::string source;
    bool worldFile = false;
    std::string worldFileName;
};

std::optional<std::filesystem::path> sibling(const std::filesystem::path& picture, const std::string& extension) {
    for (const std::string& ext : {extension, [&] {
             std::string upper = extension;
             for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
             return upper;
         }()}) {
        std::filesystem::path candidate = picture;
        candidate.replace_extension(ext);
        if (fileExists(candidate)) return candidate;
    }
    return std::nullopt;
}

std::string readText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The coordinate system of a text GDAL's spatial reference API reads
// (WKT of any flavour, ESRI .prj, PROJ string, EPSG code); empty when none.
std::string wktOf(const std::string& text) {
    SpatialReferencePtr srs(OSRNewSpatialReference(nullptr));
    if (OSRSetFromUserInput(srs.get(), text.c_str()) != OGRERR_NONE) return {};
    char* wkt = nullptr;
    if (OSRExportToWkt(srs.get(), &wkt) != OGRERR_NONE) return {};
    std::string out = wkt;
    CPLFree(wkt);
    return out;
}

std::filesystem::path auxXmlOf(const std::filesystem::path& picture) {
    return std::filesystem::path(picture.string() + ".aux.xml");
}

// <PAMDataset><SRS>..</SRS><GeoTransform>..</GeoTransform> of the .aux.xml.
bool readAuxXml(const std::filesystem::path& picture, std::string& wkt, std::optional<std::array<double, 6>>& gt) {
    const std::filesystem::path aux = auxXmlOf(picture);
    if (!fileExists(aux)) return false;
    std::unique_ptr<CPLXMLNode, XmlFree> root(CPLParseXMLFile(aux.c_str()));
    if (!root) return false;
    if (const char* srs = CPLGetXMLValue(root.get(), "=PAMDataset.SRS", nullptr)) wkt = wktOf(srs);
    if (const char* text = CPLGetXMLValue(root.get(), "=PAMDataset.GeoTransform", nullptr)) {
        std::array<double, 6> values{};
        std::string list = text;
        std::replace(list.begin(), list.end(), ',', ' ');
        std::istringstream in(list);
        int n = 0;
        while (n < 6 && in >> values[static_cast<std::size_t>(n)]) ++n;
        if (n == 6) gt = values;
    }
    return true;
}

bool ozExplorer(const std::filesystem::path& picture, Found& found) {
    const auto map = sibling(picture, ".map");
    if (!map) return false;
    GdalMessages quiet;
    double gt[6] = {0, 1, 0, 0, 0, 1};
    char* wkt = nullptr;
    int count = 0;
    GDAL_GCP* gcps = nullptr;
    const int ok = GDALLoadOziMapFile(map->c_str(), gt, &wkt, &count, &gcps);
    const std::string system = wkt != nullptr ? wkt : "";
    CPLFree(wkt);
    bool haveTransform = false;
    if (ok && count >= 2) haveTransform = GDALGCPsToGeoTransform(count, gcps, gt, TRUE) != 0;
    else if (ok) haveTransform = !(gt[0] == 0 && gt[1] == 1 && gt[3] == 0 && gt[5] == 1);
    if (gcps != nullptr) {
        GDALDeinitGCPs(count, gcps);
        CPLFree(gcps);
    }
    if (!haveTransform) return false;
    std::copy(gt, gt + 6, found.gt.begin());
    found.wkt = system;
    found.source = "OziExplorer calibration " + map->filename().string();
    return true;
}

bool worldFile(const std::filesystem::path& picture, Found& found) {
    std::string ext = picture.extension().string();
    if (!ext.empty()) ext.erase(0, 1);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::vector<std::string> candidates;
    if (ext.size() >= 2) candidates.push_back(std::string(".") + ext.front() + ext.back() + "w");
    if (!ext.empty()) candidates.push_back("." + ext + "w");
    candidates.push_back(".wld");
    for (const std::string& candidate : candidates) {
        const auto path = sibling(picture, candidate);
        if (!path) continue;
        double gt[6];
        // GDAL moves the world file's first-pixel centre to the pixel's outer corner.
        if (!GDALLoadWorldFile(path->c_str(), gt)) continue;
        std::copy(gt, gt + 6, found.gt.begin());
        found.worldFile = true;
        found.worldFileName = path->filename().string();
        found.source = "world file " + found.worldFileName;
        return true;
    }
    return false;
}

LatLong pixelToLatLong(const std::array<double, 6>& gt, OGRCoordinateTransformationH ct, double px, double py,
                       bool& ok) {
    double x = gt[0] + px * gt[1] + py * gt[2];
    double y = gt[3] + px * gt[4] + py * gt[5];
    if (!OCTTransform(ct, 1, &x, &y, nullptr)) ok = false;
    return {y, x};
}

double haversineMetres(LatLong a, LatLong b) {
    const double toRad = kPi / 180.0;
    const double dLat = (b.latitude - a.latitude) * toRad;
    const double dLon = (b.longitude - a.longitude) * toRad;
    const double h = std::sin(dLat / 2) * std::sin(dLat / 2) +
                     std::cos(a.latitude * toRad) * std::cos(b.latitude * toRad) * std::sin(dLon / 2) * std::sin(dLon / 2);
    return 2 * kEarthRadiusMetres * std::asin(std::min(1.0, std::sqrt(h)));
}

Message refusal(std::string text) { return warning(std::move(text), Icon::Exclamation); }

bool canBeDegrees(const std::array<double, 6>& gt, int width, int height) {
    for (const auto& [px, py] : {std::pair{0, 0}, std::pair{width, 0}, std::pair{0, height}, std::pair{width, height}}) {
        const double x = gt[0] + px * gt[1] + py * gt[2];
        const double y = gt[3] + px * gt[4] + py * gt[5];
        if (std::fabs(x) > 180.0 || std::fabs(y) > 90.0) return false;
    }
    return true;
}

std::string wgs84Wkt() {
    SpatialReferencePtr srs(OSRNewSpatialReference(nullptr));
    OSRSetWellKnownGeogCS(srs.get(), "WGS84");
    char* wkt = nullptr;
    OSRExportToWkt(srs.get(), &wkt);
    std::string out = wkt != nullptr ? wkt : "";
    CPLFree(wkt);
    return out;
}

// What a grid of samples over the map finds: the latitudes and longitudes
// it spans, and how far the handheld's straight interpolation between the
// corners `ul` and `br` strays from the truth.
struct Sampled {
    double minLat = 90, maxLat = -90, minLon = 180, maxLon = -180;
    double worstMetres = 0, worstPixels = 0;
};

Sampled sampleMap(const std::array<double, 6>& gt, OGRCoordinateTransformationH ct, int width, int height,
                  const LatLong& ul, const LatLong& br, bool& ok) {
    Sampled s;
    for (int j = 0; j < kErrorSamples && ok; ++j) {
        for (int i = 0; i < kErrorSamples && ok; ++i) {
            const double px = static_cast<double>(width) * i / (kErrorSamples - 1);
            const double py = static_cast<double>(height) * j / (kErrorSamples - 1);
            const LatLong truth = pixelToLatLong(gt, ct, px, py, ok);
            s.minLat = std::min(s.minLat, truth.latitude), s.maxLat = std::max(s.maxLat, truth.latitude);
            s.minLon = std::min(s.minLon, truth.longitude), s.maxLon = std::max(s.maxLon, truth.longitude);
            if (br.latitude == ul.latitude || br.longitude == ul.longitude) continue;
            // Where the handheld draws this place, and which place it puts at this pixel.
            const double drawnX = (truth.longitude - ul.longitude) / (br.longitude - ul.longitude) * width;
            const double drawnY = (truth.latitude - ul.latitude) / (br.latitude - ul.latitude) * height;
            s.worstPixels = std::max(s.worstPixels, std::hypot(drawnX - px, drawnY - py));
            const LatLong assumed{ul.latitude + (br.latitude - ul.latitude) * py / height,
                                  ul.longitude + (br.longitude - ul.longitude) * px / width};
            s.worstMetres = std::max(s.worstMetres, haversineMetres(truth, assumed));
        }
    }
    return s;
}

// False after a message when the map crosses the equator or the prime
// meridian.
bool liesOnOneSide(const Sampled& s, Feedback& feedback) {
    const auto range = [](double lo, double hi) { return decimalDegreesText(lo) + " to " + decimalDegreesText(hi); };
    if (s.minLat <= 0 && s.maxLat >= 0) {
        feedback.show(refusal("This map crosses the equator (latitudes " + range(s.minLat, s.maxLat) +
                              ").\nThe database stores the corners without sign, so a map must lie on one side "
                              "of the equator."));
        return false;
    }
    if (s.minLon <= 0 && s.maxLon >= 0) {
        feedback.show(refusal("This map crosses the prime meridian (longitudes " + range(s.minLon, s.maxLon) +
                              ").\nThe database stores the corners without sign, so a map must lie on one side "
                              "of the prime meridian."));
        return false;
    }
    return true;
}

// Fills the corners and the interpolation error; false after a message.
bool measure(const Found& found, int width, int height, const std::string& pictureName, Georeference& out,
             Feedback& feedback) {
    SpatialReferencePtr source(OSRNewSpatialReference(nullptr));
    SpatialReferencePtr target(OSRNewSpatialReference(nullptr));
    OSRSetWellKnownGeogCS(target.get(), "WGS84");
    if (OSRSetFromUserInput(source.get(), found.wkt.c_str()) != OGRERR_NONE) {
        feedback.show(refusal("The coordinate system of " + pictureName + " (" + found.source +
                              ") cannot be read."));
        return false;
    }
    // Longitude is x and latitude y, whatever order the systems declare.
    OSRSetAxisMappingStrategy(source.get(), OAMS_TRADITIONAL_GIS_ORDER);
    OSRSetAxisMappingStrategy(target.get(), OAMS_TRADITIONAL_GIS_ORDER);
    GdalMessages messages;
    TransformationPtr ct(OCTNewCoordinateTransformation(source.get(), target.get()));
    if (!ct) {
        feedback.show(refusal("The coordinates of " + pictureName + " (" + found.source +
                              ") cannot be transformed to latitude and longitude:\n" +
                              feedback.shown(messages.lastFailure("no transformation is known"))));
        return false;
    }
    if (const char* name = OSRGetName(source.get())) out.system = name;
    out.latLong = OSRIsGeographic(source.get()) != 0;
    out.source = found.source;
    out.systemWkt = found.wkt;
    out.pixelToSystem = found.gt;
    out.width = width;
    out.height = height;
    bool ok = true;
    out.upperLeft = pixelToLatLong(found.gt, ct.get(), 0, 0, ok);
    out.bottomRight = pixelToLatLong(found.gt, ct.get(), width, height, ok);

    const Sampled sampled = sampleMap(found.gt, ct.get(), width, height, out.upperLeft, out.bottomRight, ok);
    if (!ok) {
        feedback.show(refusal("The coordinates of " + pictureName + " (" + found.source +
                              ") cannot be transformed to latitude and longitude:\n" +
                              feedback.shown(messages.lastFailure("the map lies outside its coordinate system"))));
        return false;
    }
    out.worstMetres = sampled.worstMetres;
    out.worstPixels = sampled.worstPixels;
    return liesOnOneSide(sampled, feedback);
}

// The transform of a picture each of whose pixels is `scale` x `scale`
// pixels of the georeferenced one, from the same upper-left corner.
std::array<double, 6> scaledTransform(const std::array<double, 6>& gt, int scale) {
    return {gt[0], gt[1] * scale, gt[2] * scale, gt[3], gt[4] * scale, gt[5] * scale};
}

// The georeferencing the picture's own file holds, or else its .aux.xml
// when that has both a transform and a coordinate system (`auxWkt` null
// when there is no .aux.xml). False when there is neither.
bool embeddedOrAux(GDALDatasetH dataset, const std::filesystem::path& picture, const std::string* auxWkt,
                   const std::optional<std::array<double, 6>>& auxGt, Found& found) {
    double gt[6];
    OGRSpatialReferenceH srs = GDALGetSpatialRef(dataset);
    if (srs != nullptr && GDALGetGeoTransform(dataset, gt) == CE_None) {
        std::copy(gt, gt + 6, found.gt.begin());
        char* wkt = nullptr;
        OSRExportToWkt(srs, &wkt);
        found.wkt = wkt != nullptr ? wkt : "";
        CPLFree(wkt);
        found.source = formatName(dataset) == "TIFF" ? "GeoTIFF tags" : formatName(dataset) + " georeferencing";
        return true;
    }
    if (auxWkt == nullptr || !auxGt || auxWkt->empty()) return false;
    found.gt = *auxGt;
    found.wkt = *auxWkt;
    found.source = auxXmlOf(picture).filename().string();
    return true;
}

GeoreferenceStatus readGeoreferenceOf(const std::filesystem::path& picture, const PictureGrid* grid,
                                      Georeference& out, Feedback& feedback) {
    ensureGdalReady();
    out = Georeference{};
    DatasetPtr dataset = openRaster(picture.string());
    if (!dataset) return GeoreferenceStatus::None;
    const int scale = grid != nullptr ? grid->scale : 1;
    const int width = grid != nullptr ? grid->width : GDALGetRasterXSize(dataset.get());
    const int height = grid != nullptr ? grid->height : GDALGetRasterYSize(dataset.get());
    const std::string name = feedback.shown(picture.filename().string());

    Found found;
    std::string auxWkt;
    std::optional<std::array<double, 6>> auxGt;
    const bool haveAux = readAuxXml(picture, auxWkt, auxGt);
    if (ozExplorer(picture, found)) {
        // the calibration names its own datum
    } else if (worldFile(picture, found)) {
        if (const auto prj = sibling(picture, ".prj")) {
            found.wkt = wktOf(readText(*prj));
            found.source += " with " + prj->filename().string();
        } else if (!auxWkt.empty()) {
            found.wkt = auxWkt;
            found.source += " with " + auxXmlOf(picture).filename().string();
        }
        if (found.wkt.empty()) {
            if (!canBeDegrees(scaledTransform(found.gt, scale), width, height)) {
                std::filesystem::path prj = picture;
                prj.replace_extension(".prj");
                feedback.show(refusal("The world file " + feedback.shown(found.worldFileName) + " of " + name +
                                      " has no coordinate system, and its numbers are not degrees.\nPlease put "
                                      "its coordinate system beside it as " +
                                      feedback.shown(prj.filename().string()) + "."));
                return GeoreferenceStatus::Refused;
            }
            found.wkt = wgs84Wkt();
            found.source += ", in degrees without a .prj";
        }
    } else if (!embeddedOrAux(dataset.get(), picture, haveAux ? &auxWkt : nullptr, auxGt, found)) {
        return GeoreferenceStatus::None;
    }
    found.gt = scaledTransform(found.gt, scale);
    // The source names the files it came from: shown as the front end shows a name.
    found.source = feedback.shown(found.source);
    return measure(found, width, height, name, out, feedback) ? GeoreferenceStatus::Found : GeoreferenceStatus::Refused;
}

}  // namespace

GeoreferenceStatus readGeoreference(const std::filesystem::path& picture, Georeference& out, Feedback& feedback) {
    return readGeoreferenceOf(picture, nullptr, out, feedback);
}

GeoreferenceStatus readGeoreference(const std::filesystem::path& picture, const PictureGrid& grid, Georeference& out,
                                    Feedback& feedback) {
    return readGeoreferenceOf(picture, &grid, out, feedback);
}

bool describePicture(const std::string& source, const std::string& systemWkt, const std::array<double, 6>& pixelToSystem,
                     int width, int height, const std::string& pictureName, Georeference& out, Feedback& feedback) {
    ensureGdalReady();
    out = Georeference{};
    Found found;
    found.gt = pixelToSystem;
    found.wkt = systemWkt;
    found.source = source;
    return measure(found, width, height, pictureName, out, feedback);
}

std::uint32_t thousandthsOfSecond(double degrees) {
    return static_cast<std::uint32_t>(std::llround(std::fabs(degrees) * 3600000.0));
}

namespace {

DmsAngle splitThousandths(std::uint32_t total) {
    DmsAngle a;
    a.degrees = static_cast<std::int32_t>(total / 3600000u);
    a.minutes = static_cast<std::int32_t>(total / 60000u % 60u);
    a.seconds = static_cast<std::int32_t>(total / 1000u % 60u);
    a.milliseconds = static_cast<std::int32_t>(total % 1000u);
    return a;
}

}  // namespace

GeoBounds cornerBounds(const Georeference& georeference) {
    GeoBounds b;
    b.upperLeftLatTotal = thousandthsOfSecond(georeference.upperLeft.latitude);
    b.upperLeftLongTotal = thousandthsOfSecond(georeference.upperLeft.longitude);
    b.bottomRightLatTotal = thousandthsOfSecond(georeference.bottomRight.latitude);
    b.bottomRightLongTotal = thousandthsOfSecond(georeference.bottomRight.longitude);
    b.upperLeftLat = splitThousandths(b.upperLeftLatTotal);
    b.upperLeftLong = splitThousandths(b.upperLeftLongTotal);
    b.bottomRightLat = splitThousandths(b.bottomRightLatTotal);
    b.bottomRightLong = splitThousandths(b.bottomRightLongTotal);
    return b;
}

std::string dmsText(std::uint32_t thousandths) {
    const DmsAngle a = splitThousandths(thousandths);
    char text[32];
    std::snprintf(text, sizeof text, "%d:%02d:%02d.%03d", a.degrees, a.minutes, a.seconds, a.milliseconds);
    return text;
}

std::string decimalDegreesText(double degrees) {
    char text[32];
    std::snprintf(text, sizeof text, "%.7f", degrees);
    return text;
}

}  // namespace plotvane::import

namespace plotvane::import {

namespace {

std::string cornerText(const LatLong& corner) {
    return dmsText(thousandthsOfSecond(corner.latitude)) + (corner.latitude < 0 ? " S, " : " N, ") +
           dmsText(thousandthsOfSecond(corner.longitude)) + (corner.longitude < 0 ? " W" : " E") + " (" +
           decimalDegreesText(corner.latitude) + ", " + decimalDegreesText(corner.longitude) + ")";
}

}  // namespace

DetailedClass mostDetailedClass(const MapProject& project, const Georeference& g) {
    DetailedClass detailed;
    std::uint64_t largest = 0;
    for (int k = 0; k < std::min<int>(project.classCount, kClassSlots); ++k) {
        const MapClassEntry& entry = project.classes[static_cast<std::size_t>(k)];
        const std::uint64_t area = static_cast<std::uint64_t>(entry.width) * entry.height;
        if (area <= largest) continue;
        largest = area;
        detailed.number = k + 1;
        if (g.width > 0 && g.height > 0)
            detailed.scale = std::max(static_cast<double>(entry.width) / g.width,
                                      static_cast<double>(entry.height) / g.height);
    }
    return detailed;
}

std::string georeferenceSummary(const Georeference& g, const DetailedClass& detailed) {
    char error[160];
    std::snprintf(error, sizeof error, "up to %.1f m, %.2f pixels of Class %d", g.worstMetres,
                  g.worstPixels * detailed.scale, detailed.number);
    std::string text = "Corners from the " + g.source;
    if (!g.system.empty()) text += " (" + g.system + ")";
    text += ":\nupper-left " + cornerText(g.upperLeft) + "\nbottom-right " + cornerText(g.bottomRight) +
            "\nThe handheld places a position by straight interpolation between the corners; on this map it is "
            "off by " + error + ".";
    return text;
}

bool interpolationOffMoreThanPixel(const Georeference& g, const DetailedClass& detailed) {
    return g.worstPixels * detailed.scale > 1.0;
}

}  // namespace plotvane::import
