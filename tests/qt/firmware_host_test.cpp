// The desktop host with the real firmware thread: the serial port's sink,
// the keys the firmware polls, the 50 ms ticks, Send Message, the display
// refresh, and a close that stops the thread. The firmware runs once per
// process, so every case here shares one power-up; the per-pass step is a
// small stand-in for the state machine that records keys and echoes what
// arrives on the serial port.
#include <QAction>
#include <QLabel>
#include <QRegularExpression>
#include <QTest>

#include "app/probe.h"
#include "core/runtime.h"
#include "display/lcd.h"
#include "qt_fixture.h"
#include "serial_monitor.h"

class CFirmwareHostTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CScratchEnvironment> m_pEnv;
    std::unique_ptr<CHaldenApp> m_pApp;

private slots:
    void initTestCase()
    {
        SetApplicationNames();
        m_pEnv = std::make_unique<CScratchEnvironment>();
        FirmwareSetUiStep(EchoStep);
        m_pApp = std::make_unique<CHaldenApp>();
        QVERIFY(m_pApp->InitInstance());
        QTRY_VERIFY(FirmwareThreadActive());
    }

    void cleanupTestCase()
    {
        m_pApp.reset();
        m_pEnv.reset();
    }

    void powerUpTextReachesMonitor()
    {
        CSerialMonitor* pMonitor = m_pApp->Frame()->SerialMonitor();
        QTRY_VERIFY(pMonitor->Bytes().startsWith("START\r\n"));
    }

    void ticksAdvanceFirmwareTime()
    {
        const uint32_t unStart = gunStepMs.load();
        QTRY_VERIFY_WITH_TIMEOUT(gunStepMs.load() >= unStart + 200, 60000);
    }

    void clickedKeyBecomesFirmwareEvent()
    {
        CKeyBase* pKey = m_pApp->View()->Key(KEY_TEST);
        gbStepKey = 0;
        QTest::mousePress(pKey, Qt::LeftButton, {}, pKey->rect().center());
        QTRY_COMPARE(gbStepKey.load(), uint8_t(KEY_TEST));
        QTest::mouseRelease(pKey, Qt::LeftButton, {}, pKey->rect().center());
    }

    // Sent bytes go through the firmware's receive queue, come back through
    // its transmit path to the monitor, and the echo's drawing is painted.
    void sentMessageComesBack()
    {
        CSerialMonitor* pMonitor = m_pApp->Frame()->SerialMonitor();
        CLcdWnd* pLcd = m_pApp->View()->Lcd();
        pMonitor->Clear();
        const uint64_t ullPaints = pLcd->PaintCount();
        m_pApp->SendBytes("ID?\x14\r\n");
        QTRY_COMPARE(pMonitor->Bytes(), QByteArrayLiteral("ID?\x14\r\n"));
        QTRY_VERIFY(pLcd->PaintCount() > ullPaints);
        QCOMPARE(m_pApp->View()->Instrument().DisplayByte(LCD_GRAPHIC_BASE), uint8_t('\n'));
    }

    // As fast as possible the firmware makes its own ticks: ten minutes of
    // firmware time pass (at real time they would take ten minutes of wall
    // time; the guard below only stops a hang). Back at real time the ticks
    // keep coming.
    void speedMenuChangesThePace()
    {
        CMainFrame* pFrame = m_pApp->Frame();
        QAction* pMax = nullptr;
        QAction* pReal = nullptr;
        for (QAction* pAction : pFrame->SpeedActions()) {
            if (pAction->data().toDouble() == 0)
                pMax = pAction;
            if (pAction->data().toDouble() == 1)
                pReal = pAction;
        }
        QVERIFY(pMax && pReal);
        QVERIFY(pReal->isChecked());
        pMax->trigger();
        QVERIFY(pMax->isChecked() && !pReal->isChecked());
        QCOMPARE(m_pApp->View()->Speed(), 0.0);
        const uint32_t unStart = gunStepMs.load();
        QTRY_VERIFY_WITH_TIMEOUT(gunStepMs.load() - unStart >= 600000, 240000);

        pReal->trigger();
        QVERIFY(pReal->isChecked() && !pMax->isChecked());
        const uint32_t unReal = gunStepMs.load();
        QTRY_VERIFY_WITH_TIMEOUT(gunStepMs.load() - unReal >= 200, 60000);
    }

    // A pace not on the menu checks no item; the status bar names the speed
    // reached as a percentage.
    void speedFromTheCommandLineAndTheStatusBar()
    {
        CMainFrame* pFrame = m_pApp->Frame();
        pFrame->SetSpeed(3);
        for (QAction* pAction : pFrame->SpeedActions())
            QVERIFY(!pAction->isChecked());
        pFrame->SetSpeed(2);
        int nChecked = 0;
        for (QAction* pAction : pFrame->SpeedActions())
            if (pAction->isChecked()) {
                nChecked++;
                QCOMPARE(pAction->data().toDouble(), 2.0);
            }
        QCOMPARE(nChecked, 1);
        const QRegularExpression reSpeed(QStringLiteral("^Speed: [0-9,.\u00a0]+%$"));
        QTRY_VERIFY_WITH_TIMEOUT(reSpeed.match(pFrame->SpeedPane()->text()).hasMatch(), 5000);
        pFrame->SetSpeed(1);
    }

    // Pause stops firmware time and the passes: a key pressed meanwhile is
    // taken only after resuming, and the paused time is not caught up.
    void pauseStopsTheFirmwareAndItsTime()
    {
        CMainFrame* pFrame = m_pApp->Frame();
        pFrame->SetSpeed(1);
        QTest::qWait(100);
        pFrame->PauseAction()->trigger();
        QVERIFY(m_pApp->View()->Instrument().Paused());
        QTest::qWait(100);  // the pass under way ends
        const uint32_t unPausedAt = gunStepMs.load();
        gbStepKey = 0;
        m_pApp->View()->SetKeyFromKeyboard(KEY_REF, true);
        QTest::qWait(600);
        QCOMPARE(gunStepMs.load(), unPausedAt);
        QCOMPARE(gbStepKey.load(), uint8_t(0));
        QCOMPARE(pFrame->SpeedPane()->text(), QStringLiteral("Paused"));

        pFrame->PauseAction()->trigger();
        QVERIFY(!m_pApp->View()->Instrument().Paused());
        QTRY_COMPARE(gbStepKey.load(), uint8_t(KEY_REF));
        m_pApp->View()->SetKeyFromKeyboard(KEY_REF, false);
        QTest::qWait(300);
        const uint32_t unRun = gunStepMs.load() - unPausedAt;
        QVERIFY2(unRun >= 100 && unRun < 550, qPrintable(QStringLiteral("%1 ms after resuming").arg(unRun)));
    }

    void closeStopsFirmware()
    {
        m_pApp->Frame()->close();
        QVERIFY(!FirmwareThreadActive());
        QCOMPARE(FirmwareHost(), static_cast<HostBridge*>(&m_pApp->View()->Instrument()));
    }
};

QTEST_MAIN(CFirmwareHostTest)
#include "firmware_host_test.moc"
