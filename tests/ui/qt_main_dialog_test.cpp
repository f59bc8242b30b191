// The real main dialog behind the real window: classes picked and a map
// made through the widgets alone, and a screenshot of the dialog.
#include <QDir>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "app/main_dialog.h"
#include "database/database_writer.h"
#include "project/control_ids.h"
#include "qt_fixtures.h"
#include "scene/map_scene.h"
#include "ui/qt/dialog_builder.h"

using namespace plotvane;

class QtMainDialogTest : public QObject {
    Q_OBJECT

private slots:
    void classesPickedAndMapMade() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const std::filesystem::path work = dir.path().toStdString();
        const int sizes[3][2] = {{480, 320}, {960, 640}, {1920, 1280}};
        for (int k = 0; k < 3; ++k)
            QVERIFY(scene::writeSceneBmp(work / ("class" + std::to_string(k + 1) + ".bmp"), sizes[k][0], sizes[k][1], 24));

        test::TestQtPlatform platform;
        SystemClock clock;
        app::MainDialog dialog(platform, work, clock);
        QVERIFY(dialog.create());
        qtui::MainControllerOf<app::MainDialog> controller(dialog);
        qtui::MainWindow window(controller);
        platform.attachMain(&window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.initialise();

        auto widget = [&](int id) { return qtui::findControl(&window, id); };
        auto text = [&](int id) { return platform.controlText(ui::DialogId::Main, id); };
        for (int k = 0; k < 3; ++k) {
            platform.fileAnswers.push_back((work / ("class" + std::to_string(k + 1) + ".bmp")).string());
            QTest::mouseClick(widget(ids::kIdClassButton[k]), Qt::LeftButton);
        }
        QCOMPARE(text(ids::kIdClassTopxN[0]), std::string("TOP"));
        QCOMPARE(text(ids::kIdClassWidth[2]), std::string("1920"));
        QCOMPARE(text(ids::kIdClassTopxN[2]), std::string("4"));
        QVERIFY(widget(ids::kIdClassButton[3])->isEnabled());
        QVERIFY(!widget(ids::kIdClassButton[2])->isEnabled());

        // Back to Class 1, the whole map in the preview.
        QTest::mouseClick(widget(ids::kIdZoomOut), Qt::LeftButton);
        QTest::mouseClick(widget(ids::kIdZoomOut), Qt::LeftButton);
        const QImage shot = window.grab().toImage();
        const QString folder = qEnvironmentVariable("PLOTVANE_SCREENSHOT_DIR", QDir::currentPath());
        QVERIFY(shot.save(folder + QStringLiteral("/qt_main_dialog.png")));
        QCOMPARE(platform.messages.size(), std::size_t(0));

        // Original mode takes 1-bit classes only: the map is made in 8 bits.
        QTest::mouseClick(widget(ids::kIdColour), Qt::LeftButton);
        QCOMPARE(window.preview().colourCaption, std::string("8BPP"));
        QTest::keyClicks(widget(ids::kIdDatabaseName), QStringLiteral("Sample Bay"));
        QTest::keyClicks(widget(ids::kIdVersion), QStringLiteral("10023"));
        const std::filesystem::path pdb = work / "sample.pdb";
        platform.fileAnswers.push_back(pdb.string());
        // Non Password with Read Only takes no typed password.
        QTimer::singleShot(0, [&] {
            QWidget* input = platform.dialogWindow(ui::DialogId::PasswordInput);
            QVERIFY(input);
            QTest::mouseClick(qtui::findControl(input, ids::kIdReadOnly), Qt::LeftButton);
            QVERIFY(static_cast<QLineEdit*>(qtui::findControl(input, ids::kIdPasswordEdit))->isReadOnly());
            QTest::mouseClick(qtui::findControl(input, ids::kIdOk), Qt::LeftButton);
        });
        QTest::keyClick(widget(ids::kIdVersion), Qt::Key_Return);
        QStringList texts;
        for (const Message& m : platform.messages) texts << qtui::toQString(m.title + "|" + m.text);
        QCOMPARE(texts, QStringList{QStringLiteral("Plotvane|Success : Map Database making")});
        QVERIFY(std::filesystem::file_size(pdb) > 1000);

        QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(!window.isVisible());
        platform.attachMain(nullptr);
        dialog.destroy();
    }
};

int runQtMainDialogTests(int argc, char** argv) {
    QtMainDialogTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "qt_main_dialog_test.moc"
