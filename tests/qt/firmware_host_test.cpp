// The desktop host with the real firmware thread: the serial port's sink,
// the keys the firmware polls, the 50 ms ticks, Send Message, the display
// refresh, and a close that stops the thread. The firmware runs once per
// process, so every case here shares one power-up; the per-pass step is a
// small stand-in for the state machine that records keys and echoes what
// arrives on the serial port.
#include <QTest>

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
        QTRY_VERIFY_WITH_TIMEOUT(gunStepMs.load() >= unStart + 200, 10000);
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
        QCOMPARE(pLcd->Read(LCD_GRAPHIC_BASE), uint8_t('\n'));
    }

    void closeStopsFirmware()
    {
        m_pApp->Frame()->close();
        QVERIFY(!FirmwareThreadActive());
        QCOMPARE(FirmwareHost(), static_cast<HostBridge*>(m_pApp->View()));
    }
};

QTEST_MAIN(CFirmwareHostTest)
#include "firmware_host_test.moc"
