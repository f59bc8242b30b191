#include <vector>

#include "app/main_dialog_fixture.h"
#include "raster/bmp_reader.h"

namespace plotvane::test {
namespace {

using ui::Region;

struct Centre {
    int x;
    int y;
    bool operator==(const Centre&) const = default;
};

Centre centreOf(const MapProject& p) { return {p.previewCentreX, p.previewCentreY}; }

std::ostream& operator<<(std::ostream& os, const Centre& c) { return os << "(" << c.x << "," << c.y << ")"; }

// A 24-bit grey ramp, so that every colour mode and dithering give different rasters.
BmpRecipe greyRamp(int width, int height) {
    BmpRecipe r;
    r.width = width;
    r.height = height;
    r.pixel = [](int x, int y) {
        const auto g = static_cast<std::uint32_t>((x + 2 * y) % 256);
        return g << 16 | g << 8 | g;
    };
    return r;
}

BmpHeaders headersOf(const std::filesystem::path& path) {
    BmpHeaders h;
    EXPECT_TRUE(parseBmpHeaders(readFile(path), h)) << path;
    return h;
}

TEST_F(MainDialogTest, NothingMovesWithoutAClass) {
    for (int id : {ids::kIdUp, ids::kIdDown, ids::kIdLeft, ids::kIdRight, ids::kIdZoomIn, ids::kIdZoomOut,
                   ids::kIdColour, ids::kIdDithering, ids::kIdDithering})
        EXPECT_TRUE(click(id));
    press(390, 100);
    EXPECT_EQ(centreOf(project()), (Centre{80, 80}));
    EXPECT_EQ(project().previewClass, 0);
    EXPECT_EQ(project().requestedColourMode, ColourMode::Original);
    EXPECT_TRUE(platform.repaints().empty());
    EXPECT_TRUE(platform.messages().empty());
    EXPECT_FALSE(std::filesystem::exists(work("temporbl.$$$")));
}

TEST_F(MainDialogTest, ArrowsMoveByEightyAndStopAtTheEdges) {
    ASSERT_TRUE(pickClass(0, bitmap("top.bmp", oneBitClass(640, 480))));
    struct Step {
        int button;
        Centre after;
    };
    const Step steps[] = {
        {ids::kIdLeft, {0, 80}},    {ids::kIdUp, {0, 0}},       {ids::kIdLeft, {0, 0}},
        {ids::kIdDown, {0, 80}},    {ids::kIdRight, {80, 80}},  {ids::kIdRight, {160, 80}},
        {ids::kIdRight, {240, 80}}, {ids::kIdRight, {320, 80}}, {ids::kIdRight, {400, 80}},
        {ids::kIdRight, {480, 80}}, {ids::kIdRight, {560, 80}}, {ids::kIdRight, {639, 80}},
        {ids::kIdRight, {639, 80}}, {ids::kIdDown, {639, 160}}, {ids::kIdDown, {639, 240}},
        {ids::kIdDown, {639, 320}}, {ids::kIdDown, {639, 400}}, {ids::kIdDown, {639, 479}},
        {ids::kIdUp, {639, 399}},   {ids::kIdLeft, {559, 399}},
    };
    for (const Step& s : steps) {
        platform.clearRepaints();
        ASSERT_TRUE(click(s.button));
        EXPECT_EQ(centreOf(project()), s.after) << s.button;
        EXPECT_EQ(platform.repaints(), std::vector<Region>{Region::PreviewArea});
    }
    EXPECT_TRUE(platform.messages().empty());
}

TEST_F(MainDialogTest, OnlyAPlainLeftPressInsideThePreviewMovesTheCentre) {
    ASSERT_TRUE(pickClass(0, bitmap("top.bmp", oneBitClass(640, 480))));
    struct Press {
        int x, y;
        unsigned buttons, modifiers;
        Centre after;
    };
    using app::kLeftButton;
    const Press presses[] = {
        {390, 160, kLeftButton, 0, {80, 80}},                         // the centre pixel: no move
        {469, 239, kLeftButton, 0, {159, 159}},                       // last pixel inside
        {470, 160, kLeftButton, 0, {159, 159}},                       // right of the area
        {390, 240, kLeftButton, 0, {159, 159}},                       // below it
        {309, 160, kLeftButton, 0, {159, 159}},                       // left of it
        {390, 79, kLeftButton, 0, {159, 159}},                        // above it
        {310, 80, app::kRightButton, 0, {159, 159}},                  // another button
        {310, 80, kLeftButton | app::kMiddleButton, 0, {159, 159}},   // a second button held
        {310, 80, kLeftButton, app::kShiftKey, {159, 159}},           // a modifier
        {310, 80, kLeftButton, app::kControlKey, {159, 159}},
        {310, 80, kLeftButton, 0, {79, 79}},                          // first pixel inside
        {310, 80, kLeftButton, 0, {0, 0}},                            // clamped at 0
        {469, 239, kLeftButton, 0, {79, 79}},
    };
    for (const Press& p : presses) {
        dialog.mousePress(p.x, p.y, p.buttons, p.modifiers);
        EXPECT_EQ(centreOf(project()), p.after) << p.x << "," << p.y << " buttons " << p.buttons;
    }
    centreOn(639, 479);
    press(469, 239);
    EXPECT_EQ(centreOf(project()), (Centre{639, 479}));
}

TEST_F(MainDialogTest, ZoomKeepsTheMapPointInTheCentre) {
    ASSERT_TRUE(pickClass(0, bitmap("top.bmp", oneBitClass(200, 200))));
    ASSERT_TRUE(pickClass(1, bitmap("x4.bmp", oneBitClass(800, 800))));
    ASSERT_TRUE(pickClass(2, bitmap("x2.bmp", oneBitClass(1600, 1600))));
    ASSERT_TRUE(click(ids::kIdZoomIn));  // already on the last class
    EXPECT_EQ(project().previewClass, 3);
    ASSERT_TRUE(click(ids::kIdZoomOut));
    ASSERT_TRUE(click(ids::kIdZoomOut));
    EXPECT_EQ(project().previewClass, 1);
    EXPECT_TRUE(platform.enabled(ids::kIdInfoTextButton));
    ASSERT_TRUE(click(ids::kIdZoomOut));  // already at the top
    EXPECT_EQ(project().previewClass, 1);
    EXPECT_EQ(centreOf(project()), (Centre{10, 10}));  // 80 / 2 / 4

    centreOn(80, 80);
    platform.clearRepaints();
    ASSERT_TRUE(click(ids::kIdZoomIn));
    EXPECT_EQ(centreOf(project()), (Centre{320, 320}));
    EXPECT_EQ(project().previewClass, 2);
    EXPECT_FALSE(platform.enabled(ids::kIdInfoTextButton));
    EXPECT_EQ(platform.repaints(), (std::vector<Region>{Region::ClassIndicator, Region::PreviewArea}));
    press(391, 162);
    ASSERT_EQ(centreOf(project()), (Centre{321, 322}));
    ASSERT_TRUE(click(ids::kIdZoomOut));
    EXPECT_EQ(centreOf(project()), (Centre{80, 80}));
    EXPECT_TRUE(platform.enabled(ids::kIdInfoTextButton));

    // The centre is not clamped by the zoom.
    centreOn(199, 199);
    ASSERT_TRUE(click(ids::kIdZoomIn));
    ASSERT_TRUE(click(ids::kIdZoomIn));
    EXPECT_EQ(centreOf(project()), (Centre{1592, 1592}));
    ASSERT_TRUE(click(ids::kIdZoomOut));
    EXPECT_EQ(centreOf(project()), (Centre{796, 796}));
    EXPECT_EQ(project().colourMode, ColourMode::Original);
    EXPECT_TRUE(platform.messages().empty());
}

TEST_F(MainDialogTest, ColourButtonCyclesAndEachModeRebuildsTheRaster) {
    ASSERT_TRUE(pickClass(0, bitmap("top.bmp", greyRamp(320, 240))));
    struct Press {
        ColourMode mode;
        const char* caption;
        std::uint16_t rasterBits;
    };
    const Press presses[] = {{ColourMode::Bpp8, "8BPP", 8}, {ColourMode::Bpp4, "4BPP", 4}, {ColourMode::Bpp2, "2BPP", 4}, {ColourMode::Bpp1, "1BPP", 1}, {ColourMode::Bpp8, "8BPP", 8}};
    EXPECT_EQ(dialog.describePreview(false, 491, 368, 32, 32).colourCaption, "Original");
    for (const Press& p : presses) {
        platform.clearRepaints();
        ASSERT_TRUE(click(ids::kIdColour));
        EXPECT_EQ(project().colourMode, p.mode);
        EXPECT_EQ(project().requestedColourMode, p.mode);
        EXPECT_EQ(platform.repaints(), (std::vector<Region>{Region::ColourIndicator, Region::PreviewArea}));
        EXPECT_EQ(dialog.describePreview(false, 491, 368, 32, 32).colourCaption, p.caption);
        const BmpHeaders h = headersOf(work("temporbl.$$$"));
        EXPECT_EQ(h.biBitCount, p.rasterBits);
        EXPECT_EQ(h.biWidth, 320);
    }
    EXPECT_TRUE(platform.messages().empty());
}

TEST_F(MainDialogTest, FailedColourChangeKeepsTheOldMode) {
    const std::string path = bitmap("top.bmp", greyRamp(320, 240));
    ASSERT_TRUE(pickClass(0, path));
    ASSERT_TRUE(click(ids::kIdColour));
    std::filesystem::remove(path);
    ASSERT_TRUE(click(ids::kIdColour));
    EXPECT_EQ(platform.messageTexts(), std::vector<std::string>{"Error : Cannot find bmp-file"});
    EXPECT_EQ(project().colourMode, ColourMode::Bpp8);
    EXPECT_EQ(project().requestedColourMode, ColourMode::Bpp8);
}

TEST_F(MainDialogTest, ChoosingAClassInAColourModeShowsItsOwnRaster) {
    ASSERT_TRUE(pickClass(0, bitmap("top.bmp", greyRamp(160, 160))));
    ASSERT_TRUE(click(ids::kIdColour));
    ASSERT_TRUE(pickClass(1, bitmap("lower.bmp", greyRamp(640, 640))));
    EXPECT_EQ(headersOf(work("temporbl.$$$")).biWidth, 640);
    EXPECT_EQ(project().colourMode, ColourMode::Bpp8);
    const app::PreviewDescription d = dialog.describePreview(false, 491, 368, 32, 32);
    ASSERT_TRUE(d.picture);
    EXPECT_EQ(d.picture->file, work("temporbl.$$$"));
    EXPECT_EQ(d.picture->source, (app::PixelRect{0, 0, 160, 160}));
}

TEST_F(MainDialogTest, DitheringRebuildsOnlyInAColourMode) {
    ASSERT_TRUE(pickClass(0, bitmap("top.bmp", greyRamp(320, 240))));
    // Before the colour button nothing happens; the next conversion takes the box.
    platform.clearRepaints();
    ASSERT_TRUE(click(ids::kIdDithering));
    ASSERT_TRUE(click(ids::kIdDithering));
    EXPECT_TRUE(platform.repaints().empty());
    EXPECT_EQ(project().ditherFlag, 0);
    EXPECT_FALSE(std::filesystem::exists(work("temporbl.$$$")));

    ASSERT_TRUE(click(ids::kIdColour));
    ASSERT_TRUE(click(ids::kIdColour));  // 4 bits
    const std::vector<std::uint8_t> plain = readFile(work("temporbl.$$$"));
    platform.clearRepaints();
    ASSERT_TRUE(click(ids::kIdDithering));
    EXPECT_EQ(project().ditherFlag, 1);
    EXPECT_EQ(platform.repaints(), (std::vector<Region>{Region::ColourIndicator, Region::PreviewArea}));
    const std::vector<std::uint8_t> dithered = readFile(work("temporbl.$$$"));
    EXPECT_EQ(dithered.size(), plain.size());
    EXPECT_NE(dithered, plain);
    ASSERT_TRUE(click(ids::kIdDithering));
    EXPECT_EQ(project().ditherFlag, 0);
    EXPECT_EQ(readFile(work("temporbl.$$$")), plain);
    EXPECT_TRUE(platform.messages().empty());
}

TEST_F(MainDialogTest, CompressRedividesEveryClass) {
    ASSERT_TRUE(pickClass(0, bitmap("top.bmp", greyRamp(320, 320))));
    ASSERT_TRUE(pickClass(1, bitmap("lower.bmp", greyRamp(640, 640))));
    // Original mode takes no compression: one notice, the box unchecked again.
    ASSERT_TRUE(click(ids::kIdCompress));
    EXPECT_EQ(platform.messages(),
              (std::vector<Message>{warning("Original Mode Data do not compress.\nMake Non compression data.")}));
    EXPECT_FALSE(platform.checked(ids::kIdCompress));
    EXPECT_EQ(project().compressFlag, 0);

    platform.clearMessages();
    ASSERT_TRUE(click(ids::kIdZoomOut));
    ASSERT_TRUE(click(ids::kIdColour));  // 8 bits: Class 1 becomes two records
    EXPECT_EQ(platform.text(1021), "2");
    EXPECT_EQ(platform.text(1022), "8");
    platform.clearMessages();
    platform.clearLog();
    ASSERT_TRUE(click(ids::kIdCompress));
    EXPECT_TRUE(platform.checked(ids::kIdCompress));
    EXPECT_EQ(project().compressFlag, 1);
    EXPECT_EQ(platform.messages(),
              (std::vector<Message>{warning("At Compression Mode,\n There is a Data Overflow Risk.(Over 64KBytes)")}));
    EXPECT_EQ(platform.log(), (std::vector<std::string>{
                                  "clicked 102/1055",
                                  "message Warning|At Compression Mode,\n There is a Data Overflow Risk.(Over "
                                  "64KBytes)|information",
                                  "text 102/1021=2",
                                  "text 102/1022=8",
                              }));
}

TEST_F(MainDialogTest, GpsButtonsSwapAndChangeNothingElse) {
    ASSERT_TRUE(click(ids::kIdGpsOn));
    EXPECT_EQ(project().gpsEnabled, 1);
    EXPECT_FALSE(platform.enabled(ids::kIdGpsOn));
    EXPECT_TRUE(platform.enabled(ids::kIdGpsOff));
    EXPECT_FALSE(click(ids::kIdGpsOn));
    ASSERT_TRUE(click(ids::kIdGpsOff));
    EXPECT_EQ(project().gpsEnabled, 0);
    EXPECT_TRUE(platform.enabled(ids::kIdGpsOn));
    EXPECT_FALSE(platform.enabled(ids::kIdGpsOff));
    for (const auto& angle : ids::kIdCoordinate)
        for (int id : angle) EXPECT_TRUE(platform.enabled(id)) << id;
    EXPECT_EQ(platform.log(), (std::vector<std::string>{"clicked 102/4", "disable 102/4", "enable 102/5",
                                                        "clicked 102/5", "enable 102/4", "disable 102/5"}));
}

}  // namespace
}  // namespace plotvane::test
