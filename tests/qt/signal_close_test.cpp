// SIGINT and SIGTERM close halden-sim as its close button does: the
// program ends with status 0 after writing its profile, also while a dialog
// is open.
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>

#include "qt_fixture.h"
#include "signal_close.h"

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
        child.start(QStringLiteral(HALDEN_SIM), {});
        QVERIFY2(child.waitForStarted(), qPrintable(child.errorString()));

        // The EEPROM file appears once the window and the bus exist; the
        // firmware starts with the event loop just after.
        const QString sEeprom = QDir(dir.path()).filePath(QStringLiteral("eeprom.bin"));
        QTRY_VERIFY_WITH_TIMEOUT(QFile(sEeprom).size() == 32768, 60000);
        QTest::qWait(500);
        QCOMPARE(child.state(), QProcess::Running);

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
