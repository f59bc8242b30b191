// The window on the offscreen platform: controls from the layout table,
// their names and fit, clicks through real widgets, the painted preview and
// the password dialogs' radio buttons.
#include <cmath>
#include <functional>
#include <memory>

#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionFrame>
#include <QTimer>
#include <QtTest>

#include "app/main_dialog.h"
#include "project/control_ids.h"
#include "qt_fixtures.h"
#include "app/dialog_layout.h"
#include "gui/bitmap_button.h"
#include "gui/dialog_builder.h"
#include "gui/modal_window.h"
#include "gui/preview_painter.h"

using namespace plotvane;
using plotvane::test::RecordingController;
using plotvane::test::TestQtPlatform;

namespace {

constexpr ui::DialogId kDialogs[] = {ui::DialogId::Main, ui::DialogId::About, ui::DialogId::PasswordCheck,
                                     ui::DialogId::PasswordInput, ui::DialogId::PasswordAgain};

class NullModal : public ui::ModalDialog {
public:
    void initialise() override {}
    void command(int) override {}
};

QString accessibleName(QWidget* w) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
    return a ? a->text(QAccessible::Name) : QString();
}

QRect pixelRect(const ui::DialogUnits& du) {
    const ui::PixelRect b = ui::toPixels(du);
    return QRect(b.left, b.top, b.width(), b.height());
}

QRect qrect(const app::PixelRect& r) { return QRect(r.left, r.top, r.width(), r.height()); }

// The window of each template, built as the program builds it.
std::unique_ptr<QWidget> buildWindow(ui::DialogId dialog, RecordingController& controller, NullModal& modal) {
    if (dialog == ui::DialogId::Main) return std::make_unique<qtui::MainWindow>(controller);
    if (dialog == ui::DialogId::About) return std::make_unique<qtui::AboutBox>(nullptr);
    return std::make_unique<qtui::ModalWindow>(dialog, modal, nullptr);
}

// Why a control's caption does not fit its rectangle, or empty.
QString captionProblem(ui::DialogId dialog, QWidget* w) {
    const QFontMetrics fm(w->font());
    QStyle* s = w->style();
    const int text = fm.horizontalAdvance(
        qobject_cast<QAbstractButton*>(w) ? static_cast<QAbstractButton*>(w)->text()
        : qobject_cast<QLabel*>(w)        ? static_cast<QLabel*>(w)->text()
        : qobject_cast<QGroupBox*>(w)     ? static_cast<QGroupBox*>(w)->title()
                                          : QString());
    int needW = text, needH = fm.height();
    if (qobject_cast<QCheckBox*>(w)) {
        needW += s->pixelMetric(QStyle::PM_IndicatorWidth) + s->pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
        needH = std::max(needH, s->pixelMetric(QStyle::PM_IndicatorHeight));
    } else if (qobject_cast<QRadioButton*>(w)) {
        needW += s->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth) + s->pixelMetric(QStyle::PM_RadioButtonLabelSpacing);
        needH = std::max(needH, s->pixelMetric(QStyle::PM_ExclusiveIndicatorHeight));
    } else if (qobject_cast<QPushButton*>(w)) {
        needW += 2 * s->pixelMetric(QStyle::PM_ButtonMargin);
        needH += 2 * s->pixelMetric(QStyle::PM_DefaultFrameWidth);
    } else if (qobject_cast<QGroupBox*>(w)) {
        needW += 16;
    } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        // A digits-only edit shows its longest entry whole.
        if (!ui::hasStyle(dialog, w->objectName().toInt(), ui::kDigitsOnly)) return {};
        QStyleOptionFrame option;
        option.initFrom(edit);
        option.lineWidth = s->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit);
        const QRect contents = s->subElementRect(QStyle::SE_LineEditContents, &option, edit);
        const int digits = edit->maxLength();
        if (fm.horizontalAdvance(QString(digits, QLatin1Char('8'))) + 4 > contents.width())
            return QStringLiteral("%1 digits need more than %2 px").arg(digits).arg(contents.width());
        if (fm.height() > contents.height()) return QStringLiteral("text higher than the edit");
        return {};
    }
    if (needW > w->width() || needH > w->height())
        return QStringLiteral("needs %1 x %2, has %3 x %4").arg(needW).arg(needH).arg(w->width()).arg(w->height());
    return {};
}

// Types `text` as key presses that carry it, one character a press.
void typeText(QWidget* w, const QString& text) {
    for (char32_t c : text.toUcs4()) {
        const QString one = QString::fromUcs4(&c, 1);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, one);
        QApplication::sendEvent(w, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, one);
        QApplication::sendEvent(w, &release);
    }
}

bool isBracketPixel(int x, int y) {
    const bool arm = [](int v) { return v < 4 || v > 7; }(x) && (y == 0 || y == 11);
    const bool leg = [](int v) { return v < 4 || v > 7; }(y) && (x == 0 || x == 11);
    return arm || leg;
}

}  // namespace

class QtWindowTest : public QObject {
    Q_OBJECT

private slots:
    // Every control of every template exists under its id with its name and
    // rectangle; the main dialog's edits have their styles and limits.
    void controlsFromTheTable() {
        TestQtPlatform platform;
        RecordingController controller(platform);
        NullModal modal;
        for (ui::DialogId dialog : kDialogs) {
            const ui::DialogLayout& layout = ui::dialogLayout(dialog);
            auto window = buildWindow(dialog, controller, modal);
            QCOMPARE(window->windowTitle(), qtui::toQString(layout.title));
            for (const ui::ControlLayout& row : layout.controls) {
                if (row.id == ui::kIdStatic) continue;
                QWidget* w = qtui::findControl(window.get(), row.id);
                QVERIFY2(w, qPrintable(QStringLiteral("control %1 missing").arg(row.id)));
                QCOMPARE(w->geometry(), pixelRect(row.box));
                QCOMPARE(accessibleName(w), qtui::toQString(row.accessibleName));
            }
        }

        qtui::MainWindow window(controller);
        QCOMPARE(window.size(), QSize(491, 368));
        std::vector<int> ids = {ids::kIdInfo, ids::kIdMakePdb, ids::kIdFileLoad, ids::kIdDatabaseName, ids::kIdVersion,
                                ids::kIdGpsOn, ids::kIdGpsOff, ids::kIdInfoTextEdit, ids::kIdInfoTextCounter,
                                ids::kIdInfoTextButton, ids::kIdZoomIn, ids::kIdZoomOut, ids::kIdUp, ids::kIdDown,
                                ids::kIdLeft, ids::kIdRight, ids::kIdColour, ids::kIdDithering, ids::kIdCompress};
        for (int k = 0; k < 4; ++k) {
            for (int id : {ids::kIdClassButton[k], ids::kIdClassFileName[k], ids::kIdClassTopxN[k],
                           ids::kIdClassWidth[k], ids::kIdClassHeight[k], ids::kIdClassUseRec[k]})
                ids.push_back(id);
            for (int id : ids::kIdCoordinate[k]) ids.push_back(id);
        }
        QSet<QString> names;
        for (int id : ids) {
            QWidget* w = qtui::findControl(&window, id);
            QVERIFY2(w, qPrintable(QStringLiteral("main control %1 missing").arg(id)));
            names.insert(accessibleName(w));
        }
        QCOMPARE(names.size(), qsizetype(ids.size()));

        const struct {
            int id;
            const char* name;
            int limit;  // edits only; -1 for other controls
            bool readOnly;
        } rows[] = {
            {1025, "DataBase Name", 15, false},
            {1026, "Version", 5, false},
            {1000, "Class 1", -1, false},
            {1003, "Class 3", -1, false},
            {1007, "Class 3 FileName", 32767, true},
            {1012, "Class 4 TOPxN", 32767, true},
            {1014, "Class 2 Width", 32767, true},
            {1019, "Class 3 Height", 32767, true},
            {1024, "Class 4 UseRec", 32767, true},
            {1027, "Upper-left latitude degrees", 3, false},
            {1034, "Upper-left longitude minutes", 2, false},
            {1039, "Bottom-right latitude seconds", 2, false},
            {1044, "Bottom-right longitude fraction", 2, false},
            {1047, "Info Text", 48, false},
            {1048, "Info Text counter", 32767, true},
            {1005, "Info Text button", -1, false},
            {4, "GPS ON", -1, false},
            {5, "GPS OFF", -1, false},
            {1045, "Zoom in", -1, false},
            {1046, "Zoom out", -1, false},
            {1049, "Up", -1, false},
            {1052, "Right", -1, false},
            {1053, "Colour mode", -1, false},
            {1054, "DITHERING", -1, false},
            {1030, "Make PDB", -1, false},
            {1031, "File Load", -1, false},
            {3, "INFO", -1, false},
        };
        for (const auto& row : rows) {
            QWidget* w = qtui::findControl(&window, row.id);
            QCOMPARE(accessibleName(w), QString::fromUtf8(row.name));
            if (row.limit < 0) continue;
            auto* edit = qobject_cast<QLineEdit*>(w);
            QVERIFY(edit);
            QCOMPARE(edit->maxLength(), row.limit);
            QCOMPARE(edit->isReadOnly(), row.readOnly);
        }
        QVERIFY(qobject_cast<QPushButton*>(qtui::findControl(&window, ids::kIdMakePdb))->isDefault());
        QCOMPARE(accessibleName(window.findChild<QWidget*>(QStringLiteral("preview"))), QStringLiteral("Preview"));
        QCOMPARE(window.actions().size(), 2);
        QCOMPARE(window.actions().front()->text(), QStringLiteral("Make classes from one picture..."));
        QCOMPARE(window.actions().back()->text(), QStringLiteral("About Plotvane (&A)..."));
    }

    // The font has the pitch the layout was drawn for and the katakana of
    // the cancel caption; no control overlaps another, the preview or the
    // window's edge, and every caption fits.
    void layoutFits() {
        const QFont font = qtui::dialogFont();
        QCOMPARE(QFontInfo(font).family(), QStringLiteral("IPAGothic"));
        const QFontMetrics fm(font);
        QCOMPARE(fm.horizontalAdvance(QLatin1Char('x')), 6);
        for (char32_t c : QStringLiteral("ｷｬﾝｾﾙ").toUcs4()) QVERIFY(fm.inFontUcs4(c));

        TestQtPlatform platform;
        RecordingController controller(platform);
        NullModal modal;
        const QRect previewParts[] = {qrect(app::kPreviewFrameRect), qrect(app::kClassIndicatorRect),
                                      qrect(app::kColourIndicatorRect)};
        for (ui::DialogId dialog : kDialogs) {
            const ui::DialogLayout& layout = ui::dialogLayout(dialog);
            auto window = buildWindow(dialog, controller, modal);
            const QList<QWidget*> all = window->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
            QList<QWidget*> controls;
            for (QWidget* w : all)
                if (!QStringList{QStringLiteral("preview"), QStringLiteral("classIndicator"),
                                 QStringLiteral("colourIndicator")}
                         .contains(w->objectName()))
                    controls << w;
            QCOMPARE(controls.size(), qsizetype(layout.controls.size()));
            for (QWidget* a : controls) {
                const QString where = QStringLiteral("dialog %1, %2 '%3'")
                                          .arg(static_cast<int>(dialog))
                                          .arg(a->objectName(), accessibleName(a));
                QVERIFY2(window->rect().contains(a->geometry()), qPrintable(where + " leaves the window"));
                const QString problem = captionProblem(dialog, a);
                QVERIFY2(problem.isEmpty(), qPrintable(where + ": " + problem));
                if (dialog == ui::DialogId::Main)
                    for (const QRect& part : previewParts)
                        QVERIFY2(!a->geometry().intersects(part), qPrintable(where + " covers the preview"));
                for (QWidget* b : controls) {
                    if (a == b) continue;
                    // Group boxes frame their radio buttons.
                    if (qobject_cast<QGroupBox*>(a) && a->geometry().contains(b->geometry()) &&
                        !qobject_cast<QGroupBox*>(b))
                        continue;
                    if (qobject_cast<QGroupBox*>(b) && b->geometry().contains(a->geometry()) &&
                        !qobject_cast<QGroupBox*>(a))
                        continue;
                    QVERIFY2(!a->geometry().intersects(b->geometry()),
                             qPrintable(where + " overlaps " + b->objectName() + " '" + accessibleName(b) + "'"));
                }
            }
        }
    }

    // Clicks, keys and presses on the real widgets reach the controller.
    void eventsReachTheController() {
        TestQtPlatform platform;
        RecordingController controller(platform);
        qtui::MainWindow window(controller);
        platform.attachMain(&window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.initialise();
        QCOMPARE(controller.initialised, 1);

        std::vector<int> expected;
        std::vector<bool> expectedChecked;
        for (const ui::ControlLayout& row : ui::dialogLayout(ui::DialogId::Main).controls) {
            if (row.kind != ui::ControlKind::PushButton && row.kind != ui::ControlKind::BitmapButton &&
                row.kind != ui::ControlKind::CheckBox)
                continue;
            QWidget* w = qtui::findControl(&window, row.id);
            QTest::mouseClick(w, Qt::LeftButton);
            expected.push_back(row.id);
            expectedChecked.push_back(row.kind == ui::ControlKind::CheckBox);
        }
        QCOMPARE(controller.commands, expected);
        QCOMPARE(controller.checkedAtCommand, expectedChecked);

        // A disabled button says nothing; Enter in an edit presses "Make PDB".
        controller.commands.clear();
        platform.setEnabled(ui::DialogId::Main, ids::kIdClassButton[1], false);
        QTest::mouseClick(qtui::findControl(&window, ids::kIdClassButton[1]), Qt::LeftButton);
        QWidget* name = qtui::findControl(&window, ids::kIdDatabaseName);
        name->setFocus();
        QTest::keyClick(name, Qt::Key_Return);
        QCOMPARE(controller.commands, std::vector<int>{ids::kIdMakePdb});

        QTest::mousePress(&window, Qt::LeftButton, Qt::NoModifier, QPoint(390, 160));
        QTest::mouseRelease(&window, Qt::LeftButton, Qt::NoModifier, QPoint(390, 160));
        QTest::mousePress(&window, Qt::RightButton, Qt::ShiftModifier | Qt::ControlModifier, QPoint(311, 81));
        QTest::mouseRelease(&window, Qt::RightButton, Qt::ShiftModifier | Qt::ControlModifier, QPoint(311, 81));
        const std::vector<RecordingController::Press> presses = {
            {390, 160, app::kLeftButton, 0}, {311, 81, app::kRightButton, app::kShiftKey | app::kControlKey}};
        QCOMPARE(controller.presses, presses);

        window.actions().back()->trigger();
        window.actions().front()->trigger();
        QCOMPARE(controller.systemCommands, (std::vector<int>{ids::kSysCommandAbout, ids::kSysCommandMakeClasses}));

        QTest::keyClick(&window, Qt::Key_Escape);
        QCOMPARE(controller.closes, 1);
        QVERIFY(!window.isVisible());
    }

    // The edits refuse what their styles refuse as it is typed; a paste
    // into a digits-only edit is taken whole, up to the edit's limit.
    void editsFilterTypingAndTakePastes() {
        TestQtPlatform platform;
        RecordingController controller(platform);
        qtui::MainWindow window(controller);
        platform.attachMain(&window);
        const struct {
            int id;
            QString typed;
            QString kept;
            QString pasted;
        } rows[] = {
            {ids::kIdVersion, QStringLiteral("1a2-3 456"), QStringLiteral("12345"), QStringLiteral("1a2-3")},
            {ids::kIdUpperLeftLatDegrees, QStringLiteral("x35y7"), QStringLiteral("357"), QStringLiteral("x35")},
            {ids::kIdInfoTextEdit, QStringLiteral("Caf\u00e9 \u20ac5\t\u3042\U0001F600!"), QStringLiteral("Caf\u00e9 \u20ac5!"),
             QStringLiteral("Caf\u00e9 \u20ac5!")},
            {ids::kIdDatabaseName, QStringLiteral("Sample Bay 12345678"), QStringLiteral("Sample Bay 1234"),
             QStringLiteral("Sample Bay 1234")},
        };
        for (const auto& row : rows) {
            auto* edit = qobject_cast<QLineEdit*>(qtui::findControl(&window, row.id));
            edit->clear();
            typeText(edit, row.typed);
            QCOMPARE(edit->text(), row.kept);
            QCOMPARE(platform.controlText(ui::DialogId::Main, row.id), row.kept.toStdString());
            edit->clear();
            QGuiApplication::clipboard()->setText(row.typed);
            QTest::keySequence(edit, QKeySequence::Paste);
            QCOMPARE(edit->text(), row.pasted);
        }
        // Read-only display edits take nothing typed, but the controller writes them.
        auto* width = qobject_cast<QLineEdit*>(qtui::findControl(&window, ids::kIdClassWidth[0]));
        QTest::keyClicks(width, QStringLiteral("12"));
        QCOMPARE(width->text(), QString());
        platform.setControlText(ui::DialogId::Main, ids::kIdClassWidth[0], "640");
        QCOMPARE(width->text(), QStringLiteral("640"));
    }

    // The preview description drawn pixel for pixel at its client positions.
    void previewPixels() {
        TestQtPlatform platform;
        RecordingController controller(platform);
        qtui::MainWindow window(controller);
        platform.attachMain(&window);

        app::PreviewPicture picture;
        picture.source = {0, 0, 100, 80};
        picture.destX = 330;
        picture.destY = 100;
        auto colour = [](int x, int y) { return std::uint32_t(x * 2 << 16 | y * 3 << 8 | (x * 7 + y) % 256); };
        for (int y = 0; y < 80; ++y)
            for (int x = 0; x < 100; ++x) picture.pixels.push_back(colour(x, y));
        app::PreviewDescription& d = controller.description;
        d.classDigit = 3;
        d.colourCaption = "4BPP";
        d.picture = picture;
        d.markers = {{7, 340, 110, false}, {23, 400, 200, true}};
        platform.repaint(ui::Region::PreviewArea);
        // The grab has the screen's device pixels: QT_SCALE_FACTOR=2 gives two per pixel.
        const QImage shot = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
        const qreal r = shot.devicePixelRatio();
        const auto device = [r](int v) { return static_cast<int>(std::floor(v * r)); };
        const auto deviceRect = [&](int x, int y, int w, int h) {
            return QRect(device(x), device(y), device(x + w) - device(x), device(y + h) - device(y));
        };
        // A client pixel's colour, and whether all its device pixels have it.
        auto at = [&](int x, int y) { return shot.pixel(device(x), device(y)) & 0xFFFFFFu; };
        auto block = [&](int x, int y) {
            const QRect d = deviceRect(x, y, 1, 1);
            for (int v = d.top(); v <= d.bottom(); ++v)
                for (int u = d.left(); u <= d.right(); ++u)
                    if ((shot.pixel(u, v) & 0xFFFFFFu) != at(x, y)) return false;
            return true;
        };
        auto inMarker = [&](int x, int y) {
            return (x >= 340 && x < 350 && y >= 110 && y < 120) || (x >= 384 && x < 396 && y >= 154 && y < 166);
        };
        for (int y = 0; y < 80; ++y)
            for (int x = 0; x < 100; ++x)
                if (!inMarker(330 + x, 100 + y)) {
                    QCOMPARE(at(330 + x, 100 + y), colour(x, y));
                    QVERIFY(block(330 + x, 100 + y));
                }
        for (auto [x, y] : {std::pair{310, 80}, {469, 239}, {329, 150}, {431, 181}, {305, 75}, {474, 244}, {400, 77}})
            QCOMPARE(at(x, y), app::kFrameGrey);

        // Markers: the cells at the screen's resolution, the selected one inverted.
        const auto rgb = [](QImage image) { return image.convertToFormat(QImage::Format_RGB32); };
        QImage inverted = rgb(qtui::markerCell(23, r));
        inverted.invertPixels();
        QCOMPARE(rgb(shot.copy(deviceRect(340, 110, 10, 10))), rgb(qtui::markerCell(7, r)));
        QCOMPARE(rgb(shot.copy(deviceRect(400, 200, 10, 10))), inverted);
        const QImage& cells = qtui::markerIcons();
        QCOMPARE(rgb(qtui::markerCell(7, 1)), rgb(cells.copy(70, 0, 10, 10)));
        QVERIFY(cells.copy(70, 0, 10, 10) != cells.copy(80, 0, 10, 10));

        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 12; ++x) {
                const std::uint32_t expected = isBracketPixel(x, y) ? 0x00FF00u : colour(384 + x - 330, 154 + y - 100);
                QCOMPARE(at(384 + x, 154 + y), expected);
            }

        // Indicators: the digit and caption are drawn; a blank one is not.
        auto dark = [](const QImage& img) {
            int n = 0;
            for (int y = 2; y < img.height() - 2; ++y)
                for (int x = 2; x < img.width() - 2; ++x) n += qGray(img.pixel(x, y)) < 96;
            return n;
        };
        const QRect classRect = deviceRect(365, 275, 20, 20);
        QVERIFY(dark(shot.copy(classRect)) > 10);
        QCOMPARE(rgb(shot.copy(classRect)), rgb(qtui::classIndicator(3, r)));
        QCOMPARE(dark(qtui::classIndicator(0)), 0);
        QCOMPARE(rgb(shot.copy(deviceRect(300, 255, 48, 20))), rgb(qtui::colourIndicator(QStringLiteral("4BPP"), r)));
        QVERIFY(dark(qtui::colourIndicator(QStringLiteral("Original"))) > 20);

        // At two device pixels per pixel the faces are drawn at that
        // resolution, not pixel-doubled.
        const auto doubled = [](const QImage& image) {
            for (int y = 0; y + 1 < image.height(); y += 2)
                for (int x = 0; x + 1 < image.width(); x += 2) {
                    const QRgb c = image.pixel(x, y);
                    if (image.pixel(x + 1, y) != c || image.pixel(x, y + 1) != c || image.pixel(x + 1, y + 1) != c)
                        return false;
                }
            return true;
        };
        QVERIFY(!doubled(qtui::classIndicator(3, 2)));
        QVERIFY(!doubled(qtui::colourIndicator(QStringLiteral("8BPP"), 2)));
        QVERIFY(!doubled(qtui::markerCell(42, 2)));
        QVERIFY(!doubled(qtui::drawFace(ui::ButtonFace::GpsOff, qtui::FaceState::Disabled, QSize(22, 22), 2).toImage()));
        // Bevels and frames fall on whole pixels there: a face or an indicator
        // without letters is its picture at one device pixel per pixel, doubled.
        const auto plain = [](QImage image) {
            image.setDevicePixelRatio(1);
            return image.convertToFormat(QImage::Format_RGB32);
        };
        const auto twice = [&](const QImage& image) { return plain(image).scaled(image.size() * 2); };
        for (const qtui::FaceState state : {qtui::FaceState::Up, qtui::FaceState::Pressed}) {
            const auto face = [state](qreal ratio) {
                return qtui::drawFace(ui::ButtonFace::Colour, state, QSize(44, 26), ratio).toImage();
            };
            QCOMPARE(plain(face(2)), twice(face(1)));
        }
        QCOMPARE(plain(qtui::classIndicator(0, 2)), twice(qtui::classIndicator(0, 1)));
    }

    // Each radio button is its own group: a click marks it (a second click
    // keeps the mark), the controller hears of it with the mark set and
    // decides the others; Escape is the cancel button's command.
    void passwordRadios() {
        TestQtPlatform platform;
        RecordingController mainController(platform);
        qtui::MainWindow window(mainController);
        platform.attachMain(&window);

        struct Radios : ui::ModalDialog {
            TestQtPlatform& p;
            std::vector<std::pair<int, bool>> heard;
            explicit Radios(TestQtPlatform& platform) : p(platform) {}
            void initialise() override {
                p.setChecked(ui::DialogId::PasswordInput, ids::kIdNonPassword, true);
                p.setChecked(ui::DialogId::PasswordInput, ids::kIdFullEdit, true);
            }
            void command(int id) override {
                heard.emplace_back(id, p.isChecked(ui::DialogId::PasswordInput, id));
                if (id == ids::kIdInformation) p.setChecked(ui::DialogId::PasswordInput, ids::kIdNonPassword, false);
                if (id == ids::kIdCancel) p.endModal(ui::DialogId::PasswordInput, ui::DialogResult::Cancel);
            }
        } controller(platform);

        bool checkedInside = false;
        QTimer::singleShot(0, [&] {
            QWidget* dialog = platform.dialogWindow(ui::DialogId::PasswordInput);
            auto mark = [&](int id) { return qobject_cast<QAbstractButton*>(qtui::findControl(dialog, id))->isChecked(); };
            QTest::mouseClick(qtui::findControl(dialog, ids::kIdInformation), Qt::LeftButton);
            QTest::mouseClick(qtui::findControl(dialog, ids::kIdInformation), Qt::LeftButton);
            QTest::keyClicks(qtui::findControl(dialog, ids::kIdPasswordEdit), QStringLiteral("abcdefghij"));
            // Screen readers hear radio buttons, with their marks.
            QAccessibleInterface* info = QAccessible::queryAccessibleInterface(qtui::findControl(dialog, ids::kIdInformation));
            QAccessibleInterface* none = QAccessible::queryAccessibleInterface(qtui::findControl(dialog, ids::kIdNonPassword));
            const bool spoken = info->role() == QAccessible::RadioButton && info->state().checked &&
                                none->role() == QAccessible::RadioButton && !none->state().checked;
            checkedInside = spoken && mark(ids::kIdInformation) && !mark(ids::kIdNonPassword) && mark(ids::kIdFullEdit) &&
                            !mark(ids::kIdReadOnly) && !mark(ids::kIdAllView) &&
                            platform.controlText(ui::DialogId::PasswordInput, ids::kIdPasswordEdit) == "abcdefgh" &&
                            platform.controlText(ui::DialogId::PasswordInput, ids::kIdCancel) == "ｷｬﾝｾﾙ" &&
                            dialog->windowTitle() == QStringLiteral("PassWord Input");
            QTest::keyClick(dialog, Qt::Key_Escape);
        });
        QCOMPARE(platform.runModal(ui::DialogId::PasswordInput, controller), ui::DialogResult::Cancel);
        QVERIFY(checkedInside);
        const std::vector<std::pair<int, bool>> heard = {
            {ids::kIdInformation, true}, {ids::kIdInformation, true}, {ids::kIdCancel, false}};
        QCOMPARE(controller.heard, heard);
        QCOMPARE(platform.dialogWindow(ui::DialogId::PasswordInput), nullptr);
    }

    // What a screen reader is told: the indicators' values, the preview's
    // description, read-only edits as read-only, icon buttons' names as tooltips.
    void accessibleValues() {
        TestQtPlatform platform;
        RecordingController controller(platform);
        controller.description.classDigit = 2;
        controller.description.colourCaption = "8BPP";
        controller.description.spoken = "Class 2, 8BPP, centre 160, 240";
        qtui::MainWindow window(controller);
        platform.attachMain(&window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.repaintRegion(ui::Region::PreviewArea);

        const auto spoken = [&window](const char* name) {
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(window.findChild<QWidget*>(QLatin1String(name)));
            return a->text(QAccessible::Name) + QLatin1Char('|') + a->text(QAccessible::Description);
        };
        QCOMPARE(spoken("classIndicator"), QStringLiteral("Class 2|"));
        QCOMPARE(spoken("colourIndicator"), QStringLiteral("8BPP|"));
        QCOMPARE(spoken("preview"), QStringLiteral("Preview|Class 2, 8BPP, centre 160, 240"));

        for (const auto& [id, readOnly] : {std::pair{ids::kIdClassUseRec[0], true}, std::pair{ids::kIdVersion, false},
                                           std::pair{ids::kIdInfoTextCounter, true}}) {
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(qtui::findControl(&window, id));
            QCOMPARE(a->state().readOnly, readOnly);
            QCOMPARE(a->state().editable, !readOnly);
            QCOMPARE(a->editableTextInterface() == nullptr, readOnly);
            QVERIFY(a->textInterface() != nullptr);
        }
        platform.setControlText(ui::DialogId::Main, ids::kIdClassUseRec[0], "12");
        QCOMPARE(QAccessible::queryAccessibleInterface(qtui::findControl(&window, ids::kIdClassUseRec[0]))
                     ->textInterface()->text(0, 2),
                 QStringLiteral("12"));

        int buttons = 0;
        for (auto* child : window.findChildren<QAbstractButton*>()) {
            auto* button = dynamic_cast<qtui::BitmapButton*>(child);
            if (button == nullptr) continue;
            ++buttons;
            QVERIFY(!button->accessibleName().isEmpty());
            QCOMPARE(button->toolTip(), button->accessibleName());
        }
        QCOMPARE(buttons, 14);
    }

    void nameFilters() {
        const struct {
            const char* filter;
            QStringList expected;
        } rows[] = {
            {"bitmap (*.bmp)|*.bmp||", {QStringLiteral("bitmap (*.bmp)")}},
            {"PDB file|*.pdb||", {QStringLiteral("PDB file (*.pdb)")}},
            {"Pictures|*.bmp;*.dib|All (*.*)|*.*||",
             {QStringLiteral("Pictures (*.bmp *.dib)"), QStringLiteral("All (*.*)")}},
            {"", {}},
        };
        for (const auto& row : rows) QCOMPARE(qtui::toNameFilters(row.filter), row.expected);
    }
};

int runQtWindowTests(int argc, char** argv) {
    QtWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "qt_window_test.moc"
