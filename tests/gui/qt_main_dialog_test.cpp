// The real main dialog behind the real window: classes picked, a map made
// and loaded back through the widgets alone, and a screenshot of the dialog.
#include <QClipboard>
#include <QDir>
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <fstream>
#include <functional>
#include <map>
#include <memory>

#include "app/main_dialog.h"
#include "database/database_writer.h"
#include "project/control_ids.h"
#include "project/files.h"
#include "qt_fixtures.h"
#include "scene/map_scene.h"
#include "gui/dialog_builder.h"

using namespace plotvane;
using test::LiveWindow;

namespace {

// Plays `steps` on the password dialogs as they open, one step per dialog,
// by their own widgets; a step whose dialog never opens fails the test.
// Each poll schedules a copy of itself, so nothing holds itself alive.
using DialogSteps = std::vector<std::pair<ui::DialogId, std::function<void(QWidget*)>>>;

struct DialogPoll {
    test::TestQtPlatform* platform;
    std::shared_ptr<DialogSteps> remaining;
    std::shared_ptr<int> tries;

    void operator()() const {
        QWidget* dialog = platform->dialogWindow(remaining->front().first);
        if (dialog == nullptr || !dialog->isVisible()) {
            if (++*tries < 500) QTimer::singleShot(10, *this);
            else QFAIL("a password dialog never opened");
            return;
        }
        auto step = remaining->front().second;
        remaining->erase(remaining->begin());
        *tries = 0;
        if (!remaining->empty()) QTimer::singleShot(10, *this);
        step(dialog);
    }
};

void whenDialogsOpen(test::TestQtPlatform& platform, DialogSteps steps) {
    if (steps.empty()) return;
    QTimer::singleShot(0, DialogPoll{&platform, std::make_shared<DialogSteps>(std::move(steps)), std::make_shared<int>(0)});
}

void click(QWidget* dialog, int id) { QTest::mouseClick(qtui::findControl(dialog, id), Qt::LeftButton); }
void type(QWidget* dialog, const QString& text) { QTest::keyClicks(qtui::findControl(dialog, ids::kIdPasswordEdit), text); }

std::filesystem::path classFile(const std::filesystem::path& work, int k) {
    return work / ("class" + std::to_string(k) + ".bmp");
}

}  // namespace

class QtMainDialogTest : public QObject {
    Q_OBJECT

private slots:
    // Letters pasted into the digits-only edits reach the checks that name them.
    void pastedLettersReachTheChecks() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const std::filesystem::path work = dir.path().toStdString();
        QVERIFY(scene::writeSceneBmp(classFile(work, 1), 480, 320, 24));
        LiveWindow live(work);
        QVERIFY(QTest::qWaitForWindowExposed(live.window.get()));
        live.platform.fileAnswers.push_back(classFile(work, 1).string());
        QTest::mouseClick(live.widget(ids::kIdClassButton[0]), Qt::LeftButton);
        QTest::keyClicks(live.widget(ids::kIdDatabaseName), QStringLiteral("Map"));
        const auto paste = [&live](int id, const QString& text) {
            auto* edit = static_cast<QLineEdit*>(live.widget(id));
            edit->selectAll();
            QGuiApplication::clipboard()->setText(text);
            QTest::keySequence(edit, QKeySequence::Paste);
        };
        paste(ids::kIdVersion, QStringLiteral("12a45"));
        QTest::mouseClick(live.widget(ids::kIdMakePdb), Qt::LeftButton);
        QCOMPARE(live.messages(), (QStringList{QStringLiteral("Warning|Please use number in Version"),
                                               QStringLiteral("Error|Cannot make Map Database!")}));

        live.platform.messages.clear();
        QTest::mouseClick(live.widget(ids::kIdGpsOn), Qt::LeftButton);
        paste(ids::kIdUpperLeftLatDegrees, QStringLiteral("3a"));
        QTest::mouseClick(live.widget(ids::kIdMakePdb), Qt::LeftButton);
        QCOMPARE(live.messages(), QStringList{QStringLiteral("Warning|Please use Only Number in LAT/LONG Value")});
        QVERIFY(live.widget(ids::kIdGpsOn)->isEnabled());
    }

    // A PNG Class 1 with a world file in degrees: the question box, answered
    // Yes by its own button, fills the sixteen edits and switches GPS on.
    void georeferencedClassOneFillsTheCorners() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const std::filesystem::path work = dir.path().toStdString();
        QImage picture(480, 320, QImage::Format_RGB32);
        picture.fill(QColor(40, 120, 200));
        QVERIFY(picture.save(QString::fromStdString((work / "map.png").string())));
        // The centre of the first pixel: the corner is half a pixel up and left.
        std::ofstream(work / "map.pgw") << "0.001\n0\n0\n-0.001\n139.5005\n35.7995\n";

        LiveWindow live(work);
        QVERIFY(QTest::qWaitForWindowExposed(live.window.get()));
        QVERIFY(!live.widget(ids::kIdGpsOff)->isEnabled());
        QString asked;
        bool checkBoxShown = true;
        QTimer::singleShot(50, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box != nullptr);
            asked = box->windowTitle() + QLatin1Char('|') + box->text();
            checkBoxShown = box->checkBox() != nullptr;
            QTest::mouseClick(box->button(QMessageBox::Yes), Qt::LeftButton);
        });
        live.platform.fileAnswers.push_back((work / "map.png").string());
        QTest::mouseClick(live.widget(ids::kIdClassButton[0]), Qt::LeftButton);

        QVERIFY2(asked.startsWith(QStringLiteral("Plotvane|Corners from the world file map.pgw, in degrees without "
                                                 "a .prj")),
                 qPrintable(asked));
        QVERIFY2(asked.contains(QStringLiteral("upper-left 35:48:00.000 N, 139:30:00.000 E (35.8000000, 139.5000000)\n"
                                               "bottom-right 35:28:48.000 N, 139:58:48.000 E (35.4800000, "
                                               "139.9800000)\n")),
                 qPrintable(asked));
        QVERIFY(asked.endsWith(QStringLiteral("0.00 pixels of Class 1.\n\nFill in the corner coordinates and switch "
                                              "GPS on?")));
        // Plain latitude/longitude: nothing to reproject.
        QVERIFY(!checkBoxShown);
        const char* expected[4][4] = {{"35", "48", "0", "00"}, {"139", "30", "0", "00"},
                                      {"35", "28", "48", "00"}, {"139", "58", "48", "00"}};
        for (int v = 0; v < 4; ++v)
            for (int p = 0; p < 4; ++p) {
                auto* edit = static_cast<QLineEdit*>(live.widget(ids::kIdCoordinate[v][p]));
                QCOMPARE(edit->text(), QString::fromLatin1(expected[v][p]));
            }
        QVERIFY(live.widget(ids::kIdGpsOff)->isEnabled());
        QVERIFY(!live.widget(ids::kIdGpsOn)->isEnabled());
        QCOMPARE(live.text(ids::kIdClassFileName[0]), (work / "map.png").string());
        QCOMPARE(live.messages(), QStringList{});
    }

    // A map in UTM: the question box offers the reprojection; ticked by its
    // own check box, Class 1 enters reprojected and the corners are filled.
    void projectedClassOneReprojectedByTheCheckBox() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const std::filesystem::path work = dir.path().toStdString();
        QVERIFY(scene::writeSceneBmp(work / "utm.bmp", 640, 480, 24));
        std::ofstream(work / "utm.bpw") << "10\n0\n0\n-10\n380005\n3959995\n";
        std::ofstream(work / "utm.prj") << "EPSG:32654";

        LiveWindow live(work);
        QVERIFY(QTest::qWaitForWindowExposed(live.window.get()));
        QString offered;
        QTimer::singleShot(50, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box != nullptr && box->checkBox() != nullptr);
            offered = box->checkBox()->text();
            QTest::mouseClick(box->checkBox(), Qt::LeftButton, {}, QPoint(8, box->checkBox()->height() / 2));
            QVERIFY(box->checkBox()->isChecked());
            const QString folder = qEnvironmentVariable("PLOTVANE_SCREENSHOT_DIR", QDir::currentPath());
            QVERIFY(box->grab().toImage().save(folder + QStringLiteral("/qt_georeference_question.png")));
            QTest::mouseClick(box->button(QMessageBox::Yes), Qt::LeftButton);
        });
        live.platform.fileAnswers.push_back((work / "utm.bmp").string());
        QTest::mouseClick(live.widget(ids::kIdClassButton[0]), Qt::LeftButton);

        QCOMPARE(offered, QStringLiteral("Reproject the classes to latitude/longitude (positions then exact)"));
        QCOMPARE(live.messages(), QStringList{});
        QCOMPARE(live.text(ids::kIdClassFileName[0]), (work / "utm.bmp").string());
        const int width = std::stoi(live.text(ids::kIdClassWidth[0]));
        QVERIFY(width != 640 && width % 8 == 0);
        QCOMPARE(live.text(ids::kIdUpperLeftLatDegrees), std::string("35"));
        QVERIFY(live.widget(ids::kIdGpsOff)->isEnabled());
    }

    void classesPickedAndMapMade() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const std::filesystem::path work = dir.path().toStdString();
        const int sizes[3][2] = {{480, 320}, {960, 640}, {1920, 1280}};
        for (int k = 0; k < 3; ++k) QVERIFY(scene::writeSceneBmp(classFile(work, k + 1), sizes[k][0], sizes[k][1], 24));

        LiveWindow live(work);
        QVERIFY(live.created);
        QVERIFY(QTest::qWaitForWindowExposed(live.window.get()));
        for (int k = 0; k < 3; ++k) {
            live.platform.fileAnswers.push_back(classFile(work, k + 1).string());
            QTest::mouseClick(live.widget(ids::kIdClassButton[k]), Qt::LeftButton);
        }
        QCOMPARE(live.text(ids::kIdClassTopxN[0]), std::string("TOP"));
        QCOMPARE(live.text(ids::kIdClassWidth[2]), std::string("1920"));
        QCOMPARE(live.text(ids::kIdClassTopxN[2]), std::string("4"));
        QVERIFY(live.widget(ids::kIdClassButton[3])->isEnabled());
        QVERIFY(!live.widget(ids::kIdClassButton[2])->isEnabled());

        // Back to Class 1, the whole map in the preview.
        QTest::mouseClick(live.widget(ids::kIdZoomOut), Qt::LeftButton);
        QTest::mouseClick(live.widget(ids::kIdZoomOut), Qt::LeftButton);
        const QImage shot = live.window->grab().toImage();
        const QString folder = qEnvironmentVariable("PLOTVANE_SCREENSHOT_DIR", QDir::currentPath());
        QVERIFY(shot.save(folder + QStringLiteral("/qt_main_dialog.png")));
        QCOMPARE(live.messages(), QStringList{});

        // Original mode takes 1-bit classes only: the map is made in 8 bits.
        QTest::mouseClick(live.widget(ids::kIdColour), Qt::LeftButton);
        QCOMPARE(live.window->preview().colourCaption, std::string("8BPP"));
        QTest::keyClicks(live.widget(ids::kIdDatabaseName), QStringLiteral("Sample Bay"));
        QTest::keyClicks(live.widget(ids::kIdVersion), QStringLiteral("10023"));
        const std::filesystem::path pdb = work / "sample.pdb";
        live.platform.fileAnswers.push_back(pdb.string());
        // Non Password with Read Only takes no typed password.
        whenDialogsOpen(live.platform, {{ui::DialogId::PasswordInput, [](QWidget* input) {
                                             click(input, ids::kIdReadOnly);
                                             QVERIFY(static_cast<QLineEdit*>(
                                                         qtui::findControl(input, ids::kIdPasswordEdit))
                                                         ->isReadOnly());
                                             click(input, ids::kIdOk);
                                         }}});
        QTest::keyClick(live.widget(ids::kIdVersion), Qt::Key_Return);
        QCOMPARE(live.messages(), QStringList{QStringLiteral("Plotvane|Success : Map Database making")});
        QVERIFY(std::filesystem::file_size(pdb) > 1000);

        QTest::keyClick(live.window.get(), Qt::Key_Escape);
        QVERIFY(!live.window->isVisible());
    }

    // A map made with a password and loaded back in a later run of the
    // program comes back with its settings, and the preview shows the same
    // pixels it showed before the map was made.
    void mapMadeWithAPasswordAndLoadedBack() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const std::filesystem::path work = dir.path().toStdString();
        QVERIFY(scene::writeSceneBmp(classFile(work, 1), 320, 240, 24));
        QVERIFY(scene::writeSceneBmp(classFile(work, 2), 640, 480, 24));
        const std::filesystem::path pdb = work / "harbour.pdb";

        app::PreviewDescription made;
        {
            LiveWindow live(work);
            QVERIFY(live.created);
            for (int k = 1; k <= 2; ++k) {
                live.platform.fileAnswers.push_back(classFile(work, k).string());
                QTest::mouseClick(live.widget(ids::kIdClassButton[k - 1]), Qt::LeftButton);
            }
            QTest::mouseClick(live.widget(ids::kIdZoomOut), Qt::LeftButton);
            QTest::mouseClick(live.widget(ids::kIdColour), Qt::LeftButton);
            QTest::mouseClick(live.widget(ids::kIdColour), Qt::LeftButton);
            QCOMPARE(live.window->preview().colourCaption, std::string("4BPP"));
            made = live.window->preview();
            QVERIFY(made.picture.has_value());
            QTest::keyClicks(live.widget(ids::kIdDatabaseName), QStringLiteral("Harbour"));
            QTest::keyClicks(live.widget(ids::kIdVersion), QStringLiteral("00007"));
            live.platform.fileAnswers.push_back(pdb.string());
            whenDialogsOpen(live.platform, {{ui::DialogId::PasswordInput,
                                             [](QWidget* input) {
                                                 click(input, ids::kIdAllView);
                                                 click(input, ids::kIdFullEdit);
                                                 type(input, QStringLiteral("Tide2468"));
                                                 click(input, ids::kIdOk);
                                             }},
                                            {ui::DialogId::PasswordAgain, [](QWidget* again) {
                                                 type(again, QStringLiteral("Tide2468"));
                                                 click(again, ids::kIdOk);
                                             }}});
            QTest::mouseClick(live.widget(ids::kIdMakePdb), Qt::LeftButton);
            QCOMPARE(live.messages(), QStringList{QStringLiteral("Plotvane|Success : Map Database making")});
        }

        LiveWindow live(work);
        QVERIFY(live.created);
        live.platform.fileAnswers.push_back(pdb.string());
        whenDialogsOpen(live.platform, {{ui::DialogId::PasswordCheck, [](QWidget* check) {
                                             type(check, QStringLiteral("Tide2468"));
                                             click(check, ids::kIdOk);
                                         }}});
        QTest::mouseClick(live.widget(ids::kIdFileLoad), Qt::LeftButton);
        QCOMPARE(live.messages(), QStringList{});
        QCOMPARE(live.platform.fileRequests.back().filter, std::string("bitmap (*.pdb)|*.pdb||"));
        QCOMPARE(live.text(ids::kIdDatabaseName), std::string("Harbour"));
        QCOMPARE(live.text(ids::kIdVersion), std::string("00007"));
        QCOMPARE(live.text(ids::kIdClassWidth[1]), std::string("640"));
        QCOMPARE(live.text(ids::kIdClassTopxN[1]), std::string("2"));
        // Full edit: everything but the name can be changed and made again.
        QVERIFY(live.readOnly(ids::kIdDatabaseName));
        QVERIFY(!live.readOnly(ids::kIdVersion));
        QVERIFY(live.widget(ids::kIdMakePdb)->isEnabled());
        QVERIFY(live.widget(ids::kIdClassButton[2])->isEnabled());
        QVERIFY(!live.widget(ids::kIdClassButton[0])->isEnabled());
        const QString folder = qEnvironmentVariable("PLOTVANE_SCREENSHOT_DIR", QDir::currentPath());
        QVERIFY(live.window->grab().toImage().save(folder + QStringLiteral("/qt_loaded_dialog.png")));

        // The load keeps this run's Original mode and shows the class's
        // restored bitmap, which holds the grey levels of the database.
        const app::PreviewDescription loaded = live.window->preview();
        QCOMPARE(loaded.colourCaption, std::string("Original"));
        QCOMPARE(loaded.picture->file, work / kRestoreFileNames[0]);
        QCOMPARE(loaded.classDigit, made.classDigit);
        QVERIFY(loaded.picture.has_value());
        // The zoom out left the made run's centre nearer the corner: compare
        // the part both previews show.
        const app::PreviewPicture& before = *made.picture;
        const app::PreviewPicture& after = *loaded.picture;
        QCOMPARE(after.source.left, before.source.left);
        QCOMPARE(after.source.top, before.source.top);
        QVERIFY(after.source.right >= before.source.right && after.source.bottom >= before.source.bottom);
        // The restored bitmap's palette holds each grey level in a shade
        // that converts back to its stored value, so the two pictures are
        // alike level for level: one shade of one for each shade of the other.
        std::map<std::uint32_t, std::uint32_t> forward, backward;
        int mismatched = 0;
        for (int y = 0; y < before.source.height(); ++y)
            for (int x = 0; x < before.source.width(); ++x) {
                const std::uint32_t a = before.pixels[static_cast<std::size_t>(y * before.source.width() + x)];
                const std::uint32_t b = after.pixels[static_cast<std::size_t>(y * after.source.width() + x)];
                mismatched += forward.try_emplace(a, b).first->second != b;
                mismatched += backward.try_emplace(b, a).first->second != a;
            }
        QCOMPARE(mismatched, 0);
        QVERIFY(forward.size() >= 3);
    }
};

int runQtMainDialogTests(int argc, char** argv) {
    QtMainDialogTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "qt_main_dialog_test.moc"
