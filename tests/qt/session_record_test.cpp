// File/Record Session... and File/Run Scenario... with the real firmware: a
// session driven in the window (a scenario played by the window, a click on
// a panel key, a sample, Send Message, a PC client on the served TCP port),
// recorded from the middle, replays in halden-cli to the same serial bytes in
// both directions and the same screen, byte for byte.
// The firmware runs once per process, so the cases share one power-up.
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QTest>

#include <QRegularExpression>

#include "clock_chip.h"
#include "escape.h"
#include "qt_fixture.h"
#include "scenario_player.h"
#include "serial_client.h"
#include "serial_endpoint.h"

namespace {

// Powered on and on the single-reading screen with a reference taken.
const char* const POWER_ON =
    "key standby\n"
    "wait-screen self-test-passed within 2m\n"
    "key soft2\n"
    "wait-screen main-menu within 1s\n";
// The instrument clock's start in the window and in the replay.
const char* const CLOCK_START = "2024-05-06 10:00:00";
const char* const SESSION =
    "key soft2\n"
    "key soft1\n"
    "key soft1\n"
    "wait-screen single-measure within 1s\n"
    "key ref\n"
    "wait 6s\n"
    "sample dye 2.5\n"
    "key test\n"
    "wait 6s\n"
    "sendln \"CONTROL\"\n"
    "expect \"E00\\r\\n\"\n"
    "sendln \"READA? 600\"\n"
    "expect \" 600\\r\\n\" within 10s\n"
    "sendln \"RELEASE\"\n"
    "expect \"E00\\r\\n\"\n"
    "heater fitted\n"
    "state\n";

// The serial line as runs of bytes in one direction, true for the bytes the
// instrument received; neighbouring runs in the same direction are joined.
using Runs = QList<std::pair<bool, QByteArray>>;

void AddRun(Runs& runs, bool bReceived, const QByteArray& abBytes)
{
    if (!runs.isEmpty() && runs.back().first == bReceived)
        runs.back().second += abBytes;
    else
        runs.append({bReceived, abBytes});
}

// The runs of halden-cli's --serial-log-both file: "-> " lines the
// instrument received, "<- " lines it sent, escaped.
Runs RunsOfLog(const QByteArray& abLog)
{
    Runs runs;
    for (const QByteArray& abLine : abLog.split('\n')) {
        if (abLine.size() < 3)
            continue;
        const std::string sBytes = DecodeEscapes(abLine.mid(3).toStdString());
        AddRun(runs, abLine.startsWith("-> "), QByteArray(sBytes.data(), static_cast<qsizetype>(sBytes.size())));
    }
    return runs;
}

// Runs as text for a comparison that shows where two differ: one line a
// run, the direction first.
QStringList RunLines(const Runs& runs)
{
    QStringList lines;
    for (const auto& [bReceived, abBytes] : runs)
        lines.append(QLatin1String(bReceived ? "-> " : "<- ") +
                     QString::fromStdString(EncodeEscapes(abBytes.toStdString())));
    return lines;
}

}  // namespace

class CSessionRecordTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CScratchEnvironment> m_pEnv;
    std::unique_ptr<CHaldenApp> m_pApp;
    QByteArray m_abTransmitted;  // every byte the instrument sent since power-up
    Runs m_serialRuns;           // the serial line since power-up, both directions

    CMainFrame* Frame() const { return m_pApp->Frame(); }

    bool Play(const char* pszText)
    {
        CScenarioPlayer* pPlayer = Frame()->ScenarioPlayer();
        QFile file(m_pEnv->Path() + QStringLiteral("/play.scn"));
        if (!file.open(QIODevice::WriteOnly) || file.write(pszText) < 0)
            return false;
        file.close();
        if (!Frame()->RunScenario(file.fileName()))
            return false;
        return QTest::qWaitFor([pPlayer] { return !pPlayer->Running(); }, 120000) && pPlayer->Passed();
    }

private slots:
    void initTestCase()
    {
        SetApplicationNames();
        m_pEnv = std::make_unique<CScratchEnvironment>();
        CHaldenApp::Options options;
        options.dSpeed = 0;  // as fast as possible
        options.clockStart = CClockChip::ParseMoment(CLOCK_START);  // the replay starts its clock there too
        SerialPortChoice tcp;
        tcp.mode = SerialPortChoice::Mode::Tcp;
        tcp.nPort = 0;  // any free port
        options.serialPort = tcp;
        m_pApp = std::make_unique<CHaldenApp>(options);
        QVERIFY(m_pApp->InitInstance());
        connect(m_pApp->View(), &CHaldenView::SerialReceived, this,
                [this](const QByteArray& abBytes) {
                    m_abTransmitted += abBytes;
                    AddRun(m_serialRuns, false, abBytes);
                });
        connect(m_pApp->View(), &CHaldenView::SerialInjected, this,
                [this](const QByteArray& abBytes) { AddRun(m_serialRuns, true, abBytes); });
        QTRY_VERIFY(FirmwareThreadActive());
    }

    void cleanupTestCase()
    {
        m_pApp.reset();
        m_pEnv.reset();
    }

    // A recording that cannot be written says which file and why: here the
    // scenario's name is taken by a folder, while its image beside it can be
    // written.
    void failedRecordingNamesTheFileAndWhy()
    {
        const QString sScenario = m_pEnv->Path() + QStringLiteral("/taken.scn");
        QVERIFY(QDir().mkdir(sScenario));
        QVERIFY(Frame()->StartRecording(sScenario));
        QString sError;
        QVERIFY(!Frame()->StopRecording(&sError));
        QVERIFY2(sError.startsWith(QStringLiteral("The session could not be written to %1: ").arg(sScenario)),
                 qPrintable(sError));
        QVERIFY2(!sError.contains(QStringLiteral("Unknown error")), qPrintable(sError));
        QVERIFY(!Frame()->Recording());
    }

    // A played scenario reports where it stopped; one with a fault does not start.
    void runScenarioReportsItsResult()
    {
        CScenarioPlayer* pPlayer = Frame()->ScenarioPlayer();
        QVERIFY(!Frame()->RunScenario(m_pEnv->Path() + QStringLiteral("/none.scn")));
        QVERIFY(Frame()->ScenarioPane()->text().contains(QStringLiteral("not run")));
        QVERIFY(!pPlayer->Start("wait 1s\nkey nokey\nscript \"x\"\n", QStringLiteral("bad.scn")));
        QVERIFY2(pPlayer->Result().contains(QStringLiteral("bad.scn:2:5: unknown key 'nokey'")),
                 qPrintable(pPlayer->Result()));
        QVERIFY(pPlayer->Result().contains(QStringLiteral("1 more")));
        QVERIFY(pPlayer->Start("wait 100ms\nexpect \"NEVER\" within 200ms\n", QStringLiteral("x.scn")));
        QTRY_VERIFY_WITH_TIMEOUT(!pPlayer->Running(), 20000);
        QVERIFY(!pPlayer->Passed());
        QVERIFY2(pPlayer->Result().contains(QStringLiteral("failed at x.scn:2:1: expect \"NEVER\" within 200ms: "
                                                           "\"NEVER\" not received within 200ms")),
                 qPrintable(pPlayer->Result()));
        QCOMPARE(Frame()->ScenarioPane()->toolTip(), pPlayer->Result());
    }

    void recordedSessionReplaysByteForByte()
    {
        QVERIFY2(Play(POWER_ON), qPrintable(Frame()->ScenarioPlayer()->Result()));
        const QString sScenario = m_pEnv->Path() + QStringLiteral("/session.scn");
        QVERIFY(Frame()->StartRecording(sScenario));
        QVERIFY(Frame()->Recording());
        QVERIFY2(Play(SESSION), qPrintable(Frame()->ScenarioPlayer()->Result()));
        QCOMPARE(Frame()->ScenarioPlayer()->Output(), QStringLiteral("state 15 single-measure\n"));

        // PC software on the served port: each command, then its reply.
        CClient client = CClient::Tcp(m_pApp->SerialPort()->Port());
        QVERIFY(client.IsOpen());
        const std::pair<QByteArray, QByteArray> conversation[] = {
            {"CONTROL\r\n", "E00\r\n"}, {"READA? 500\r\n", " 500\r\n"}, {"RELEASE\r\n", "E00\r\n"}};
        for (const auto& [abCommand, abReply] : conversation) {
            const qsizetype nBefore = client.Received().size();
            client.Send(abCommand);
            QTRY_VERIFY_WITH_TIMEOUT(client.Received().indexOf(abReply, nBefore) >= 0, 20000);
        }

        // A click on "Scan" and a Send Message, as a user would.
        CKeyBase* pScan = m_pApp->View()->Key(KEY_SOFT3);
        QTest::mousePress(pScan, Qt::LeftButton, {}, pScan->rect().center());
        CInstrument& instrument = m_pApp->View()->Instrument();
        uint64_t ullTicks = instrument.TicksDelivered();
        QTRY_VERIFY(instrument.TicksDelivered() > ullTicks + 3);
        QTest::mouseRelease(pScan, Qt::LeftButton, {}, pScan->rect().center());
        m_pApp->SendBytes("CONTROL\r\n");
        ullTicks = instrument.TicksDelivered();
        QTRY_VERIFY_WITH_TIMEOUT(instrument.TicksDelivered() > ullTicks + 200, 30000);
        Frame()->SetPaused(true);
        QTest::qWait(300);  // the firmware stands at its next yield
        QVERIFY(Frame()->StopRecording(nullptr));
        QVERIFY(!Frame()->Recording());
        QTest::qWait(300);  // the last bytes reach the window
        const QImage shown = m_pApp->View()->Lcd()->Frame();

        QByteArray abText = ReadAll(sScenario);
        QVERIFY(abText.contains("# Record Session began here.\n"));
        QVERIFY(abText.contains("press soft3\n"));
        QVERIFY(abText.contains("sample \"dye\" 2.5\n"));
        QVERIFY(abText.contains("send \"CONTROL\\r\\n\"\n"));
        QVERIFY(abText.contains("READA? 5"));
        QVERIFY(abText.contains("heater fitted\n"));
        QVERIFY(abText.indexOf("press standby") < abText.indexOf("# Record Session began here."));
        QVERIFY(m_abTransmitted.contains("E00\r\n"));

        // halden-cli on a copy of the image the session started from.
        QFile(m_pEnv->Path() + QStringLiteral("/session.eeprom.bin")).copy(m_pEnv->Path() + QStringLiteral("/replay.bin"));
        QFile replay(sScenario);
        QVERIFY(replay.open(QIODevice::Append));
        replay.write("snapshot replay.pbm\n");
        replay.close();
        QProcess cli;
        cli.setWorkingDirectory(m_pEnv->Path());
        cli.start(QStringLiteral(HALDEN_CLI), {QStringLiteral("--clock"), QString::fromLatin1(CLOCK_START),
                                               QStringLiteral("--eeprom"), QStringLiteral("replay.bin"),
                                               QStringLiteral("--serial-log"), QStringLiteral("replay.serial"),
                                               QStringLiteral("--serial-log-both"),
                                               QStringLiteral("session.scn")});
        QVERIFY(cli.waitForFinished(120000));
        QVERIFY2(cli.exitCode() == 0, cli.readAllStandardError().constData());
        // Both directions, in the same order: what the window's instrument
        // received (the scenario's lines, Send Message, the client) and sent.
        const Runs runsReplayed = RunsOfLog(ReadAll(m_pEnv->Path() + QStringLiteral("/replay.serial")));
        QVERIFY(runsReplayed.size() > 5);
        // Both clocks start at the same moment and run in firmware time, so
        // a reading's time and date come out the same too.
        QVERIFY2(QRegularExpression(QStringLiteral("Abs\\t1\\d:\\d\\d\\t06/05/24 \\(dd/mm/yy\\)"))
                     .match(QString::fromLatin1(m_abTransmitted))
                     .hasMatch(),
                 m_abTransmitted.left(400).constData());
        QVERIFY(RunLines(m_serialRuns).contains(QStringLiteral("-> READA? 500\\r\\n")));
        QCOMPARE(RunLines(runsReplayed), RunLines(m_serialRuns));
        QImage replayed(m_pEnv->Path() + QStringLiteral("/replay.pbm"));
        QCOMPARE(replayed.size(), shown.size());
        int nDiffer = 0;
        for (int y = 0; y < shown.height(); y++)
            for (int x = 0; x < shown.width(); x++)
                nDiffer += (qGray(replayed.pixel(x, y)) < 128) != (shown.pixelIndex(x, y) == 1);
        QCOMPARE(nDiffer, 0);
    }
};

QTEST_MAIN(CSessionRecordTest)
#include "session_record_test.moc"
