// The front-panel view: key clicks (momentary, latching, shaped keys with
// transparent corners), mouse capture, keyboard shortcuts, the display
// window's painting and the refresh handshake with the firmware thread.
#include <QApplication>
#include <QElapsedTimer>
#include <QPaintEvent>
#include <QMouseEvent>
#include <QTest>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <thread>

#include "core/serial.h"
#include "core/bridge.h"
#include "core/runtime.h"
#include "core/timers.h"
#include "panel_layout.h"
#include "qt_fixture.h"
#include "serial_monitor.h"

namespace {

// Waits, without running the UI thread's events, until pred holds (5 s at most).
template <typename Pred>
bool SpinUntil(Pred pred, std::chrono::milliseconds limit = std::chrono::seconds(5))
{
    const auto tEnd = std::chrono::steady_clock::now() + limit;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > tEnd)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Calls a function with every event an object receives.
class CEventSpy final : public QObject {
public:
    CEventSpy(QObject* pTarget, std::function<void(QEvent*)> fn) : m_pTarget(pTarget), m_fn(std::move(fn))
    {
        pTarget->installEventFilter(this);
    }
    ~CEventSpy() override { m_pTarget->removeEventFilter(this); }
    bool eventFilter(QObject*, QEvent* pEvent) override
    {
        m_fn(pEvent);
        return false;
    }

private:
    QObject* m_pTarget;
    std::function<void(QEvent*)> m_fn;
};

}  // namespace

class CPanelTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CScratchEnvironment> m_pEnv;
    std::unique_ptr<CHaldenApp> m_pApp;
    CHaldenView* m_pView = nullptr;

    CKeyBase* Key(uint8_t bCode) { return m_pView->Key(bCode); }

private slots:
    void initTestCase() { SetApplicationNames(); }

    void init()
    {
        m_pEnv = std::make_unique<CScratchEnvironment>();
        m_pApp = StartWindowOnly();
        QVERIFY(m_pApp);
        m_pView = m_pApp->View();
        QVERIFY(QTest::qWaitForWindowExposed(m_pApp->Frame()));
    }

    void cleanup()
    {
        m_pApp.reset();
        m_pEnv.reset();
    }

    // A click on an arrow key's magenta corner belongs to the key beneath
    // that point, or to no key at all.
    void shapedKeyCornerFallsThrough_data()
    {
        QTest::addColumn<int>("nClicked");
        QTest::addColumn<QPoint>("pt");
        QTest::addColumn<int>("nExpected");
        QTest::newRow("down, top-left corner over left") << int(KEY_DOWN) << QPoint(1, 1) << int(KEY_LEFT);
        QTest::newRow("down, top-right corner over right") << int(KEY_DOWN) << QPoint(64, 1) << int(KEY_RIGHT);
        QTest::newRow("down, bottom-left corner over nothing") << int(KEY_DOWN) << QPoint(1, 31) << 0;
        QTest::newRow("down, its own face") << int(KEY_DOWN) << QPoint(33, 22) << int(KEY_DOWN);
        QTest::newRow("up, bottom-left corner over left") << int(KEY_UP) << QPoint(0, 31) << int(KEY_LEFT);
        QTest::newRow("right, its own face") << int(KEY_RIGHT) << QPoint(30, 21) << int(KEY_RIGHT);
    }

    void shapedKeyCornerFallsThrough()
    {
        QFETCH(int, nClicked);
        QFETCH(QPoint, pt);
        QFETCH(int, nExpected);
        auto* pKey = qobject_cast<CShapedKey*>(Key(nClicked));
        QVERIFY(pKey);
        QCOMPARE(pKey->HitTest(pt), nExpected == nClicked);

        const QList<int> expected = nExpected ? QList<int>{nExpected} : QList<int>{};
        QTest::mousePress(pKey, Qt::LeftButton, {}, pt);
        QCOMPARE(DownKeys(), expected);
        QTest::mouseRelease(pKey, Qt::LeftButton, {}, pt);
        QCOMPARE(DownKeys(), QList<int>{});

        // A right click latches the same key, a second one releases it.
        QTest::mouseClick(pKey, Qt::RightButton, {}, pt);
        QCOMPARE(DownKeys(), expected);
        QTest::mouseClick(pKey, Qt::RightButton, {}, pt);
        QCOMPARE(DownKeys(), QList<int>{});
    }

    // Sequences of clicks on one key and the state the firmware reads after
    // each: R right click, L left click, P left press, U left release.
    void rightClickLatches_data()
    {
        QTest::addColumn<int>("nKey");
        QTest::addColumn<QString>("sClicks");
        QTest::addColumn<QString>("sStates");
        for (const panel::KeyLayout& key : panel::KEYS) {
            if (key.bCode != KEY_TEST && key.bCode != KEY_SOFT2 && key.bCode != KEY_UP)
                continue;
            const int nKey = key.bCode;
            const QByteArray abName(key.pszName);
            QTest::newRow(("latch and unlatch " + abName).constData()) << nKey << "RR" << "10";
            QTest::newRow(("left click releases " + abName).constData()) << nKey << "RL" << "10";
            QTest::newRow(("left press holds " + abName).constData()) << nKey << "RPU" << "110";
            QTest::newRow(("momentary " + abName).constData()) << nKey << "PU" << "10";
        }
    }

    void rightClickLatches()
    {
        QFETCH(int, nKey);
        QFETCH(QString, sClicks);
        QFETCH(QString, sStates);
        CKeyBase* pKey = Key(nKey);
        const QPoint pt = pKey->rect().center();
        for (int i = 0; i < sClicks.size(); i++) {
            switch (sClicks[i].toLatin1()) {
            case 'R': QTest::mouseClick(pKey, Qt::RightButton, {}, pt); break;
            case 'L': QTest::mouseClick(pKey, Qt::LeftButton, {}, pt); break;
            case 'P': QTest::mousePress(pKey, Qt::LeftButton, {}, pt); break;
            case 'U': QTest::mouseRelease(pKey, Qt::LeftButton, {}, pt); break;
            }
            QCOMPARE(HostKeyIsDown(static_cast<uint8_t>(nKey)), sStates[i] == QLatin1Char('1') ? 1 : 0);
        }
    }

    // The pressed key holds the mouse: moving off it changes nothing, and
    // the release reaches it even when the pointer is over another key.
    void pressedKeyKeepsStateOffTheKey()
    {
        CKeyBase* pTest = Key(KEY_TEST);
        CKeyBase* pEscape = Key(KEY_ESCAPE);
        QTest::mousePress(pTest, Qt::LeftButton, {}, pTest->rect().center());
        // the pointer leaves the key with the button held
        QMouseEvent move(QEvent::MouseMove, QPointF(-80, 90), pTest->mapToGlobal(QPointF(-80, 90)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(pTest, &move);
        QCOMPARE(DownKeys(), QList<int>{KEY_TEST});
        // the release arrives while the pointer is over the escape key
        const QPointF ptEscape = pEscape->rect().center();
        QMouseEvent release(QEvent::MouseButtonRelease, ptEscape, pEscape->mapToGlobal(ptEscape), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(pEscape, &release);
        QCOMPARE(DownKeys(), QList<int>{});
        QCOMPARE(CKeyBase::CaptureHolder(), nullptr);
    }

    void keyboardShortcutsHoldKeys_data()
    {
        QTest::addColumn<int>("nQtKey");
        QTest::addColumn<int>("nCode");
        QTest::newRow("R") << int(Qt::Key_R) << int(KEY_REF);
        QTest::newRow("T") << int(Qt::Key_T) << int(KEY_TEST);
        QTest::newRow("Return") << int(Qt::Key_Return) << int(KEY_TEST);
        QTest::newRow("Esc") << int(Qt::Key_Escape) << int(KEY_ESCAPE);
        QTest::newRow("Left") << int(Qt::Key_Left) << int(KEY_LEFT);
        QTest::newRow("Down") << int(Qt::Key_Down) << int(KEY_DOWN);
        QTest::newRow("3") << int(Qt::Key_3) << int(KEY_SOFT3);
        QTest::newRow("S") << int(Qt::Key_S) << int(KEY_STANDBY);
    }

    void keyboardShortcutsHoldKeys()
    {
        QFETCH(int, nQtKey);
        QFETCH(int, nCode);
        QWidget* pTarget = m_pView->Canvas();
        QTest::keyPress(pTarget, Qt::Key(nQtKey));
        QCOMPARE(DownKeys(), QList<int>{nCode});
        QTest::keyRelease(pTarget, Qt::Key(nQtKey));
        QCOMPARE(DownKeys(), QList<int>{});
        // With a modifier the key is not a panel shortcut.
        QTest::keyPress(pTarget, Qt::Key(nQtKey), Qt::ControlModifier);
        QCOMPARE(DownKeys(), QList<int>{});
        QTest::keyRelease(pTarget, Qt::Key(nQtKey), Qt::ControlModifier);
        QVERIFY(Key(nCode)->toolTip().contains(CHaldenView::ShortcutText(nCode)));
    }

    // Display memory bytes appear at their pixels, 1 bits black and 0 bits
    // light cyan, the most significant bit leftmost, once the firmware
    // thread's refresh has returned.
    void lcdPaintsFirmwareBytes()
    {
        struct Dot {
            uint16_t unAddress;
            uint8_t bValue;
        };
        const Dot dots[] = {{640, 0x80}, {640 + 29, 0x01}, {640 + 30 * 127, 0x40}, {4479, 0x01}, {640 + 30 * 64 + 15, 0xA5}};
        for (const Dot& dot : dots)
            LcdWriteByte(dot.unAddress, dot.bValue);
        LcdWriteByte(4480, 0xFF);  // beyond the shown rows

        CLcdWnd* pLcd = m_pView->Lcd();
        std::atomic<bool> bDone{false};
        uint64_t ullFramesBefore = pLcd->FrameCount(), ullFramesAfter = 0;
        std::thread firmware([&] {
            LcdRefresh();
            ullFramesAfter = pLcd->FrameCount();
            bDone = true;
        });
        QTRY_VERIFY(bDone.load());
        firmware.join();
        QVERIFY(ullFramesAfter > ullFramesBefore);

        const QImage image = pLcd->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(image.size(), QSize(240, 128));
        auto dark = [&](int x, int y) {
            const QRgb c = image.pixel(x, y);
            if (c == CLcdWnd::DARK)
                return true;
            if (c == CLcdWnd::LIGHT)
                return false;
            qWarning("pixel (%d, %d) is neither colour: %08x", x, y, c);
            return false;
        };
        int nDark = 0;
        for (int y = 0; y < 128; y++)
            for (int x = 0; x < 240; x++)
                nDark += dark(x, y) ? 1 : 0;
        QCOMPARE(nDark, 1 + 1 + 1 + 1 + 4);
        QVERIFY(dark(0, 0) && !dark(1, 0));
        QVERIFY(dark(239, 0) && !dark(238, 0));
        QVERIFY(dark(1, 127) && !dark(0, 127));
        QVERIFY(dark(239, 127));
        // 0xA5 at byte 15 of row 64: pixels 120, 122, 125, 127.
        for (int i = 0; i < 8; i++)
            QCOMPARE(dark(120 + i, 64), ((0xA5 >> (7 - i)) & 1) != 0);
        QCOMPARE(LcdReadByte(640 + 30 * 64 + 15), uint8_t(0xA5));
    }

    // The firmware thread waits in LcdRefresh for a paint that the UI thread,
    // busy closing, never does: the stop request must end the wait. After it
    // LcdRefresh returns at once without painting.
    void stopRequestEndsRefreshWait()
    {
        CLcdWnd* pLcd = m_pView->Lcd();
        const uint64_t ullFrames = pLcd->FrameCount();
        LcdWriteByte(700, 0x3C);  // something to paint
        auto refresh = std::async(std::launch::async, [] { LcdRefresh(); });
        QVERIFY(SpinUntil([&] { return m_pView->Instrument().RefreshWaiting(); }));
        m_pView->Instrument().StopRequested();
        QVERIFY(refresh.wait_for(std::chrono::seconds(5)) == std::future_status::ready);

        auto again = std::async(std::launch::async, [] { LcdRefresh(); });
        QVERIFY(again.wait_for(std::chrono::seconds(5)) == std::future_status::ready);
        QCOMPARE(pLcd->FrameCount(), ullFrames);
    }

    // Send Message takes the firmware lock; the firmware may hold it while
    // it waits for a paint. Injecting must not deadlock.
    void injectWhileFirmwareWaitsForPaint()
    {
        RingInit(&gRxRing, gRxRing.pbBuffer, RX_RING_SIZE);
        LcdWriteByte(700, 0x3C);  // something to paint
        auto firmware = std::async(std::launch::async, [] {
            uint16_t unSaved = FirmwareLock();
            LcdRefresh();
            FirmwareUnlock(unSaved);
        });
        QVERIFY(SpinUntil([&] { return m_pView->Instrument().RefreshWaiting(); }));
        m_pView->InjectSerial(QByteArrayLiteral("Q"));
        QVERIFY(firmware.wait_for(std::chrono::seconds(5)) == std::future_status::ready);
        QCOMPARE(gRxRing.unCount, uint16_t(1));
        QCOMPARE(RingTake(&gRxRing), uint8_t('Q'));
    }

    // A refresh from the firmware thread that changes nothing on the screen
    // neither waits nor paints (a reading's busy indicator refreshes on
    // every round of its wait); one that changes a row repaints that row
    // only.
    void refreshRepaintsOnlyWhatChanged()
    {
        CLcdWnd* pLcd = m_pView->Lcd();
        QList<QRect> painted;
        CEventSpy spy(pLcd, [&](QEvent* pEvent) {
            if (pEvent->type() == QEvent::Paint)
                painted << static_cast<QPaintEvent*>(pEvent)->rect();
        });
        auto refreshOnFirmwareThread = [] {
            auto refresh = std::async(std::launch::async, [] { LcdRefresh(); });
            while (refresh.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready)
                QCoreApplication::processEvents();
        };
        LcdWriteByte(640 + 30 * 10 + 3, 0xFF);
        refreshOnFirmwareThread();
        QTRY_VERIFY(!painted.isEmpty());
        QTest::qWait(3 * CLcdWnd::FRAME_MS);
        const uint64_t ullFrames = pLcd->FrameCount();
        painted.clear();

        // Unchanged: returns without a frame or a wait, with the UI thread
        // not running its events.
        for (int i = 0; i < 5; i++) {
            std::atomic<bool> bDone{false};
            std::thread firmware([&] {
                LcdRefresh();
                bDone = true;
            });
            const bool bAlone = SpinUntil([&] { return bDone.load(); }, std::chrono::seconds(2));
            while (!bDone.load())
                QCoreApplication::processEvents();  // lets a waiting refresh end
            firmware.join();
            QVERIFY(bAlone);
        }
        QCOMPARE(pLcd->FrameCount(), ullFrames);
        QVERIFY(!m_pView->Instrument().RefreshWaiting());

        // Row 64 changes: only its band is repainted.
        LcdWriteByte(640 + 30 * 64 + 29, 0x01);
        refreshOnFirmwareThread();
        QCOMPARE(pLcd->FrameCount(), ullFrames + 1);
        QTRY_VERIFY(!painted.isEmpty());
        QTest::qWait(3 * CLcdWnd::FRAME_MS);
        QRect rAll;
        for (const QRect& r : painted)
            rAll |= r;
        QCOMPARE(rAll, QRect(0, 64, 240, 1));
        QCOMPARE(pLcd->grab().toImage().pixel(239, 64), CLcdWnd::DARK);
    }

    // A burst of refreshes, each changing the screen, repaints the window
    // no more than once a frame's time: the firmware is not held up, and
    // the last frame is the one shown.
    void refreshBurstRepaintsOncePerFrame()
    {
        CLcdWnd* pLcd = m_pView->Lcd();
        const uint64_t ullPaints = pLcd->PaintCount();
        const uint64_t ullFrames = pLcd->FrameCount();
        QElapsedTimer timer;
        timer.start();
        auto burst = std::async(std::launch::async, [] {
            for (int i = 0; i < 200; i++) {
                LcdWriteByte(static_cast<uint16_t>(640 + 30 * (i % 128)), static_cast<uint8_t>(i + 1));
                LcdRefresh();
            }
        });
        while (burst.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        QTest::qWait(3 * CLcdWnd::FRAME_MS);
        const qint64 llMs = timer.elapsed();
        QVERIFY(pLcd->FrameCount() > ullFrames);
        const uint64_t ullPaints200 = pLcd->PaintCount() - ullPaints;
        QVERIFY2(ullPaints200 <= static_cast<uint64_t>(llMs / CLcdWnd::FRAME_MS + 2),
                 qPrintable(QStringLiteral("%1 paints in %2 ms").arg(ullPaints200).arg(llMs)));
        // The window shows the memory as the burst left it: row 71 holds the
        // last byte written, 200.
        QVERIFY(pLcd->ShowsMemory());
        QCOMPARE(pLcd->grab().toImage().convertToFormat(QImage::Format_RGB32),
                 pLcd->Frame().convertToFormat(QImage::Format_RGB32));
        QCOMPARE(LcdReadByte(640 + 30 * 71), uint8_t(200));
    }

    // The free-running instrument adds the ticks the wall clock says are due,
    // one per 50 ms at real time; the firmware consumes them. The desktop's
    // input is tick-aligned, so a yield adds one of them at most, as a
    // stepped run does.
    void yieldFeedsPendingTicks()
    {
        HostBridge* pHost = FirmwareHost();
        QCOMPARE(pHost, static_cast<HostBridge*>(&m_pView->Instrument()));
        const int32_t nStart = pHost->PendingTicks();
        QTest::qWait(200);
        // No firmware thread is started here: this thread yields in its
        // place, and nothing else moves the count meanwhile.
        pHost->Yield();
        QCOMPARE(pHost->PendingTicks(), nStart + 1);
        pHost->Yield();
        pHost->Yield();
        QCOMPARE(pHost->PendingTicks(), nStart + 3);
        const int32_t nBefore = pHost->PendingTicks();
        pHost->ConsumePendingTick();
        QCOMPARE(pHost->PendingTicks(), nBefore - 1);
    }

    // Bytes written by the firmware thread reach the serial monitor.
    void serialOutputReachesMonitor()
    {
        SerialSink* pSink = m_pView->Instrument().SerialOutput();
        QVERIFY(pSink);
        std::thread firmware([pSink] {
            for (char c : std::string("ID?\r\nE00\x14"))
                pSink->Write(static_cast<uint8_t>(c));
        });
        firmware.join();
        CSerialMonitor* pMonitor = m_pApp->Frame()->SerialMonitor();
        QTRY_COMPARE(pMonitor->Text(), QStringLiteral("ID?<CR><LF>\nE00<^T>"));
        QCOMPARE(pMonitor->Bytes(), QByteArrayLiteral("ID?\r\nE00\x14"));
    }

    // Once the view is gone no key reads as down and the firmware sees the
    // null host again.
    void noKeysWithoutView()
    {
        QTest::mouseClick(Key(KEY_REF), Qt::RightButton, {}, QPoint(5, 5));
        QCOMPARE(HostKeyIsDown(KEY_REF), 1);
        m_pApp.reset();
        QCOMPARE(HostKeyIsDown(KEY_REF), 0);
        QVERIFY(FirmwareHost() != nullptr);
    }
};

QTEST_MAIN(CPanelTest)
#include "panel_test.moc"
