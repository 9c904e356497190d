// The built program with its window, started as an operator starts it:
// copied into a station folder with its TAVO.ini, against the simulated hub
// of --simulate=DIR, on Qt's offscreen platform. The run chosen here ends at
// the start-up pass (no update file), so it costs about a second.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int kExitNoUpdateFile = 34;
constexpr int kExitStartFailure = 2;

struct Station {
    QTemporaryDir root;
    QString folder() const { return root.filePath(QStringLiteral("station")); }
    QString device() const { return root.filePath(QStringLiteral("device")); }

    bool lay(const QByteArray& ini) {
        QDir().mkpath(folder());
        QDir().mkpath(device());
        const QString program = folder() + QStringLiteral("/QuorvexUpdate");
        QFile iniFile(folder() + QStringLiteral("/TAVO.ini"));
        QFile deviceFile(device() + QStringLiteral("/device.ini"));
        return QFile::copy(QStringLiteral(QV_PROGRAM_PATH), program) && iniFile.open(QIODevice::WriteOnly) &&
               iniFile.write(ini) == ini.size() && deviceFile.open(QIODevice::WriteOnly) &&
               deviceFile.write("[DEVICE]\nFAMILY=5C\nMODE=normal\n") > 0;
    }

    // Runs the program; false when it does not end in time.
    bool run(const QProcessEnvironment& environment, QProcess& process) {
        process.setWorkingDirectory(folder());
        process.setProcessEnvironment(environment);
        process.start(folder() + QStringLiteral("/QuorvexUpdate"),
                      {QStringLiteral("--simulate=") + device()});
        return process.waitForFinished(60000);
    }

    QStringList resultLogs() const {
        return QDir(folder()).entryList({QStringLiteral("VORTAVOlog*.txt")}, QDir::Files);
    }
};

QProcessEnvironment withoutDisplay() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        environment.remove(QString::fromLatin1(name));
    }
    return environment;
}

} // namespace

class WindowProgramRunTest : public QObject {
    Q_OBJECT

private slots:
    void windowProgramRunsToItsOutcomeAndCloses() {
        Station station;
        QVERIFY(station.lay("[CLOSEAPP]\r\nFAIL=1\r\n"));
        QProcessEnvironment environment = withoutDisplay();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        QProcess process;
        QVERIFY(station.run(environment, process));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), kExitNoUpdateFile);
        const QStringList logs = station.resultLogs();
        QCOMPARE(logs.size(), 1);
        QFile log(station.folder() + QLatin1Char('/') + logs.first());
        QVERIFY(log.open(QIODevice::ReadOnly));
        QCOMPARE(log.readAll(), QByteArray("Can not find update file.\r\n"));
    }

    void withoutADisplayTheWindowProgramSaysSo() {
        Station station;
        QVERIFY(station.lay("[CLOSEAPP]\r\nFAIL=1\r\n"));
        QProcess process;
        QVERIFY(station.run(withoutDisplay(), process));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), kExitStartFailure);
        const QString error = QString::fromLocal8Bit(process.readAllStandardError());
        QVERIFY2(error.contains(QStringLiteral("display")) && error.contains(QStringLiteral("/S")),
                 qPrintable(error));
        QVERIFY(station.resultLogs().isEmpty());  // nothing ran
    }
};

QTEST_GUILESS_MAIN(WindowProgramRunTest)
#include "window_program_run_test.moc"
