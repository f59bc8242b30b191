// Pictures in other formats enter the rules as the BMP a person would save
// them as: the twin is compared byte for byte with that BMP, made by the
// tests' BMP writer from the same pixels.
#include <gtest/gtest.h>

#include "import/gdal_pictures.h"
#include "import/picture_import.h"
#include "support/bmp_writer.h"
#include "support/recording_feedback.h"
#include "support/temp_dir.h"

namespace plotvane::test {
namespace {

constexpr int kW = 168;  // not a multiple of 8 or 32: row padding is exercised
constexpr int kH = 161;

int pattern(int x, int y, int band) { return (x * 7 + y * 13 + band * 71) % 256; }

std::vector<Rgb> sixteenColours() {
    std::vector<Rgb> p;
    for (int i = 0; i < 16; ++i)
        p.push_back({static_cast<std::uint8_t>(i * 17), static_cast<std::uint8_t>(255 - i * 13),
                     static_cast<std::uint8_t>((i * 97) % 256)});
    return p;
}

std::uint8_t overWhite(int c, int a) { return static_cast<std::uint8_t>((c * a + 255 * (255 - a) + 127) / 255); }

struct TwinCase {
    const char* name;
    PictureRecipe picture;
    const char* fileName;
    BmpRecipe expected;  // pixel() unset: taken from the decoded samples
};

// The BMP a person would save: from the samples GDAL decodes (a JPEG's are
// not the ones written), composited over white where there is alpha.
BmpRecipe expectedTwin(const TwinCase& c, const std::filesystem::path& picture) {
    BmpRecipe r = c.expected;
    r.width = c.picture.width;
    r.height = c.picture.height;
    r.clrUsed = static_cast<std::uint32_t>(r.palette.size());
    int bands = 0;
    auto rows = std::make_shared<std::vector<std::vector<std::uint8_t>>>(readPictureSamples(picture, bands));
    const bool alpha = c.picture.alphaLast;
    r.pixel = [rows, bands, alpha](int x, int y) -> std::uint32_t {
        const std::uint8_t* s = (*rows)[static_cast<std::size_t>(y)].data() + x * bands;
        if (bands == 1) return s[0];
        if (bands == 2) return overWhite(s[0], s[1]);
        const int a = alpha ? s[3] : 255;
        return (std::uint32_t{overWhite(s[0], a)} << 16) | (std::uint32_t{overWhite(s[1], a)} << 8) | overWhite(s[2], a);
    };
    return r;
}

BmpRecipe twinOf(std::uint16_t bitCount, std::vector<Rgb> palette = {}) {
    BmpRecipe r;
    r.bitCount = bitCount;
    r.palette = std::move(palette);
    return r;
}

PictureRecipe recipe(std::string driver, int bands, std::vector<std::string> options = {}) {
    PictureRecipe p;
    p.driver = std::move(driver);
    p.width = kW;
    p.height = kH;
    p.bands = bands;
    p.options = std::move(options);
    p.sample = pattern;
    return p;
}

std::vector<TwinCase> twinCases() {
    std::vector<TwinCase> cases;
    {
        PictureRecipe p = recipe("PNG", 1, {"NBITS=1"});
        p.palette = {{0, 0, 0}, {255, 255, 255}};
        p.sample = [](int x, int y, int) { return (x / 3 + y / 5) % 2; };
        cases.push_back({"PngPalette1Bit", p, "p1.png", twinOf(1, p.palette)});
    }
    {
        PictureRecipe p = recipe("PNG", 1, {"NBITS=4"});
        p.palette = sixteenColours();
        p.sample = [](int x, int y, int) { return (x + 3 * y) % 16; };
        cases.push_back({"PngPalette4Bit", p, "p4.png", twinOf(4, p.palette)});
    }
    {
        PictureRecipe p = recipe("PNG", 1);
        cases.push_back({"PngGrey", p, "g.png", twinOf(8, greyPalette())});
    }
    {
        PictureRecipe p = recipe("PNG", 2);
        p.alphaLast = true;
        cases.push_back({"PngGreyAlpha", p, "ga.png", twinOf(8, greyPalette())});
    }
    cases.push_back({"PngRgb", recipe("PNG", 3), "rgb.png", twinOf(24)});
    {
        PictureRecipe p = recipe("PNG", 4);
        p.alphaLast = true;
        cases.push_back({"PngRgba", p, "rgba.png", twinOf(24)});
    }
    cases.push_back({"Jpeg", recipe("JPEG", 3), "c.jpg", twinOf(24)});
    cases.push_back({"JpegGrey", recipe("JPEG", 1), "g.jpg", twinOf(8, greyPalette())});
    cases.push_back({"Tiff", recipe("GTiff", 3, {"COMPRESS=DEFLATE"}), "c.tif", twinOf(24)});
    {
        PictureRecipe p = recipe("GTiff", 3);
        p.geoTransform = std::array<double, 6>{139.5, 0.001, 0, 35.8, 0, -0.001};
        p.wkt = wktOfEpsg(4326);
        cases.push_back({"GeoTiff", p, "geo.tif", twinOf(24)});
    }
    {
        PictureRecipe p = recipe("GIF", 1);
        p.palette = sixteenColours();
        p.palette.resize(256, Rgb{0, 0, 0});
        cases.push_back({"Gif", p, "c.gif", twinOf(8, p.palette)});
    }
    return cases;
}

TEST(PictureTwin, IsTheBmpAPersonWouldSave) {
    for (const TwinCase& c : twinCases()) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::filesystem::path picture = dir.path() / c.fileName;
        writePicture(picture, c.picture);
        const std::filesystem::path work = dir.path() / "work";
        std::filesystem::create_directory(work);
        RecordingFeedback feedback;
        import::ClassPicture entered;
        ASSERT_EQ(import::enterClassPicture(picture, work, feedback, entered), import::PictureResult::Entered);
        EXPECT_TRUE(feedback.messages.empty());
        EXPECT_TRUE(entered.converted);
        EXPECT_EQ(entered.rulesPath.parent_path(), work);
        EXPECT_TRUE(import::isPictureTwinName(entered.rulesPath));
        EXPECT_EQ(readFile(entered.rulesPath), makeBmp(expectedTwin(c, picture)));
        // Nothing is written beside the user's file.
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
    }
}

TEST(PictureTwin, BmpGoesToTheRulesUnchanged) {
    TempDir dir;
    const auto bmp = dir.path() / "a.bmp";
    writeFile(bmp, makeBmp(twinOf(24)));
    RecordingFeedback feedback;
    import::ClassPicture entered;
    ASSERT_EQ(import::enterClassPicture(bmp, dir.path(), feedback, entered), import::PictureResult::Entered);
    EXPECT_FALSE(entered.converted);
    EXPECT_EQ(entered.rulesPath, bmp);
    // A missing file and a file no driver reads also go on: the rules say why.
    for (const char* name : {"missing.png", "junk.png"}) {
        if (std::string(name) == "junk.png") writeFile(dir.path() / name, {'x', 'y', 'z'});
        ASSERT_EQ(import::enterClassPicture(dir.path() / name, dir.path(), feedback, entered), import::PictureResult::Entered);
        EXPECT_FALSE(entered.converted);
        EXPECT_EQ(entered.rulesPath, dir.path() / name);
    }
    EXPECT_TRUE(feedback.messages.empty());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
}

TEST(PictureTwin, DecodedOnceAndAgainWhenChanged) {
    TempDir dir;
    const auto png = dir.path() / "a.png";
    writePicture(png, recipe("PNG", 3));
    RecordingFeedback feedback;
    import::ClassPicture first, second;
    ASSERT_EQ(import::enterClassPicture(png, dir.path(), feedback, first), import::PictureResult::Entered);
    std::filesystem::last_write_time(first.rulesPath, std::filesystem::file_time_type::clock::now() -
                                                          std::chrono::hours(1));
    const auto made = std::filesystem::last_write_time(first.rulesPath);
    ASSERT_EQ(import::enterClassPicture(png, dir.path(), feedback, second), import::PictureResult::Entered);
    EXPECT_EQ(second.rulesPath, first.rulesPath);
    EXPECT_EQ(std::filesystem::last_write_time(second.rulesPath), made);  // not written again

    PictureRecipe changed = recipe("PNG", 3);
    changed.sample = [](int x, int, int) { return x % 256; };
    writePicture(png, changed);
    std::filesystem::last_write_time(png, std::filesystem::file_time_type::clock::now() + std::chrono::hours(1));
    ASSERT_EQ(import::enterClassPicture(png, dir.path(), feedback, second), import::PictureResult::Entered);
    EXPECT_NE(second.rulesPath, first.rulesPath);

    import::removePictureTwins(dir.path());
    EXPECT_FALSE(std::filesystem::exists(first.rulesPath));
    EXPECT_FALSE(std::filesystem::exists(second.rulesPath));
    EXPECT_TRUE(std::filesystem::exists(png));
}

TEST(PictureTwin, RefusalsSayWhatThePictureIsAndWhatTheClassesTake) {
    const std::string take =
        "The classes take grey, colour or palette pictures of 8 bits per sample, with or without transparency.";
    struct Row {
        const char* name;
        PictureRecipe picture;
        const char* file;
        std::string message;
    };
    PictureRecipe sixteen = recipe("PNG", 3);
    sixteen.sixteenBit = true;
    PictureRecipe five = recipe("GTiff", 5);
    PictureRecipe small = recipe("PNG", 3);
    small.width = 159;
    PictureRecipe large = recipe("PNG", 1);
    large.width = 4097;
    PictureRecipe cmyk = recipe("GTiff", 4);
    const std::vector<Row> rows = {
        {"SixteenBit", sixteen, "s.png",
         "This picture (PNG, s.png) has 16-bit samples, which cannot be reduced to 8 bits without a choice.\n" + take +
             "\nPlease save it with 8 bits per sample."},
        {"FiveBands", five, "f.tif", "This picture (TIFF, f.tif) has 5 bands.\n" + take},
        {"TooSmall", small, "small.png",
         "This picture (PNG, small.png) is 159 x 161 pixels.\nThe classes take 160 to 4096 pixels each way."},
        {"TooLarge", large, "large.png",
         "This picture (PNG, large.png) is 4097 x 161 pixels.\nThe classes take 160 to 4096 pixels each way."},
        {"FourBandsNoAlpha", cmyk, "k.tif",
         "This picture (TIFF, k.tif) has 4 bands that are not red, green, blue and alpha.\n" + take},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        writePicture(dir.path() / row.file, row.picture);
        RecordingFeedback feedback;
        import::ClassPicture entered;
        EXPECT_EQ(import::enterClassPicture(dir.path() / row.file, dir.path(), feedback, entered),
                  import::PictureResult::Refused);
        EXPECT_EQ(feedback.messages, (std::vector<Message>{warning(row.message)}));
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
    }
}

}  // namespace
}  // namespace plotvane::test
