// The window program as a process: a signal ends it as its close button
// does, so its working files go with it.
#include <signal.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
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

QString run(const QString& program, const QStringList& arguments, const QString& display) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), display);
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForFinished(10000)) return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

// A private X server, for what only a real window system shows.
class XServer {
public:
    XServer() {
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (xvfb.isEmpty() || QStandardPaths::findExecutable(QStringLiteral("xprop")).isEmpty() ||
            QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
            return;
        // The server picks a free display itself and writes its number. It
        // must not reset when its last client goes: the title probes come
        // and go, and a program connecting during a reset is refused.
        server_.start(xvfb, {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                             QStringLiteral("0"), QStringLiteral("1600x1200x24"), QStringLiteral("-nolisten"),
                             QStringLiteral("tcp"), QStringLiteral("-noreset")});
        QByteArray number;
        QElapsedTimer waited;
        waited.start();
        while (server_.waitForStarted(10000) && !number.contains('\n') && waited.elapsed() < 20000) {
            server_.waitForReadyRead(1000);
            number += server_.readAllStandardOutput();
        }
        if (number.contains('\n')) {
            display_ = QStringLiteral(":") + QString::fromLatin1(number.trimmed());
            return;
        }
        display_.clear();
    }
    ~XServer() {
        server_.terminate();
        server_.waitForFinished(5000);
    }
    bool running() const { return !display_.isEmpty(); }
    const QString& display() const { return display_; }

    // Titles of the windows on screen, as the window system holds them:
    // each window's _NET_WM_NAME and WM_NAME, "name|name".
    QStringList titles() const {
        QStringList out;
        const QStringList windows =
            run(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                            QStringLiteral("--name"), QStringLiteral("")},
                display_)
                .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (const QString& window : windows) {
            QStringList names;
            for (const char* property : {"_NET_WM_NAME", "WM_NAME"}) {
                const QString line =
                    run(QStringLiteral("xprop"), {QStringLiteral("-id"), window, QString::fromLatin1(property)}, display_);
                const qsizetype quote = line.indexOf(QLatin1Char('"'));
                names << (quote < 0 ? QString() : line.mid(quote + 1, line.lastIndexOf(QLatin1Char('"')) - quote - 1));
            }
            if (!names.join(QString()).isEmpty()) out << names.join(QLatin1Char('|'));
        }
        out.sort();
        return out;
    }

    // Waits until the titles on screen are `expected`.
    bool waitForTitles(const QStringList& expected, QStringList& seen, int milliseconds = 30000) const {
        QElapsedTimer waited;
        waited.start();
        do {
            seen = titles();
            if (seen == expected) return true;
            QThread::msleep(50);
        } while (waited.elapsed() < milliseconds);
        return false;
    }

private:
    QProcess server_;
    QString display_;
};

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

    // The titles the desktop shows are the dialogs' own, with nothing added.
    void windowSystemTitles() {
        XServer x;
        if (!x.running()) QSKIP("no Xvfb, xprop or xdotool");
        // The window runs at the suite's scale; the click is at its pixels.
        const int scale = qEnvironmentVariableIsSet("QT_SCALE_FACTOR") ? qEnvironmentVariableIntValue("QT_SCALE_FACTOR") : 1;
        for (const bool leftover : {true, false}) {
            QTemporaryDir dir;
            QVERIFY(dir.isValid());
            if (leftover) {
                QFile file(dir.filePath(QStringLiteral("mktempfl.001")));
                QVERIFY(file.open(QIODevice::WriteOnly));
            }
            QProcess program;
            program.setWorkingDirectory(dir.path());
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
            environment.insert(QStringLiteral("DISPLAY"), x.display());
            program.setProcessEnvironment(environment);
            program.start(QStringLiteral(PLOTVANE_WINDOW_PATH), {});
            QVERIFY(program.waitForStarted());
            QStringList seen;
            const QStringList first = leftover ? QStringList{QStringLiteral("Error|Error")}
                                               : QStringList{QStringLiteral("Plotvane2|Plotvane2")};
            const bool shown = x.waitForTitles(first, seen);
            // A program that could not start says why.
            if (!shown) program.waitForFinished(1000);
            QVERIFY2(shown, qPrintable(seen.join(QLatin1String(", ")) + QLatin1String(" / ") +
                                       QString::fromLocal8Bit(program.readAllStandardError())));
            if (!leftover) {
                // The "INFO" button opens the About box over the window.
                const QString window = run(QStringLiteral("xdotool"),
                                           {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                            QStringLiteral("--name"), QStringLiteral("^Plotvane2$")},
                                           x.display()).trimmed();
                const QStringList both{QStringLiteral("About Plotvane|About Plotvane"),
                                       QStringLiteral("Plotvane2|Plotvane2")};
                // A click may come before the window takes input: try again.
                bool opened = false;
                for (int attempt = 0; attempt < 15 && !opened; ++attempt) {
                    run(QStringLiteral("xdotool"),
                        {QStringLiteral("mousemove"), QStringLiteral("--window"), window,
                         QString::number(52 * scale), QString::number(333 * scale), QStringLiteral("click"),
                         QStringLiteral("1")},
                        x.display());
                    opened = x.waitForTitles(both, seen, 2000);
                }
                QVERIFY2(opened, qPrintable(seen.join(QLatin1String(", "))));
            }
            program.terminate();
            QVERIFY(program.waitForFinished(20000));
        }
    }
};

int runQtProgramTests(int argc, char** argv) {
    QtProgramTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "qt_program_test.moc"
