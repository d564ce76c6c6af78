// File/Run Scenario... gives what halden-cli gives for the same scenario:
// the same `screen` and `state` lines, the same snapshot file byte for byte,
// and the same words when an expect fails.
#include <QFile>
#include <QProcess>
#include <QTest>

#include "qt_fixture.h"
#include "scenario_player.h"

namespace {

const char* const SCENARIO =
    "key standby\n"
    "wait-screen self-test-passed within 2m\n"
    "key soft2\n"
    "wait-screen main-menu within 1s\n"
    "screen\n"
    "state\n"
    "snapshot menu.pbm\n"
    "snapshot menu.png\n"
    "expect \"NOPE\" within 100ms\n";

bool WriteAll(const QString& sPath, const QByteArray& abData)
{
    QFile file(sPath);
    return file.open(QIODevice::WriteOnly) && file.write(abData) == abData.size();
}

}  // namespace

class CScenarioPlayerTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { SetApplicationNames(); }

    void playsAsHaldenCliDoes()
    {
        CScratchEnvironment env;
        const QString sDir = env.Path();
        QVERIFY(QDir(sDir).mkdir(QStringLiteral("cli")));
        QVERIFY(WriteAll(sDir + QStringLiteral("/play.scn"), SCENARIO));
        QVERIFY(WriteAll(sDir + QStringLiteral("/cli/play.scn"), SCENARIO));

        // The window first: a process started before the firmware thread would
        // leave ThreadSanitizer refusing the threads made after its fork.
        CHaldenApp::Options options;
        options.dSpeed = 0;
        CHaldenApp app(options);
        QVERIFY(app.InitInstance());
        CScenarioPlayer* pPlayer = app.Frame()->ScenarioPlayer();
        QVERIFY(app.Frame()->RunScenario(sDir + QStringLiteral("/play.scn")));
        QVERIFY(QTest::qWaitFor([pPlayer] { return !pPlayer->Running(); }, 120000));
        QVERIFY(!pPlayer->Passed());

        QProcess cli;
        cli.setWorkingDirectory(sDir + QStringLiteral("/cli"));
        cli.start(QStringLiteral(HALDEN_CLI), {QStringLiteral("--eeprom"), QStringLiteral("eeprom.bin"),
                                               QStringLiteral("play.scn")});
        QVERIFY(cli.waitForFinished(120000));
        QCOMPARE(cli.exitCode(), 1);  // the last expect fails
        const QString sCliOut = QString::fromUtf8(cli.readAllStandardOutput());
        const QString sCliErr = QString::fromUtf8(cli.readAllStandardError()).trimmed();

        QCOMPARE(pPlayer->Output(), sCliOut);
        QVERIFY(sCliOut.endsWith(QStringLiteral("state 11 main-menu\n")));
        for (const char* pszName : {"menu.pbm", "menu.png"}) {
            const QByteArray abCli = ReadAll(sDir + QStringLiteral("/cli/") + QLatin1String(pszName));
            QVERIFY2(!abCli.isEmpty(), pszName);
            QVERIFY2(ReadAll(sDir + QLatin1Char('/') + QLatin1String(pszName)) == abCli, pszName);
        }
        // "... within 100ms: "NOPE" not received within 100ms; received "START\r\n..."
        const QString sWhy = sCliErr.mid(sCliErr.indexOf(QStringLiteral("within 100ms: ")));
        QVERIFY2(sWhy.contains(QStringLiteral("; received \"START\\r\\n")), qPrintable(sCliErr));
        QVERIFY2(pPlayer->Result().endsWith(sWhy), qPrintable(pPlayer->Result() + QStringLiteral("\n") + sCliErr));
        app.ExitInstance();
    }
};

QTEST_MAIN(CScenarioPlayerTest)
#include "scenario_player_test.moc"
