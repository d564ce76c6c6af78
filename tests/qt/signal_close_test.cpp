// SIGINT and SIGTERM close halden-sim as its close button does: the
// program ends with status 0 after writing its profile, also while a dialog
// is open.
#include <QDeadlineTimer>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <string>

#include "qt_fixture.h"
#include "signal_close.h"

namespace {

// A TCP port on the loopback that nothing listens on just now.
uint16_t FreeTcpPort()
{
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t nLength = sizeof addr;
    const bool bOk = ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
                     ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &nLength) == 0;
    ::close(fd);
    return bOk ? ntohs(addr.sin_port) : 0;
}

// The firmware answers ^H on the serial port (served on the TCP port) with
// its greeting, in standby too: proof that its thread runs. Retries the
// connection and the greeting until it comes or the guard runs out.
bool FirmwareGreets(uint16_t unPort, int nGuardMs)
{
    std::string sSeen;
    int fd = -1;
    QDeadlineTimer deadline(nGuardMs);
    while (!deadline.hasExpired()) {
        if (fd < 0) {
            fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
            sockaddr_in addr {};
            addr.sin_family = AF_INET;
            addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            addr.sin_port = htons(unPort);
            if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 && errno != EINPROGRESS) {
                ::close(fd);
                fd = -1;
                QTest::qWait(100);
                continue;
            }
        }
        if (::send(fd, "\x08", 1, MSG_NOSIGNAL) < 0 && errno != EAGAIN && errno != ENOTCONN) {
            ::close(fd);
            fd = -1;
        }
        QTest::qWait(200);
        char ab[256];
        for (ssize_t n; fd >= 0 && (n = ::recv(fd, ab, sizeof ab, 0)) > 0;)
            sSeen.append(ab, static_cast<size_t>(n));
        if (sSeen.find("HELLO\r\n") != std::string::npos)
            break;
    }
    if (fd >= 0)
        ::close(fd);
    return sSeen.find("HELLO\r\n") != std::string::npos;
}

}  // namespace

class CSignalCloseTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { SetApplicationNames(); }

    // A signal that arrives while a modal dialog runs closes the dialog
    // (as Cancel) and then the main window.
    void signalClosesAnOpenDialogAndTheWindow()
    {
        CScratchEnvironment env;
        auto pApp = StartWindowOnly();
        QVERIFY(pApp);
        CSignalClose signalClose(pApp->Frame());
        QVERIFY(signalClose.Installed());
        QDialog dialog(pApp->Frame());
        QTimer::singleShot(50, [] { ::raise(SIGTERM); });
        QTimer::singleShot(10000, &dialog, &QDialog::accept);  // only if the signal did nothing
        QCOMPARE(dialog.exec(), int(QDialog::Rejected));
        QTRY_VERIFY(!pApp->Frame()->isVisible());
    }

    // halden-sim --version prints its name and version and ends at once,
    // without opening a window or touching an EEPROM file.
    void versionOptionPrintsAndExits()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        child.setProcessEnvironment(environment);
        child.setWorkingDirectory(dir.path());
        child.start(QStringLiteral(HALDEN_SIM), {QStringLiteral("--version")});
        QVERIFY(child.waitForFinished(20000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);
        const QString sOut = QString::fromLocal8Bit(child.readAllStandardOutput()).trimmed();
        QVERIFY2(QRegularExpression(QStringLiteral("^halden-sim \\d+\\.\\d+")).match(sOut).hasMatch(), qPrintable(sOut));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("eeprom.bin"))));
    }

    // Without a usable display halden-sim says so in one line and exits 1
    // rather than aborting with Qt's plug-in advice; --help and --version
    // need no display at all.
    void startWithoutDisplay_data()
    {
        QTest::addColumn<QString>("sDisplay");
        QTest::addColumn<QString>("sArgument");
        QTest::addColumn<int>("nExit");
        QTest::addColumn<QString>("sPattern");
        QTest::newRow("no DISPLAY") << QString() << QString() << 1
                                    << QStringLiteral("^halden-sim: no display to show the window on \\(DISPLAY is not set\\)");
        QTest::newRow("nothing at :97") << QStringLiteral(":97") << QString() << 1
                                        << QStringLiteral("^halden-sim: cannot show the window on display :97 \\(.*:97\\)$");
        QTest::newRow("--version") << QString() << QStringLiteral("--version") << 0 << QString();
        QTest::newRow("--help") << QString() << QStringLiteral("--help") << 0 << QString();
    }

    void startWithoutDisplay()
    {
        QFETCH(QString, sDisplay);
        QFETCH(QString, sArgument);
        QFETCH(int, nExit);
        QFETCH(QString, sPattern);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* pszName : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            environment.remove(QString::fromLatin1(pszName));
        if (!sDisplay.isEmpty())
            environment.insert(QStringLiteral("DISPLAY"), sDisplay);
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path());
        child.setProcessEnvironment(environment);
        child.setWorkingDirectory(dir.path());
        child.start(QStringLiteral(HALDEN_SIM), sArgument.isEmpty() ? QStringList() : QStringList{sArgument});
        QVERIFY(child.waitForFinished(20000));
        const QString sErr = QString::fromLocal8Bit(child.readAllStandardError());
        const QString sOut = QString::fromLocal8Bit(child.readAllStandardOutput());
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QVERIFY2(child.exitCode() == nExit, qPrintable(sErr));
        if (nExit == 0) {
            QVERIFY2(sOut.startsWith(sArgument == QStringLiteral("--version") ? QStringLiteral("halden-sim ")
                                                                                : QStringLiteral("Usage:")),
                     qPrintable(sOut));
        } else {
            const QStringList asLines = sErr.trimmed().split(QLatin1Char('\n'));
            QCOMPARE(asLines.size(), 1);
            QVERIFY2(QRegularExpression(sPattern).match(asLines.front()).hasMatch(), qPrintable(sErr));
        }
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("eeprom.bin"))));
    }

    void signalClosesLikeTheCloseButton_data()
    {
        QTest::addColumn<int>("nSignal");
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGTERM") << int(SIGTERM);
    }

    void signalClosesLikeTheCloseButton()
    {
        QFETCH(int, nSignal);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path());
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        child.setProcessEnvironment(environment);
        child.setWorkingDirectory(dir.path());
        const uint16_t unPort = FreeTcpPort();
        QVERIFY(unPort != 0);
        child.start(QStringLiteral(HALDEN_SIM), {QStringLiteral("--serial-tcp"), QString::number(unPort)});
        QVERIFY2(child.waitForStarted(), qPrintable(child.errorString()));

        // The signal comes once the firmware thread runs: it has answered on
        // the serial port. The guard only stops a hang.
        QVERIFY2(FirmwareGreets(unPort, 60000), qPrintable(QString::fromLocal8Bit(child.readAllStandardError().right(2000))));
        QCOMPARE(child.state(), QProcess::Running);
        const QString sEeprom = QDir(dir.path()).filePath(QStringLiteral("eeprom.bin"));
        QCOMPARE(QFile(sEeprom).size(), 32768);

        ::kill(static_cast<pid_t>(child.processId()), nSignal);
        if (!child.waitForFinished(60000)) {
            child.kill();
            child.waitForFinished();
            QFAIL("the simulator did not close");
        }
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
                 qPrintable(QStringLiteral("status %1: %2").arg(child.exitCode()).arg(QString::fromLocal8Bit(child.readAllStandardError().right(2000)))));

        const QString sProfile = QDir(dir.path()).filePath(QStringLiteral("Halden/halden-sim.conf"));
        QVERIFY2(QFile::exists(sProfile), "the profile is written at exit");
        QSettings profile(sProfile, QSettings::IniFormat);
        QCOMPARE(profile.value(QStringLiteral("View/ToolBar")).toInt(), 1);
        QCOMPARE(profile.value(QStringLiteral("View/Zoom")).toInt(), 1);
    }
};

QTEST_MAIN(CSignalCloseTest)
#include "signal_close_test.moc"
