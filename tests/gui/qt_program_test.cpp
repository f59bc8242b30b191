// The window program as a process: a signal ends it as its close button
// does, so its working files go with it.
#include <signal.h>

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

namespace {

// True once the process has its own handler for `signal`.
bool catches(qint64 pid, int signal) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) return false;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (!line.startsWith("SigCgt:")) continue;
        const quint64 mask = line.mid(7).trimmed().toULongLong(nullptr, 16);
        return (mask >> (signal - 1)) & 1u;
    }
    return false;
}

}  // namespace

class QtProgramTest : public QObject {
    Q_OBJECT

private slots:
    void signalsRunTheExitCleanUp() {
        for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
            QTemporaryDir dir;
            QVERIFY(dir.isValid());
            const QString raster = dir.filePath(QStringLiteral("temporbl.$$$"));
            QFile file(raster);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("old");
            file.close();

            QProcess program;
            program.setWorkingDirectory(dir.path());
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
            program.setProcessEnvironment(environment);
            program.start(QStringLiteral(PLOTVANE_WINDOW_PATH), {});
            QVERIFY(program.waitForStarted());
            QElapsedTimer waited;
            waited.start();
            while (!catches(program.processId(), signal) && waited.elapsed() < 20000) QThread::msleep(5);
            QVERIFY2(catches(program.processId(), signal), "the program never took the signal");
            QVERIFY(::kill(static_cast<pid_t>(program.processId()), signal) == 0);
            QVERIFY(program.waitForFinished(20000));
            QCOMPARE(program.exitStatus(), QProcess::NormalExit);
            QCOMPARE(program.exitCode(), 128 + signal);
            QVERIFY(!QFile::exists(raster));
        }
    }
};

int runQtProgramTests(int argc, char** argv) {
    QtProgramTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "qt_program_test.moc"
