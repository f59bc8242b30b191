#include <vector>

#include "app/main_dialog_fixture.h"

namespace plotvane::test {
namespace {

using ui::DialogId;

const Message kPleaseInput = warning("Please input Information Text.", Icon::Exclamation);
const Message kNumberOver = warning("Information Text number over.(<100)", Icon::Exclamation);

// Class 1 of 640 x 480 shown, as in the examples of the editor.
class InfoTexts : public MainDialogTest {
protected:
    void SetUp() override {
        MainDialogTest::SetUp();
        ASSERT_TRUE(pickClass(0, bitmap("top.bmp", oneBitClass(640, 480))));
        platform.clearLog();
        platform.clearRepaints();
    }

    // Types `text` into the information edit and presses the button.
    void store(const std::string& text) {
        platform.typeInto(DialogId::Main, ids::kIdInfoTextEdit, text);
        ASSERT_TRUE(click(ids::kIdInfoTextButton));
    }
    void addAt(int x, int y, const std::string& text) {
        centreOn(x, y);
        store(text);
    }
    // A click that puts the centre on (x, y) of Class 1 and so selects.
    void selectAt(int x, int y) {
        centreOn(x, y);
        press(390, 160);
    }
    InfoText text(int number) const { return project().infoText(number - 1); }
    void expectClearedAfterPress() {
        EXPECT_EQ(platform.text(ids::kIdInfoTextEdit), "");
        EXPECT_EQ(platform.text(ids::kIdInfoTextCounter), "0/" + std::to_string(project().infoTextCount));
        EXPECT_EQ(project().selectedInfoText, 0);
    }
};

TEST_F(InfoTexts, NewTextsGetTheirBoxAtTheCentrePushedInside) {
    struct Case {
        int x, y;
        InfoText stored;
    };
    const Case cases[] = {
        {80, 80, {"Lake", 75, 75, 84, 84}},
        {2, 478, {"Pier", 0, 470, 9, 479}},
        {635, 240, {"Mill", 630, 235, 639, 244}},
        {4, 240, {"Edge", 0, 235, 9, 244}},
        {634, 4, {"Tower", 629, 0, 638, 9}},
    };
    for (const Case& c : cases) {
        platform.clearRepaints();
        addAt(c.x, c.y, c.stored.text);
        EXPECT_EQ(text(project().infoTextCount), c.stored) << c.x << "," << c.y;
        expectClearedAfterPress();
        EXPECT_EQ(platform.repaints().back(), ui::Region::PreviewArea);
    }
    EXPECT_EQ(project().infoTextCount, 5);
    EXPECT_EQ(platform.text(ids::kIdInfoTextCounter), "0/5");
    EXPECT_TRUE(platform.messages().empty());
}

TEST_F(InfoTexts, ClickSelectsChangesAndDeletes) {
    addAt(80, 80, "One");
    addAt(200, 100, "Two");
    addAt(300, 300, "Three");

    selectAt(203, 97);  // inside the second box, 195..204 x 95..104
    EXPECT_EQ(project().selectedInfoText, 2);
    EXPECT_EQ(platform.text(ids::kIdInfoTextEdit), "Two");
    EXPECT_EQ(platform.text(ids::kIdInfoTextCounter), "2/3");

    store("Zwei");
    EXPECT_EQ(text(2), (InfoText{"Zwei", 195, 95, 204, 104}));
    expectClearedAfterPress();

    selectAt(195, 104);
    ASSERT_EQ(project().selectedInfoText, 2);
    store("");
    EXPECT_EQ(project().infoTextCount, 2);
    EXPECT_EQ(text(1).text, "One");
    EXPECT_EQ(text(2), (InfoText{"Three", 295, 295, 304, 304}));
    EXPECT_EQ(text(3), InfoText{});
    expectClearedAfterPress();

    // A click beside every box selects nothing and empties the edit.
    platform.typeInto(DialogId::Main, ids::kIdInfoTextEdit, "draft");
    selectAt(500, 400);
    EXPECT_EQ(project().selectedInfoText, 0);
    EXPECT_EQ(platform.text(ids::kIdInfoTextEdit), "");
    EXPECT_EQ(platform.text(ids::kIdInfoTextCounter), "0/2");
    EXPECT_TRUE(platform.messages().empty());
}

TEST_F(InfoTexts, OverlappingBoxesSelectTheFirst) {
    addAt(100, 100, "First");  // box 95..104
    // A click into the first box would select it: the arrows move without selecting.
    centreOn(24, 24);
    ASSERT_TRUE(click(ids::kIdRight));
    ASSERT_TRUE(click(ids::kIdDown));
    store("Second");  // box 99..108
    ASSERT_EQ(project().infoTextCount, 2);
    selectAt(102, 102);
    EXPECT_EQ(project().selectedInfoText, 1);
    selectAt(108, 108);
    EXPECT_EQ(project().selectedInfoText, 2);
    EXPECT_EQ(platform.text(ids::kIdInfoTextCounter), "2/2");
}

TEST_F(InfoTexts, EmptyTextWithoutSelectionIsRefused) {
    addAt(80, 80, "One");
    platform.clearLog();
    store("");
    EXPECT_EQ(platform.messages(), std::vector<Message>{kPleaseInput});
    EXPECT_EQ(project().infoTextCount, 1);
    expectClearedAfterPress();
    EXPECT_EQ(platform.log(), (std::vector<std::string>{"typed 102/1047=", "clicked 102/1005",
                                                        "message Warning|Please input Information Text.|exclamation",
                                                        "text 102/1047=", "text 102/1048=0/1"}));
}

TEST_F(InfoTexts, NinetyNineTextsAreTheLimit) {
    for (int i = 0; i < 99; ++i) {
        centreOn(10 + (i % 10) * 20, 10 + (i / 10) * 20);
        store(std::string("T").append(std::to_string(i + 1)));
    }
    ASSERT_EQ(project().infoTextCount, 99);
    ASSERT_TRUE(platform.messages().empty());

    centreOn(600, 400);
    store("Hundred");
    selectAt(30, 10);  // text 2
    ASSERT_EQ(project().selectedInfoText, 2);
    store("Changed");
    EXPECT_EQ(platform.messages(), (std::vector<Message>{kNumberOver, kNumberOver}));
    EXPECT_EQ(project().infoTextCount, 99);
    EXPECT_EQ(text(2).text, "T2");
    expectClearedAfterPress();

    selectAt(30, 10);
    store("");
    EXPECT_EQ(project().infoTextCount, 98);
    EXPECT_EQ(text(2).text, "T3");
    EXPECT_EQ(platform.text(ids::kIdInfoTextCounter), "0/98");
}

TEST_F(InfoTexts, TextsAreStoredAsWindows1252Bytes) {
    struct Case {
        std::string typed;
        std::string stored;  // Windows-1252 bytes
        std::string shown;   // the edit when the text is selected again
    };
    const std::string e = "\xC3\xA9";       // é
    const std::string euro = "\xE2\x82\xAC";  // €, 0x80 in Windows-1252
    std::string e48;
    for (int i = 0; i < 49; ++i) e48 += e;  // one more than the edit takes
    std::string e48Shown;
    for (int i = 0; i < 48; ++i) e48Shown += e;
    const Case cases[] = {
        {"Caf" + e, "Caf\xE9", "Caf" + e},
        {std::string(48, 'x'), std::string(48, 'x'), std::string(48, 'x')},
        {std::string(49, 'y'), std::string(48, 'y'), std::string(48, 'y')},
        {e48, std::string(48, '\xE9'), e48Shown},
        {"5 " + euro, "5 \x80", "5 " + euro},
        {"A\xCE\xA9" "B\tC", "ABC", "ABC"},  // Ω and a tab cannot be typed
    };
    int x = 20;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        addAt(x, 100, c.typed);
        const int number = project().infoTextCount;
        EXPECT_EQ(text(number).text, c.stored);
        selectAt(x, 100);
        EXPECT_EQ(project().selectedInfoText, number);
        EXPECT_EQ(platform.text(ids::kIdInfoTextEdit), c.shown);
        x += 40;
    }
    EXPECT_TRUE(platform.messages().empty());
}

TEST_F(InfoTexts, ButtonOnlyOnClassOne) {
    ASSERT_TRUE(pickClass(1, bitmap("lower.bmp", oneBitClass(1280, 960))));
    EXPECT_FALSE(platform.enabled(ids::kIdInfoTextButton));
    platform.typeInto(DialogId::Main, ids::kIdInfoTextEdit, "Nope");
    EXPECT_FALSE(click(ids::kIdInfoTextButton));
    dialog.command(ids::kIdInfoTextButton);
    EXPECT_EQ(project().infoTextCount, 0);
    press(300 + 10, 100);  // clicks on another class select nothing
    EXPECT_EQ(platform.text(ids::kIdInfoTextEdit), "Nope");
    ASSERT_TRUE(click(ids::kIdZoomOut));
    EXPECT_TRUE(platform.enabled(ids::kIdInfoTextButton));
}

}  // namespace
}  // namespace plotvane::test
