// "Make classes from one picture..." through the real widgets: the context
// menu item, the classes dialog, the rows filled; the progress dialog, its
// Cancel, and the window held while work runs.
#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>

#include "app/main_dialog.h"
#include "gui/dialog_builder.h"
#include "project/control_ids.h"
#include "qt_fixtures.h"
#include "scene/map_scene.h"

using namespace plotvane;

namespace {

QAction* menuItem(QWidget* window, const QString& text) {
    for (QAction* action : window->actions())
        if (action->text() == text) return action;
    return nullptr;
}

}  // namespace

class QtClassesTest : public QObject {
    Q_OBJECT

private slots:
    void classesFromOnePictureFillTheRows() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const std::filesystem::path work = dir.path().toStdString();
        QVERIFY(scene::writeSceneBmp(work / "scan.bmp", 601, 421, 24));
        test::LiveWindow live(work);
        QVERIFY(QTest::qWaitForWindowExposed(live.window.get()));
        QAction* item = menuItem(live.window.get(), QStringLiteral("Make classes from one picture..."));
        QVERIFY(item != nullptr);
        QCOMPARE(live.window->actions().indexOf(item) + 1,
                 live.window->actions().indexOf(menuItem(live.window.get(), QStringLiteral("About Plotvane (&A)..."))));

        live.platform.fileAnswers.push_back((work / "scan.bmp").string());
        QString sizes;
        bool answered = false;
        QTimer::singleShot(50, [&] {
            auto* dialog = QApplication::activeModalWidget();
            QVERIFY(dialog != nullptr && dialog->objectName() == QStringLiteral("classesDialog"));
            dialog->findChild<QSpinBox*>(QStringLiteral("classCount"))->setValue(2);
            sizes = dialog->findChild<QLabel*>(QStringLiteral("sizes"))->text();
            const QString folder = qEnvironmentVariable("PLOTVANE_SCREENSHOT_DIR", QDir::currentPath());
            QVERIFY(dialog->grab().toImage().save(folder + QStringLiteral("/qt_classes_dialog.png")));
            QTest::mouseClick(dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
            answered = true;
        });
        item->trigger();
        QVERIFY(answered);
        QCOMPARE(sizes, QStringLiteral("In 1BPP mode:\nClass 1: 302 x 212, 1 record\nClass 2: 604 x 424, 1 record\n"
                                       "Added 3 pixels of white on the right and 3 pixels at the bottom of the 601 x "
                                       "421 picture (604 x 424)."));
        QCOMPARE(live.platform.messages.size(), std::size_t{0});
        // The file dialog names each pattern once.
        QCOMPARE(qtui::toNameFilters(live.platform.fileRequests.at(0).filter),
                 (QStringList{QStringLiteral("pictures (*.tif *.tiff *.png *.jpg *.jpeg *.gif *.bmp)"),
                              QStringLiteral("all files (*)")}));
        QCOMPARE(live.text(ids::kIdClassFileName[0]), (work / "class1.bmp").string());
        QCOMPARE(live.text(ids::kIdClassWidth[1]), std::string("604"));
        QCOMPARE(live.text(ids::kIdClassTopxN[1]), std::string("2"));
        QVERIFY(live.platform.progressDialog() == nullptr);
    }

    // The dialog shows once the work has taken half a second; its Cancel is
    // the answer to the next report. The work's wait cursor shows
    // everywhere but over the dialog, where Cancel must look clickable.
    void progressDialogCancels() {
        test::TestQtPlatform platform;
        platform.setBusy(true);
        QVERIFY(platform.progress("Building classes", 0.0));
        QProgressDialog* dialog = platform.progressDialog();
        QVERIFY(dialog != nullptr);
        QElapsedTimer clock;
        clock.start();
        double fraction = 0;
        while (!dialog->isVisible() && clock.elapsed() < 5000) {
            QTest::qWait(20);
            fraction += 0.001;
            QVERIFY(platform.progress("Building classes", fraction));
        }
        QVERIFY(dialog->isVisible());
        QVERIFY(clock.elapsed() >= 500);
        QCOMPARE(dialog->labelText(), QStringLiteral("Building classes"));
        const auto shownCursor = [] { return QApplication::overrideCursor()->shape(); };
        QCOMPARE(shownCursor(), Qt::WaitCursor);
        // The offscreen platform places the pointer in device pixels but
        // finds the window under it in logical ones: moved at scale 1 only.
        if (dialog->devicePixelRatio() == 1) {
            QTest::mouseMove(dialog->findChild<QPushButton*>());
            QCOMPARE(shownCursor(), Qt::ArrowCursor);
            // Out of the dialog, to a corner of the screen with no window.
            QCursor::setPos(dialog->screen()->geometry().bottomRight() - QPoint(2, 2));
            QCoreApplication::processEvents();
            QCOMPARE(shownCursor(), Qt::WaitCursor);
            QTest::mouseMove(dialog->findChild<QPushButton*>());
        }
        QTest::mouseClick(dialog->findChild<QPushButton*>(), Qt::LeftButton);
        QVERIFY(!platform.progress("Building classes", fraction + 0.001));
        platform.endProgress();
        QVERIFY(platform.progressDialog() == nullptr);
        QCOMPARE(shownCursor(), Qt::WaitCursor);
        platform.setBusy(false);
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    // While work runs under its progress dialog the window passes nothing to
    // the controller: Escape does not end it; once the work ends it does.
    void windowHeldWhileWorkRuns() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        test::LiveWindow live(dir.path().toStdString());
        QVERIFY(QTest::qWaitForWindowExposed(live.window.get()));
        QVERIFY(live.platform.progress("Making the map database", 0.0));
        QTest::keyClick(live.window.get(), Qt::Key_Escape);
        QVERIFY(live.window->isVisible());
        live.platform.endProgress();
        QTest::keyClick(live.window.get(), Qt::Key_Escape);
        QVERIFY(!live.window->isVisible());
    }
};

int runQtClassesTests(int argc, char** argv) {
    QtClassesTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "qt_classes_test.moc"
