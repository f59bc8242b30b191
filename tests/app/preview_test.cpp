#include <vector>

#include "app/main_dialog_fixture.h"
#include "app/picture_cache.h"

namespace plotvane::test {
namespace {

using app::PixelRect;
using app::PreviewDescription;
using app::PreviewMarker;

// Every pixel tells its own position.
std::uint32_t positionColour(int x, int y) { return static_cast<std::uint32_t>(x) << 12 | static_cast<std::uint32_t>(y); }

std::uint32_t packed(const Rgb& c) { return static_cast<std::uint32_t>(c[0]) << 16 | c[1] << 8 | c[2]; }

class Preview : public MainDialogTest {
protected:
    PreviewDescription paint() { return dialog.describePreview(false, 491, 368, 32, 32); }
};

TEST_F(Preview, WindowOntoThePictureCutToItsEdges) {
    BmpRecipe r;
    r.width = 200;
    r.height = 170;
    r.pixel = positionColour;
    ASSERT_TRUE(pickClass(0, bitmap("top.bmp", r)));
    struct Case {
        int x, y;
        PixelRect source;
        int destX, destY;
    };
    const Case cases[] = {
        {80, 80, {0, 0, 160, 160}, 310, 80},
        {150, 140, {70, 60, 200, 170}, 310, 80},
        {0, 0, {0, 0, 80, 80}, 390, 160},
        {199, 169, {119, 89, 200, 170}, 310, 80},
        {40, 120, {0, 40, 120, 170}, 350, 80},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y));
        centreOn(c.x, c.y);
        const PreviewDescription d = paint();
        ASSERT_TRUE(d.picture);
        EXPECT_EQ(d.picture->file, inputs / "top.bmp");
        EXPECT_EQ(d.picture->source, c.source);
        EXPECT_EQ(d.picture->destX, c.destX);
        EXPECT_EQ(d.picture->destY, c.destY);
        ASSERT_EQ(d.picture->pixels.size(), static_cast<std::size_t>(c.source.width() * c.source.height()));
        std::size_t i = 0;
        for (int y = c.source.top; y < c.source.bottom; ++y)
            for (int x = c.source.left; x < c.source.right; ++x, ++i)
                ASSERT_EQ(d.picture->pixels[i], positionColour(x, y)) << x << "," << y;
        EXPECT_EQ(d.classDigit, 1);
        EXPECT_EQ(d.colourCaption, "Original");
        EXPECT_TRUE(d.centreMarker);
        EXPECT_FALSE(d.iconOnly);
    }
    EXPECT_TRUE(platform.messages().empty());
}

TEST_F(Preview, EveryDepthDecodesThroughItsColourTable) {
    std::vector<Rgb> sixteen;
    for (int i = 0; i < 16; ++i)
        sixteen.push_back({static_cast<std::uint8_t>(i * 16), static_cast<std::uint8_t>(255 - i * 8),
                           static_cast<std::uint8_t>(i * 3)});
    struct Case {
        const char* name;
        std::uint16_t bits;
        bool topDown;
        std::vector<Rgb> palette;
        std::function<std::uint32_t(int, int)> pixel;
    };
    const auto index2 = [](int x, int y) { return static_cast<std::uint32_t>((x * 3 + y) % 2); };
    const auto index16 = [](int x, int y) { return static_cast<std::uint32_t>((x + y * 5) % 16); };
    const auto index256 = [](int x, int y) { return static_cast<std::uint32_t>((x * 7 + y) % 256); };
    const auto rgb = [](int x, int y) { return static_cast<std::uint32_t>(x * 0x10101 ^ y * 0x30507) & 0xFFFFFF; };
    const Case cases[] = {
        {"black first", 1, false, blackWhitePalette(), index2},
        {"white first", 1, false, whiteBlackPalette(), index2},
        {"1-bit top-down", 1, true, blackWhitePalette(), index2},
        {"16 colours", 4, false, sixteen, index16},
        {"grey", 8, false, greyPalette(), index256},
        {"grey top-down", 8, true, greyPalette(), index256},
        {"true colour", 24, false, {}, rgb},
        {"true colour top-down", 24, true, {}, rgb},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedPlatform fresh;
        app::MainDialog one(fresh, dir.path() / "work", clock);
        ASSERT_TRUE(one.create());
        one.initialise();
        BmpRecipe r;
        r.width = 161;  // rows with padding
        r.height = c.topDown ? -163 : 163;
        r.bitCount = c.bits;
        r.palette = c.palette;
        r.pixel = c.pixel;
        fresh.queue(chooseFile(bitmap(std::string(c.name) + ".bmp", r)));
        ASSERT_TRUE(fresh.clickControl(one, ids::kIdClassButton[0]));
        ASSERT_TRUE(fresh.messages().empty());
        const PreviewDescription d = one.describePreview(false, 491, 368, 32, 32);
        ASSERT_TRUE(d.picture);
        ASSERT_EQ(d.picture->source, (PixelRect{0, 0, 160, 160}));
        std::size_t i = 0;
        for (int y = 0; y < 160; ++y)
            for (int x = 0; x < 160; ++x, ++i) {
                const std::uint32_t v = c.pixel(x, y);
                const std::uint32_t want = c.bits == 24 ? v : packed(c.palette[v]);
                ASSERT_EQ(d.picture->pixels[i], want) << x << "," << y;
            }
    }
}

TEST_F(Preview, MarkersOfTextsWhollyInsideTheWindow) {
    ASSERT_TRUE(pickClass(0, bitmap("top.bmp", oneBitClass(640, 480))));
    const auto add = [&](int x, int y) {
        centreOn(x, y);
        platform.typeInto(ui::DialogId::Main, ids::kIdInfoTextEdit, "t");
        ASSERT_TRUE(click(ids::kIdInfoTextButton));
    };
    add(80, 80);    // box 75..84
    add(155, 80);   // box 150..159: the last columns of the window
    add(156, 200);  // box 151..160 x 195..204: cut on the right and below
    add(5, 5);      // box 0..9
    centreOn(80, 80);  // the last click lands in text 1's box and selects it
    EXPECT_EQ(paint().markers, (std::vector<PreviewMarker>{{1, 385, 155, true}, {2, 460, 155, false},
                                                           {4, 310, 80, false}}));
    centreOn(81, 125);  // window 1..160 x 45..204
    EXPECT_EQ(paint().markers, (std::vector<PreviewMarker>{{1, 384, 110, false}, {2, 459, 110, false},
                                                           {3, 460, 230, false}}));
    press(390 - 3, 160 - 45);  // centre (78, 80): inside text 1
    ASSERT_EQ(project().selectedInfoText, 1);
    // Window -2..157: text 2 is cut now.
    EXPECT_EQ(paint().markers, (std::vector<PreviewMarker>{{1, 387, 155, true}, {4, 312, 80, false}}));

    ASSERT_TRUE(pickClass(1, bitmap("lower.bmp", oneBitClass(1280, 960))));
    EXPECT_TRUE(paint().markers.empty());
    EXPECT_EQ(paint().classDigit, 2);
}

TEST_F(Preview, IndicatorsAndTheMinimisedIcon) {
    struct Digit {
        std::int32_t previewClass;
        int digit;
    };
    for (const Digit d : {Digit{0, 0}, Digit{1, 1}, Digit{2, 2}, Digit{3, 3}, Digit{4, 4}, Digit{5, 4}, Digit{-1, 4}})
        EXPECT_EQ(app::classIndicatorDigit(d.previewClass), d.digit) << d.previewClass;
    struct Caption {
        std::uint8_t mode;
        const char* caption;
    };
    for (const Caption c : {Caption{0, "Original"}, Caption{1, "1BPP"}, Caption{2, "2BPP"}, Caption{3, "Original"},
                            Caption{4, "4BPP"}, Caption{8, "8BPP"}, Caption{255, "Original"}})
        EXPECT_EQ(app::colourIndicatorCaption(colourModeOfByte(c.mode)), c.caption) << int(c.mode);

    EXPECT_EQ(app::previewSpoken(0, "Original", 80, 80), "No class shown");
    EXPECT_EQ(app::previewSpoken(2, "8BPP", 160, 7), "Class 2, 8BPP, centre 160, 7");
    EXPECT_EQ(app::classIndicatorSpoken(0), "");

    const PreviewDescription empty = paint();
    EXPECT_EQ(empty.classDigit, 0);
    EXPECT_EQ(empty.spoken, "No class shown");
    EXPECT_EQ(empty.colourCaption, "Original");
    EXPECT_FALSE(empty.picture);
    EXPECT_TRUE(empty.centreMarker);

    const PreviewDescription icon = dialog.describePreview(true, 160, 41, 32, 32);
    EXPECT_TRUE(icon.iconOnly);
    EXPECT_EQ(icon.iconX, 64);
    EXPECT_EQ(icon.iconY, 5);
}

TEST_F(Preview, UnreadablePictureLeavesTheAreaGreySilently) {
    const std::string path = bitmap("top.bmp", oneBitClass(320, 240));
    ASSERT_TRUE(pickClass(0, path));
    ASSERT_TRUE(paint().picture);
    writeFile(path, {'B', 'M', 0, 0});
    EXPECT_FALSE(paint().picture);
    std::filesystem::remove(path);
    const PreviewDescription d = paint();
    EXPECT_FALSE(d.picture);
    EXPECT_EQ(d.classDigit, 1);
    EXPECT_TRUE(platform.messages().empty());
}

TEST_F(Preview, NeverAStalePicture) {
    BmpRecipe r;
    r.width = 320;
    r.height = 240;
    const auto grey = [](int x, int y) {
        const auto g = static_cast<std::uint32_t>((x + 2 * y) % 256);
        return g << 16 | g << 8 | g;
    };
    r.pixel = grey;
    const std::string path = bitmap("top.bmp", r);
    ASSERT_TRUE(pickClass(0, path));
    const std::vector<std::uint32_t> before = paint().picture->pixels;

    // Replaced from outside, same size: a new file under the old name.
    r.pixel = [grey](int x, int y) { return grey(x, y) ^ 0xFFFFFF; };
    writeFile(inputs / "next.bmp", makeBmp(r));
    std::filesystem::rename(inputs / "next.bmp", path);
    const std::vector<std::uint32_t> after = paint().picture->pixels;
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < after.size(); ++i) ASSERT_EQ(after[i], before[i] ^ 0xFFFFFF) << i;

    // Rebuilt in place by the dialog within the same instant: what is shown
    // is what the raster file holds now.
    ASSERT_TRUE(click(ids::kIdColour));
    ASSERT_TRUE(click(ids::kIdColour));
    for (int pass = 0; pass < 2; ++pass) {
        ASSERT_TRUE(click(ids::kIdDithering));
        const PreviewDescription d = paint();
        ASSERT_TRUE(d.picture);
        EXPECT_EQ(d.picture->file, work("temporbl.$$$"));
        app::PictureCache reader;
        const app::BmpPicture* fresh = reader.picture(work("temporbl.$$$"), 0, 160);
        ASSERT_TRUE(fresh);
        std::size_t i = 0;
        for (int y = 0; y < 160; ++y)
            for (int x = 0; x < 160; ++x, ++i) ASSERT_EQ(d.picture->pixels[i], fresh->pixel(x, y)) << x << "," << y;
    }
}

}  // namespace
}  // namespace plotvane::test
