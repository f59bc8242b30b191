// Classes reprojected to plain latitude/longitude: the corners are GDAL's
// own transformation of the map's edges, a mark lands where its latitude
// and longitude say, the interpolation is then exact, and the classes keep
// their magnification.
#include <gtest/gtest.h>

#include <cmath>

#include <ogr_srs_api.h>

#include "import/class_warp.h"
#include "import/gdal_pictures.h"
#include "import/picture_import.h"
#include "project/files.h"
#include "support/recording_feedback.h"
#include "support/temp_dir.h"

namespace plotvane::test {
namespace {

// 10 m pixels of UTM zone 54N, the outer edge of the first pixel.
const std::array<double, 6> kUtm = {380000, 10, 0, 3960000, 0, -10};
// A black square of 8 x 8 pixels of Class 1 at this pixel, the rest white.
constexpr int kMarkX = 400;
constexpr int kMarkY = 300;

// GDAL's own transformation of a UTM 54N point to WGS 84 (latitude, longitude).
import::LatLong toLatLong(double easting, double northing) {
    OGRSpatialReferenceH from = OSRNewSpatialReference(nullptr);
    OGRSpatialReferenceH to = OSRNewSpatialReference(nullptr);
    OSRImportFromEPSG(from, 32654);
    OSRImportFromEPSG(to, 4326);
    OSRSetAxisMappingStrategy(from, OAMS_TRADITIONAL_GIS_ORDER);
    OSRSetAxisMappingStrategy(to, OAMS_TRADITIONAL_GIS_ORDER);
    OGRCoordinateTransformationH ct = OCTNewCoordinateTransformation(from, to);
    double x = easting;
    double y = northing;
    EXPECT_TRUE(OCTTransform(ct, 1, &x, &y, nullptr));
    OCTDestroyCoordinateTransformation(ct);
    OSRRelease(from);
    OSRRelease(to);
    return {y, x};
}

// Class `magnification` times Class 1 (640 x 480): a UTM GeoTIFF for Class 1.
std::filesystem::path utmClass(const std::filesystem::path& dir, int magnification, int bands) {
    PictureRecipe p;
    p.driver = "GTiff";
    p.width = 640 * magnification;
    p.height = 480 * magnification;
    p.bands = bands;
    if (bands == 1) p.palette = {{0, 0, 0}, {255, 255, 255}};
    if (magnification == 1) {
        p.geoTransform = kUtm;
        p.wkt = wktOfEpsg(32654);
    }
    p.sample = [magnification, bands](int x, int y, int) {
        const bool mark = x / magnification >= kMarkX && x / magnification < kMarkX + 8 &&
                          y / magnification >= kMarkY && y / magnification < kMarkY + 8;
        if (bands == 1) return mark ? 0 : 1;
        return mark ? 0 : 255;
    };
    const std::filesystem::path path = dir / ("class" + std::to_string(magnification) + ".tif");
    writePicture(path, p);
    return path;
}

// The centre of the dark pixels of a picture, in pixels from its top left;
// black is entry 0 of a palette.
std::pair<double, double> darkCentre(const std::filesystem::path& picture) {
    int bands = 0;
    const auto samples = readPictureSamples(picture, bands);
    double sx = 0, sy = 0, n = 0;
    for (std::size_t y = 0; y < samples.size(); ++y)
        for (std::size_t x = 0; x < samples[y].size() / static_cast<std::size_t>(bands); ++x)
            if (samples[y][x * static_cast<std::size_t>(bands)] < (bands == 1 ? 1 : 128)) {
                sx += static_cast<double>(x) + 0.5;
                sy += static_cast<double>(y) + 0.5;
                n += 1;
            }
    EXPECT_GT(n, 0);
    return {sx / n, sy / n};
}

TEST(ClassWarp, CornersMarkAndMagnificationAfterReprojection) {
    for (const int bands : {3, 1}) {
        SCOPED_TRACE(bands);
        TempDir dir;
        RecordingFeedback feedback;
        import::Georeference geo;
        ASSERT_EQ(import::readGeoreference(utmClass(dir.path(), 1, bands), geo, feedback),
                  import::GeoreferenceStatus::Found);
        ASSERT_GT(geo.worstPixels, 1.0);
        ASSERT_FALSE(geo.latLong);
        auto warp = import::ClassWarp::plan(geo, feedback);
        ASSERT_TRUE(warp.has_value()) << feedback.texts().size();

        // The corners bound GDAL's own transformation of the map's four outer corners.
        import::LatLong corners[4] = {toLatLong(380000, 3960000), toLatLong(386400, 3960000),
                                      toLatLong(380000, 3955200), toLatLong(386400, 3955200)};
        double north = -90, south = 90, west = 180, east = -180;
        for (const import::LatLong& c : corners) {
            north = std::max(north, c.latitude), south = std::min(south, c.latitude);
            west = std::min(west, c.longitude), east = std::max(east, c.longitude);
        }
        const import::Georeference& warped = warp->georeference();
        const auto thousandths = [](double degrees) { return static_cast<long long>(import::thousandthsOfSecond(degrees)); };
        EXPECT_LE(std::llabs(thousandths(warped.upperLeft.latitude) - thousandths(north)), 1);
        EXPECT_LE(std::llabs(thousandths(warped.upperLeft.longitude) - thousandths(west)), 1);
        EXPECT_LE(std::llabs(thousandths(warped.bottomRight.latitude) - thousandths(south)), 1);
        EXPECT_LE(std::llabs(thousandths(warped.bottomRight.longitude) - thousandths(east)), 1);
        EXPECT_TRUE(warped.latLong);
        EXPECT_LT(warped.worstPixels, 1e-6);
        EXPECT_LT(warped.worstMetres, 1e-3);

        for (int k = 0; k < 2; ++k) {
            SCOPED_TRACE(k);
            const int magnification = 1 << k;
            import::ClassPicture picture;
            ASSERT_EQ(import::enterClassPicture(utmClass(dir.path(), magnification, bands), dir.path(), feedback, picture), import::PictureResult::Entered);
            std::filesystem::path reprojected;
            ASSERT_EQ(warp->warpClass(k, picture.rulesPath, "class.tif", dir.path(), feedback, reprojected),
                      import::WarpResult::Warped);
            EXPECT_TRUE(import::isPictureTwinName(reprojected));
            EXPECT_EQ(reprojected.parent_path(), dir.path());
            EXPECT_EQ(warp->width(k), warp->width(0) * magnification);
            EXPECT_EQ(warp->height(k), warp->height(0) * magnification);
            EXPECT_EQ(warp->width(0) % 8, 0);
            EXPECT_EQ(warp->height(0) % 8, 0);
            // Pixels as long on the ground as the picture's own: about as many.
            EXPECT_NEAR(warp->width(0), 640, 640 * 0.1);
            EXPECT_NEAR(warp->height(0), 480, 480 * 0.1);

            // The mark where straight interpolation between the corners puts its latitude and longitude.
            const import::LatLong mark = toLatLong(kUtm[0] + (kMarkX + 4) * 10, kUtm[3] - (kMarkY + 4) * 10);
            const double x = (mark.longitude - warped.upperLeft.longitude) /
                             (warped.bottomRight.longitude - warped.upperLeft.longitude) * warp->width(k);
            const double y = (mark.latitude - warped.upperLeft.latitude) /
                             (warped.bottomRight.latitude - warped.upperLeft.latitude) * warp->height(k);
            const auto [cx, cy] = darkCentre(reprojected);
            EXPECT_NEAR(cx, x, 0.75 * magnification);
            EXPECT_NEAR(cy, y, 0.75 * magnification);
            // A text pinned to the mark on the picture as it was lands on it.
            double px = 0, py = 0;
            ASSERT_TRUE(warp->reprojectedPixel(kMarkX + 4, kMarkY + 4, px, py));
            EXPECT_NEAR(px * magnification, cx, 0.75 * magnification);
            EXPECT_NEAR(py * magnification, cy, 0.75 * magnification);
        }
        EXPECT_TRUE(feedback.messages.empty());
    }
}

// A refused class leaves the warp as it was: the class accepted before
// stays recorded, and the next class is sized from it.
TEST(ClassWarp, RefusedClassLeavesRecordedSizes) {
    TempDir dir;
    RecordingFeedback feedback;
    import::Georeference geo;
    ASSERT_EQ(import::readGeoreference(utmClass(dir.path(), 1, 3), geo, feedback), import::GeoreferenceStatus::Found);
    auto warp = import::ClassWarp::plan(geo, feedback);
    ASSERT_TRUE(warp.has_value());
    const auto warpOf = [&](int classIndex, int magnification, std::filesystem::path& warped, bool failWrite = false) {
        import::ClassPicture picture;
        EXPECT_EQ(import::enterClassPicture(utmClass(dir.path(), magnification, 3), dir.path(), feedback, picture),
                  import::PictureResult::Entered);
        if (failWrite) armFileFailure(FileOperation::Write, 1);
        const import::WarpResult result =
            warp->warpClass(classIndex, picture.rulesPath, "class.tif", dir.path(), feedback, warped);
        EXPECT_EQ(armedFileFailureHappened(), failWrite);
        disarmFileFailure();
        return result;
    };
    std::filesystem::path first, second;
    ASSERT_EQ(warpOf(0, 1, first), import::WarpResult::Warped);
    ASSERT_EQ(warpOf(1, 2, second), import::WarpResult::Warped);
    const int width = warp->width(1);
    const int height = warp->height(1);

    // Class 2 again, four times Class 1, refused when its reprojection cannot be written.
    std::filesystem::path refused = second;
    EXPECT_EQ(warpOf(1, 4, refused, true), import::WarpResult::Refused);
    EXPECT_EQ(refused, second);
    EXPECT_EQ(warp->width(1), width);
    EXPECT_EQ(warp->height(1), height);
    ASSERT_EQ(feedback.messages.size(), 1u);

    // Class 3, four times Class 1: twice Class 2 as accepted.
    std::filesystem::path third;
    ASSERT_EQ(warpOf(2, 4, third), import::WarpResult::Warped);
    EXPECT_EQ(warp->width(2), width * 2);
    EXPECT_EQ(warp->height(2), height * 2);
}

}  // namespace
}  // namespace plotvane::test
