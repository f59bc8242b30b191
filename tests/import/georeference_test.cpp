// Corners from a map's own georeferencing, compared with GDAL's own
// transformation of the outer pixel edges to WGS 84, to a thousandth of a
// second of arc.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include <cpl_conv.h>
#include <ogr_srs_api.h>

#include "database/map_database.h"
#include "import/gdal_pictures.h"
#include "import/georeference.h"
#include "support/cli_fixtures.h"
#include "support/recording_feedback.h"
#include "support/temp_dir.h"

namespace plotvane::test {
namespace {

constexpr int kW = 640;
constexpr int kH = 480;
const std::array<double, 6> kUtm = {380000, 10, 0, 3960000, 0, -10};        // outer edges, UTM 54N
const std::array<double, 6> kDegrees = {139.5, 0.001, 0, 35.8, 0, -0.001};  // outer edges, WGS 84

void writeText(const std::filesystem::path& path, const std::string& text) { std::ofstream(path) << text; }

// A world file names the centre of the first pixel.
std::string worldFile(const std::array<double, 6>& gt) {
    char text[256];
    std::snprintf(text, sizeof text, "%.10f\n%.10f\n%.10f\n%.10f\n%.10f\n%.10f\n", gt[1], gt[4], gt[2], gt[5],
                  gt[0] + gt[1] / 2 + gt[2] / 2, gt[3] + gt[4] / 2 + gt[5] / 2);
    return text;
}

// GDAL's own transformation of a pixel corner to WGS 84 (latitude, longitude).
import::LatLong gdalCorner(const std::array<double, 6>& gt, int epsg, double px, double py) {
    OGRSpatialReferenceH from = OSRNewSpatialReference(nullptr);
    OGRSpatialReferenceH to = OSRNewSpatialReference(nullptr);
    OSRImportFromEPSG(from, epsg);
    OSRImportFromEPSG(to, 4326);
    OSRSetAxisMappingStrategy(from, OAMS_TRADITIONAL_GIS_ORDER);
    OSRSetAxisMappingStrategy(to, OAMS_TRADITIONAL_GIS_ORDER);
    OGRCoordinateTransformationH ct = OCTNewCoordinateTransformation(from, to);
    double x = gt[0] + px * gt[1] + py * gt[2];
    double y = gt[3] + px * gt[4] + py * gt[5];
    EXPECT_TRUE(OCTTransform(ct, 1, &x, &y, nullptr));
    OCTDestroyCoordinateTransformation(ct);
    OSRRelease(from);
    OSRRelease(to);
    return {y, x};
}

PictureRecipe picture(const char* driver) {
    PictureRecipe p;
    p.driver = driver;
    p.width = kW;
    p.height = kH;
    p.bands = 1;
    return p;
}

struct GeoCase {
    const char* name;
    std::function<std::filesystem::path(const std::filesystem::path& dir)> make;
    std::string source;
    std::array<double, 6> gt;
    int epsg;
    bool straight;  // plain latitude/longitude: the interpolation is exact
};

// Writes a GeoTIFF `name` carrying `geoTransform` in the system of `epsg`.
std::function<std::filesystem::path(const std::filesystem::path&)> geoTiff(std::array<double, 6> geoTransform,
                                                                            int epsg, std::string name = "m.tif") {
    return [geoTransform, epsg, name](const std::filesystem::path& dir) {
        PictureRecipe p = picture("GTiff");
        p.geoTransform = geoTransform;
        p.wkt = wktOfEpsg(epsg);
        writePicture(dir / name, p);
        return dir / name;
    };
}

std::vector<GeoCase> foundCases() {
    return {
        {"GeoTiffWgs84",
         geoTiff(kDegrees, 4326),
         "GeoTIFF tags", kDegrees, 4326, true},
        {"GeoTiffUtm",
         geoTiff(kUtm, 32654),
         "GeoTIFF tags", kUtm, 32654, false},
        {"PngWorldFileAndPrj",
         [](const auto& dir) {
             writePicture(dir / "m.png", picture("PNG"));
             writeText(dir / "m.pgw", worldFile(kUtm));
             writeText(dir / "m.prj", wktOfEpsg(32654));
             return dir / "m.png";
         },
         "world file m.pgw with m.prj", kUtm, 32654, false},
        {"PngWorldFileInDegrees",
         [](const auto& dir) {
             writePicture(dir / "m.png", picture("PNG"));
             writeText(dir / "m.wld", worldFile(kDegrees));
             return dir / "m.png";
         },
         "world file m.wld, in degrees without a .prj", kDegrees, 4326, true},
        {"PngAuxXml",
         [](const auto& dir) {
             writePicture(dir / "m.png", picture("PNG"));
             char gt[200];
             std::snprintf(gt, sizeof gt, "%.1f, %.1f, %.1f, %.1f, %.1f, %.1f", kUtm[0], kUtm[1], kUtm[2], kUtm[3],
                           kUtm[4], kUtm[5]);
             writeText(dir / "m.png.aux.xml", "<PAMDataset><SRS>EPSG:32654</SRS><GeoTransform>" + std::string(gt) +
                                                  "</GeoTransform></PAMDataset>\n");
             return dir / "m.png";
         },
         "m.png.aux.xml", kUtm, 32654, false},
        {"OziExplorerMap",
         [](const auto& dir) {
             writePicture(dir / "m.png", picture("PNG"));
             writeText(dir / "m.map",
                       "OziExplorer Map Data File Version 2.2\r\nm\r\nm.png\r\n1 ,Map Code,\r\n"
                       "WGS 84,WGS 84,   0.0000,   0.0000,WGS 84\r\nReserved 1\r\nReserved 2\r\n"
                       "Magnetic Variation,,,E\r\n"
                       "Map Projection,Latitude/Longitude,PolyCal,No,AutoCalOnly,No,BSBUseWPX,No\r\n"
                       "Point01,xy,    0,    0,in, deg,  35, 48.0000,N, 139, 30.0000,E, grid,   ,           ,           ,N\r\n"
                       "Point02,xy,  640,  480,in, deg,  35, 19.2000,N, 140,  8.4000,E, grid,   ,           ,           ,N\r\n"
                       "Point03,xy,  640,    0,in, deg,  35, 48.0000,N, 140,  8.4000,E, grid,   ,           ,           ,N\r\n"
                       "Projection Setup,,,,,,,,,,\r\nMap Feature = MF ; Map Comment = MC     These follow if they exist\r\n"
                       "Track File = TF      These follow if they exist\r\n"
                       "Moving Map Parameters = MM?    These follow if they exist\r\nMM0,Yes\r\nMMPNUM,4\r\n"
                       "IWH,Map Image Width/Height,640,480\r\n");
             return dir / "m.png";
         },
         "OziExplorer calibration m.map", {139.5, 0.001, 0, 35.8, 0, -0.001}, 4326, true},
    };
}

TEST(Georeference, CornersAreTheOuterPixelEdgesInWgs84) {
    for (const GeoCase& c : foundCases()) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::filesystem::path file = c.make(dir.path());
        RecordingFeedback feedback;
        import::Georeference geo;
        ASSERT_EQ(import::readGeoreference(file, geo, feedback), import::GeoreferenceStatus::Found)
            << feedback.texts().size();
        EXPECT_TRUE(feedback.messages.empty());
        EXPECT_EQ(geo.source, c.source);
        const import::LatLong ul = gdalCorner(c.gt, c.epsg, 0, 0);
        const import::LatLong br = gdalCorner(c.gt, c.epsg, kW, kH);
        const auto near = [](double a, double b) {
            return std::llabs(static_cast<long long>(import::thousandthsOfSecond(a)) -
                              static_cast<long long>(import::thousandthsOfSecond(b))) <= 1;
        };
        EXPECT_TRUE(near(geo.upperLeft.latitude, ul.latitude)) << geo.upperLeft.latitude << " " << ul.latitude;
        EXPECT_TRUE(near(geo.upperLeft.longitude, ul.longitude)) << geo.upperLeft.longitude << " " << ul.longitude;
        EXPECT_TRUE(near(geo.bottomRight.latitude, br.latitude)) << geo.bottomRight.latitude << " " << br.latitude;
        EXPECT_TRUE(near(geo.bottomRight.longitude, br.longitude)) << geo.bottomRight.longitude << " " << br.longitude;
        if (c.straight) {
            EXPECT_LT(geo.worstPixels, 0.01);
            EXPECT_LT(geo.worstMetres, 0.1);
        } else {
            // UTM's grid north leans against true north here: the handheld is
            // pixels and tens of metres off, and says so.
            EXPECT_GT(geo.worstPixels, 1.0);
            EXPECT_GT(geo.worstMetres, 10.0);
            EXPECT_TRUE(import::interpolationOffMoreThanPixel(geo, {}));
        }
    }
}

TEST(Georeference, RefusalsAndPicturesWithout) {
    TempDir dir;
    RecordingFeedback feedback;
    import::Georeference geo;
    writePicture(dir / "plain.png", picture("PNG"));
    EXPECT_EQ(import::readGeoreference(dir / "plain.png", geo, feedback), import::GeoreferenceStatus::None);
    EXPECT_TRUE(feedback.messages.empty());

    writePicture(dir / "metres.png", picture("PNG"));
    writeText(dir / "metres.pgw", worldFile(kUtm));
    EXPECT_EQ(import::readGeoreference(dir / "metres.png", geo, feedback), import::GeoreferenceStatus::Refused);

    const auto equator = geoTiff({10, 0.001, 0, 0.1, 0, -0.001}, 4326, "equator.tif")(dir.path());
    EXPECT_EQ(import::readGeoreference(equator, geo, feedback), import::GeoreferenceStatus::Refused);

    const auto meridian = geoTiff({-0.2, 0.001, 0, 51.5, 0, -0.001}, 4326, "meridian.tif")(dir.path());
    EXPECT_EQ(import::readGeoreference(meridian, geo, feedback), import::GeoreferenceStatus::Refused);

    EXPECT_EQ(feedback.messages,
              (std::vector<Message>{
                  warning("The world file metres.pgw of metres.png has no coordinate system, and its numbers are not "
                          "degrees.\nPlease put its coordinate system beside it as metres.prj.",
                          Icon::Exclamation),
                  warning("This map crosses the equator (latitudes -0.3800000 to 0.1000000).\nThe database stores the "
                          "corners without sign, so a map must lie on one side of the equator.",
                          Icon::Exclamation),
                  warning("This map crosses the prime meridian (longitudes -0.2000000 to 0.4400000).\nThe database "
                          "stores the corners without sign, so a map must lie on one side of the prime meridian.",
                          Icon::Exclamation),
              }));
}

// make --from MASTER --georef: the corners are the outer edges of the master
// padded with white to the most detailed class times the reduction, as GDAL
// transforms them; a master without georeferencing is refused.
TEST(Georeference, MakeFromMasterTakesThePaddedPicturesCorners) {
    struct Case {
        const char* name;
        int width;
        int height;
        const char* classes;
        int paddedWidth;  // most detailed class times the reduction
        int paddedHeight;
        bool georeferenced;
    };
    const Case cases[] = {
        {"padded", 601, 421, "2", 604, 424, true},
        {"reduced_and_padded", 4501, 333, "1", 4504, 334, true},
        {"without", 601, 421, "2", 0, 0, false},
    };
    CliSandbox box("");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PictureRecipe master = picture("GTiff");
        master.width = c.width;
        master.height = c.height;
        master.sample = [](int x, int y, int) { return (x * 7 + y * 3) % 256; };
        if (c.georeferenced) {
            master.geoTransform = kUtm;
            master.wkt = wktOfEpsg(32654);
        }
        const std::filesystem::path file = box.input(std::string(c.name) + ".tif");
        writePicture(file, master);
        const std::filesystem::path out = box.output(std::string(c.name) + ".pdb");
        const ProcessResult r = box.run({"make", "--name", "M", "--version", "00001", "--mode", "4", "--georef",
                                         "--from", file.string(), "--classes", c.classes, "-o", out.string()});
        if (!c.georeferenced) {
            EXPECT_EQ(r.exitCode, 1);
            EXPECT_NE(r.err.find("Warning: The picture " + file.string() +
                                 " carries no georeferencing (GeoTIFF tags, a world file, an OziExplorer .map or an "
                                 ".aux.xml beside it).\n"),
                      std::string::npos)
                << r.err;
            EXPECT_FALSE(std::filesystem::exists(out));
            continue;
        }
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_NE(r.err.find("(" + std::to_string(c.paddedWidth) + " x " + std::to_string(c.paddedHeight) + ")"),
                  std::string::npos)
            << r.err;
        const std::vector<std::uint8_t> db = readFile(out);
        const std::uint32_t at = recordOffsetOf(db, 0);
        ASSERT_GE(db.size(), at + kMapHeaderFixedSize);
        const MapHeaderRecord header =
            parseMapHeaderFixed(std::span<const std::uint8_t, kMapHeaderFixedSize>(db.data() + at, kMapHeaderFixedSize));
        const import::LatLong ul = gdalCorner(kUtm, 32654, 0, 0);
        const import::LatLong br = gdalCorner(kUtm, 32654, c.paddedWidth, c.paddedHeight);
        const auto near = [](std::uint32_t stored, double degrees) {
            return std::llabs(static_cast<long long>(stored) -
                              static_cast<long long>(import::thousandthsOfSecond(degrees))) <= 1;
        };
        EXPECT_TRUE(near(header.upperLeftLat, ul.latitude)) << header.upperLeftLat;
        EXPECT_TRUE(near(header.upperLeftLong, ul.longitude)) << header.upperLeftLong;
        EXPECT_TRUE(near(header.bottomRightLat, br.latitude)) << header.bottomRightLat;
        EXPECT_TRUE(near(header.bottomRightLong, br.longitude)) << header.bottomRightLong;
    }
}

TEST(Georeference, CornersAsTheRulesStoreThem) {
    import::Georeference geo;
    geo.upperLeft = {-33.8688, 151.2093};
    geo.bottomRight = {-33.9, 151.25};
    const GeoBounds b = import::cornerBounds(geo);
    EXPECT_EQ(b.upperLeftLatTotal, 121927680u);
    EXPECT_EQ(b.upperLeftLongTotal, 544353480u);
    EXPECT_EQ(b.bottomRightLatTotal, 122040000u);
    EXPECT_EQ(b.bottomRightLongTotal, 544500000u);
    EXPECT_EQ(b.upperLeftLat, (DmsAngle{33, 52, 7, 680}));
    EXPECT_EQ(import::dmsText(b.upperLeftLongTotal), "151:12:33.480");
}

TEST(Georeference, ErrorInPixelsOfTheMostDetailedClassChosen) {
    import::Georeference geo;
    geo.width = 640;
    geo.height = 480;
    geo.worstPixels = 0.6;
    MapProject project;
    const std::pair<int, int> sizes[] = {{640, 480}, {1280, 960}, {5120, 3840}, {2560, 1920}};
    for (int k = 0; k < 4; ++k) {
        project.classes[static_cast<std::size_t>(k)].width = static_cast<std::uint16_t>(sizes[k].first);
        project.classes[static_cast<std::size_t>(k)].height = static_cast<std::uint16_t>(sizes[k].second);
    }
    struct Case {
        int chosen;
        int number;
        double scale;
    };
    for (const Case c : {Case{0, 1, 1.0}, Case{1, 1, 1.0}, Case{2, 2, 2.0}, Case{4, 3, 8.0}}) {
        SCOPED_TRACE(c.chosen);
        project.classCount = c.chosen;
        const import::DetailedClass detailed = import::mostDetailedClass(project, geo);
        EXPECT_EQ(detailed.number, c.number);
        EXPECT_EQ(detailed.scale, c.scale);
        EXPECT_EQ(import::interpolationOffMoreThanPixel(geo, detailed), c.scale > 1.0);
        char figure[64];
        std::snprintf(figure, sizeof figure, "%.2f pixels of Class %d.", 0.6 * c.scale, c.number);
        EXPECT_NE(import::georeferenceSummary(geo, detailed).find(figure), std::string::npos);
    }
    // A picture larger than Class 1 (a master) counts in its own pixels.
    geo.width = 1280;
    geo.height = 960;
    project.classCount = 2;
    EXPECT_EQ(import::mostDetailedClass(project, geo).scale, 1.0);
}

}  // namespace
}  // namespace plotvane::test
