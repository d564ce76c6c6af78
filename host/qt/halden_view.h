// The front-panel view: the panel picture, the display window fed from the
// firmware's display memory, the twelve keys the firmware polls, and the
// 50 ms timer that paces firmware time. The view is the firmware's host
// bridge on the desktop: every operation the firmware thread calls on the
// host, apart from the injected serial bytes, lands here.
#pragma once

#include <QBasicTimer>
#include <QByteArray>
#include <QElapsedTimer>
#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <QScrollArea>
#include <QWidget>

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

#include "core/bridge.h"
#include "sample_compartment.h"

class CEepromBus;
class CSampleLid;
class CSerialEndpoint;
class QPrinter;

// A bitmap with one colour treated as transparent, both when drawn and when
// hit-tested. The mask and the stretched copy are made when the image is set
// (the mask is needed for hit testing before the first paint as well).
class CMaskedBitmap {
public:
    // bTransparent false: the whole image is opaque.
    void SetImage(const QImage& image, bool bTransparent, QRgb crTransparent);
    bool IsNull() const { return m_image.isNull(); }
    int Width() const { return m_nWidth; }
    int Height() const { return m_nHeight; }
    // Draws the image stretched to rTarget, transparent pixels left undrawn.
    void Draw(class QPainter& painter, const QRect& rTarget);
    // True when the point (target coordinates, image stretched to sizeTarget)
    // lies on an opaque pixel; points outside the image count as opaque.
    bool HitTest(const QPoint& pt, const QSize& sizeTarget);

private:
    void Prepare(const QSize& size);

    QImage m_image;              // the bitmap
    int m_nWidth = 0;            // its cached size
    int m_nHeight = 0;
    bool m_bTransparent = false; // a transparent colour is set
    QRgb m_crTransparent = 0;    // that colour
    QSize m_sizeStretched;       // size of the prepared copy
    QImage m_mask;               // 1 where the prepared copy has the transparent colour
    QPixmap m_pixmap;            // the prepared copy with transparent pixels cleared
};

// Base of the panel keys: the mouse-capture emulation and the forwarding
// entry point shared by plain and shaped keys.
class CKeyBase : public QWidget {
    Q_OBJECT
public:
    enum class Mouse { LeftDown, LeftUp, RightDown, RightUp };

    CKeyBase(uint8_t bCode, QWidget* pParent);
    uint8_t Code() const { return m_bCode; }
    // The key state as the firmware reads it; safe from any thread.
    virtual bool IsDown() const = 0;
    // Keyboard shortcut: down while the shortcut key is held.
    virtual void SetDown(bool bDown) = 0;
    // One mouse message at a point in this key's coordinates.
    virtual void HandleMouse(Mouse msg, const QPoint& pt) = 0;

    // The key that holds the mouse capture: it receives every mouse message
    // until it releases the capture, wherever the pointer is.
    static CKeyBase* CaptureHolder();

signals:
    void StateChanged();

protected:
    void SetCapture();
    void ReleaseCapture();
    bool HasCapture() const;

    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseDoubleClickEvent(QMouseEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;

private:
    void Dispatch(Mouse msg, QMouseEvent* pEvent);

    uint8_t m_bCode;
    static QPointer<CKeyBase> s_pCapture;
};

// A rectangular key: momentary on the left button, latching on the right.
class CPanelKey final : public CKeyBase {
    Q_OBJECT
public:
    CPanelKey(uint8_t bCode, const QImage& imgUp, const QImage& imgDown, QWidget* pParent);
    bool IsDown() const override { return m_nState.load(std::memory_order_relaxed) != 0; }
    void SetDown(bool bDown) override;
    void HandleMouse(Mouse msg, const QPoint& pt) override;

protected:
    void paintEvent(QPaintEvent* pEvent) override;

private:
    void SetState(int nState);

    QImage m_imgUp;                // drawn while released
    QImage m_imgDown;              // drawn while pressed
    std::atomic<int> m_nState{0};  // 0 released, 1 pressed; read by the firmware thread
};

// An arrow key: its magenta corners are transparent in drawing and in hit
// testing; a click on them goes to the key beneath.
class CShapedKey final : public CKeyBase {
    Q_OBJECT
public:
    CShapedKey(uint8_t bCode, const QImage& imgUp, const QImage& imgDown, QRgb crTransparent, QWidget* pParent);
    bool IsDown() const override { return m_bPressed.load(std::memory_order_relaxed) != 0; }
    void SetDown(bool bDown) override;
    void HandleMouse(Mouse msg, const QPoint& pt) override;
    bool HitTest(const QPoint& pt);

protected:
    void paintEvent(QPaintEvent* pEvent) override;

private:
    void SetPressed(int bPressed);
    void Forward(Mouse msg, const QPoint& pt);

    CMaskedBitmap m_bmpUp;           // released image
    CMaskedBitmap m_bmpDown;         // pressed image
    std::atomic<int> m_bPressed{0};  // 0 released, 1 pressed; read by the firmware thread
};

// The 240 x 128 display window: a mirror of display memory from address 640.
class CLcdWnd final : public QWidget {
    Q_OBJECT
public:
    static constexpr int WIDTH = 240;   // display pixels
    static constexpr int HEIGHT = 128;
    static constexpr uint16_t BASE = 640;
    static constexpr int MIRROR_BYTES = 5120;
    static constexpr int SHOWN_BYTES = 3840;
    static constexpr QRgb LIGHT = qRgb(102, 255, 255);  // a 0 bit
    static constexpr QRgb DARK = qRgb(0, 0, 0);         // a 1 bit

    explicit CLcdWnd(QWidget* pParent);
    void Write(uint16_t unAddress, uint8_t bValue);
    uint8_t Read(uint16_t unAddress) const;
    // The shown part of the mirror as a one-bit image, as it is painted.
    QImage Frame() const;
    uint64_t PaintCount() const { return m_ullPaints.load(std::memory_order_relaxed); }

protected:
    void paintEvent(QPaintEvent* pEvent) override;

private:
    std::array<std::atomic<uint8_t>, MIRROR_BYTES> m_abData{};  // written by the firmware, read by the paint
    std::atomic<uint64_t> m_ullPaints{0};                       // paints done, for the refresh handshake's tests
};

// The scrolling front-panel view and the firmware's host bridge.
class CHaldenView final : public QScrollArea, public HostBridge {
    Q_OBJECT
public:
    explicit CHaldenView(QWidget* pParent = nullptr);
    ~CHaldenView() override;
    // False when the artwork could not be loaded: the view is unusable.
    bool Created() const { return m_bCreated; }
    // The view published for the bridge (the last one created), or null.
    static CHaldenView* Current();

    // Set before the firmware starts; null lets the bus lines float high.
    void SetBus(CEepromBus* pBus) { m_pBus = pBus; }
    // The pseudo-terminal or TCP end of the serial port (not owned; set
    // before the firmware starts, opened and closed by the application).
    void SetSerialEndpoint(CSerialEndpoint* pEndpoint) { m_pSerialEndpoint = pEndpoint; }
    // The printer's cable (every transmitted byte, on the firmware thread) and
    // the analogue output's trace; not owned, set before the firmware starts.
    void SetPrinterSink(SerialSink* pSink) { m_pPrinterSink = pSink; }
    void SetAnalogueTrace(SerialSink* pTrace) { m_pAnalogueTrace = pTrace; }

    CKeyBase* Key(uint8_t bCode) const;
    // What stands in the cell, and the lid on the panel that shows it.
    CSampleCompartment& Compartment() { return m_compartment; }
    CSampleLid* Lid() const { return m_pLid; }
    CLcdWnd* Lcd() const { return m_pLcd; }
    QWidget* Canvas() const { return m_pCanvas; }
    double Scale() const { return m_dScale; }

    // Display zoom: the panel picture, the keys and the display scaled
    // together by 1 to 4 whole pixels per pixel.
    static constexpr int ZOOM_MIN = 1;
    static constexpr int ZOOM_MAX = 4;
    int Zoom() const { return static_cast<int>(m_dScale + 0.5); }
    void SetZoom(int nZoom);
    // The display's current content as the view shows it at this zoom.
    QImage DisplayImage() const;
    // Draws the panel with the display's current content onto a printer.
    void PrintPanel(QPrinter* pPrinter);

    // Keyboard shortcuts: the panel key for a keyboard key, 0 for none.
    static uint8_t KeyForShortcut(int nQtKey);
    static QString ShortcutText(uint8_t bCode);
    void SetKeyFromKeyboard(uint8_t bCode, bool bDown);
    void ReleaseKeyboardKeys();

    // Hands bytes to the firmware's serial receive path (Send Message).
    void InjectSerial(const QByteArray& abBytes);
    // Shows bytes that entered the receive path in the monitor; any thread.
    void NoteInjected(const char* pBytes, size_t nCount);

    // Wakes a firmware thread that waits in its yield.
    void Wake();

    // Pace of firmware time: 1 real time (the default), N times real time,
    // 0 as fast as possible. The host ticks come at the chosen rate, so every
    // firmware timing scales together.
    void SetSpeed(double dSpeed);
    double Speed() const { return m_dSpeed; }
    // Firmware time run since the previous call, as a percentage of the wall
    // time that passed meanwhile; -1 on the first call.
    double SampleAchievedSpeed();
    // True while the firmware thread waits in LcdRefresh for the paint.
    bool RefreshWaiting() const { return m_bRefreshWaiting.load(); }

    // HostBridge.
    int KeyIsDown(uint8_t bKey) override;
    void LcdWrite(uint16_t unAddress, uint8_t bValue) override;
    uint8_t LcdRead(uint16_t unAddress) override;
    void LcdRefresh() override;
    int32_t PendingTicks() override { return m_nPendingTicks.load(); }
    void ConsumePendingTick() override;
    void Yield() override;
    void StopRequested() override;
    void I2cSetScl(int nLevel) override;
    void I2cSetSda(int nLevel) override;
    int I2cGetScl() override;
    int I2cGetSda() override;
    bool SupplyFrames(uint8_t bKind, FrameRecord* pFrames) override { return m_compartment.SupplyFrames(bKind, pFrames); }
    SerialSink* SerialOutput() override { return &m_serialTap; }
    SerialSink* AnalogueTrace() override { return m_pAnalogueTrace; }

signals:
    void ZoomChanged(int nZoom);
    // Bytes the instrument transmitted, delivered on the UI thread.
    void SerialReceived(const QByteArray& abBytes);
    // Bytes the instrument received (Send Message, a PC client), likewise.
    void SerialInjected(const QByteArray& abBytes);

protected:
    void timerEvent(QTimerEvent* pEvent) override;

private:
    // Collects transmitted bytes on the firmware thread for the UI thread.
    class CSerialTap final : public SerialSink {
    public:
        explicit CSerialTap(CHaldenView* pView) : m_pView(pView) {}
        void Write(uint8_t b) override;

    private:
        CHaldenView* m_pView;
    };

    void PaintLcdNow();
    void DrainSerial();
    void QueueSerial(bool bInjected, const char* pBytes, size_t nCount);
    void DeliverDueTicks();
    void PlaceChildren();

    static constexpr int TICK_PERIOD_MS = 50;  // the view timer (the instrument's IDT_TICK)
    static constexpr int MIN_TIMER_MS = 5;     // shortest timer period at high speeds
    static constexpr int SERIAL_BACKLOG_MAX = 1 << 20;  // bytes held for the UI before new ones are dropped

    bool m_bCreated = false;
    QWidget* m_pCanvas = nullptr;         // carries the panel picture, the keys and the LCD
    QPixmap m_bmpPanel;                   // panel picture, bitmap 139
    double m_dScale = 1.0;                // scale of the panel and child positions: the zoom, 1..4
    std::atomic<int32_t> m_nPendingTicks{0};  // host ticks not yet consumed by the firmware
    QBasicTimer m_tickTimer;              // every 50 ms at real time; Qt chooses its id
    double m_dSpeed = 1.0;                // the chosen pace (UI thread)
    QElapsedTimer m_clockPace;            // wall time since the pace was chosen
    uint64_t m_ullTicksDelivered = 0;     // host ticks added since then
    std::atomic<bool> m_bFlatOut{false};  // as fast as possible: the firmware adds its own ticks
    std::atomic<uint64_t> m_ullTicksRun{0};  // host ticks the firmware has consumed
    CSampleCompartment m_compartment{
        [this] { return m_ullTicksRun.load(std::memory_order_relaxed) * static_cast<uint64_t>(TICK_PERIOD_MS); }};
    CSampleLid* m_pLid = nullptr;
    QElapsedTimer m_clockSample;          // wall time since the last speed sample
    uint64_t m_ullTicksSampled = 0;       // m_ullTicksRun at that sample
    CLcdWnd* m_pLcd = nullptr;
    std::array<CKeyBase*, 13> m_apKeys{};  // by key code 1..12
    std::array<bool, 13> m_abKeyboardHeld{};  // keys held down through a keyboard shortcut
    CEepromBus* m_pBus = nullptr;
    CSerialEndpoint* m_pSerialEndpoint = nullptr;
    SerialSink* m_pPrinterSink = nullptr;    // the printer's cable, or null
    SerialSink* m_pAnalogueTrace = nullptr;  // the chart recorder, or null

    // Refresh handshake and yield wake-up, shared with the firmware thread.
    std::mutex m_mtxSync;
    std::condition_variable m_cvSync;
    uint64_t m_ullRefreshRequested = 0;  // LcdRefresh calls that posted a paint
    uint64_t m_ullRefreshDone = 0;       // requests the UI thread has painted
    bool m_bStopping = false;            // the firmware has been asked to stop
    int m_nUiWantsLock = 0;              // the UI thread is taking the firmware lock
    uint64_t m_ullWakes = 0;             // wake-ups: ticks, keys, injected bytes
    uint64_t m_ullWakesSeen = 0;         // wake-ups the firmware's yield has taken note of
    std::atomic<bool> m_bActivity{false};      // the firmware drew or sent since its last yield
    std::atomic<bool> m_bRefreshWaiting{false};

    // Serial traffic on its way to the UI thread, in order, each run of
    // bytes marked received (true) or transmitted (false).
    CSerialTap m_serialTap{this};
    std::mutex m_mtxSerial;
    std::vector<std::pair<bool, QByteArray>> m_serialPending;
    qsizetype m_nSerialPendingBytes = 0;
    bool m_bSerialPosted = false;  // a drain is queued on the UI thread
};
