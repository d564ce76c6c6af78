// The front-panel view: the panel picture, the display window fed from the
// instrument's display memory and the twelve keys. The view owns the
// instrument board, free-running, and only draws it and forwards input to
// it: the keys' states, the serial bytes of Send Message, the speed.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <QScrollArea>
#include <QWidget>

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

#include "display_memory.h"
#include "instrument.h"
#include "session_recorder.h"

class CSampleLid;

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

// The 240 x 128 display window: shows the instrument's display memory. It
// keeps the picture it shows, scaled to the window's device pixels, and a
// copy of the memory that picture was made from: taking a frame redraws
// only the rows that changed, and the window repaints only those, at most
// once a screen frame.
class CLcdWnd final : public QWidget {
    Q_OBJECT
public:
    static constexpr int WIDTH = CDisplayMemory::WIDTH;  // display pixels
    static constexpr int HEIGHT = CDisplayMemory::HEIGHT;
    static constexpr QRgb LIGHT = qRgb(102, 255, 255);  // a 0 bit
    static constexpr QRgb DARK = qRgb(0, 0, 0);         // a 1 bit
    static constexpr int FRAME_MS = 16;                 // shortest time between two repaints

    CLcdWnd(const CDisplayMemory& memory, QWidget* pParent);
    ~CLcdWnd() override;
    // The shown part of the memory as a one-bit image, as it stands now.
    QImage Frame() const;
    // UI thread: takes the memory into the window's picture and has the
    // changed part repainted, now or when a frame's time has passed since the
    // last repaint; bNow repaints at once. False when nothing had changed.
    bool TakeFrame(bool bNow = false);
    // Any thread: true when the picture shows the memory as it stands.
    bool ShowsMemory() const;
    uint64_t FrameCount() const { return m_ullFrames.load(std::memory_order_relaxed); }
    // Switched off (mains off): the glass shows unlit and takes no frames.
    static constexpr QRgb UNLIT = qRgb(96, 112, 108);
    void SetPowered(bool bPowered);
    bool Powered() const { return m_bPowered; }
    uint64_t PaintCount() const { return m_ullPaints.load(std::memory_order_relaxed); }

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void resizeEvent(QResizeEvent* pEvent) override;

private:
    using Shown = std::array<uint8_t, CDisplayMemory::SHOWN_BYTES>;
    void ReadMemory(Shown& abOut) const;
    // Redraws display rows nFirst..nLast of the scaled picture from m_abShown.
    void RenderRows(int nFirst, int nLast);
    void Rescale();
    void FlushDirty();

    const CDisplayMemory& m_memory;
    mutable std::mutex m_mtxShown;        // m_abShown: written on the UI thread, compared on the firmware thread
    Shown m_abShown{};                    // the memory the picture was made from
    QImage m_imgScaled;                   // the picture at device pixels
    int m_nPixel = 1;                     // device pixels a display pixel
    bool m_bPowered = true;
    QRect m_rDirty;                       // window part changed since the last repaint, display pixels
    class QTimer* m_pFrameTimer;          // repaints the changed part once a frame's time has passed
    class QElapsedTimer* m_pSinceRepaint;
    std::atomic<uint64_t> m_ullFrames{0};  // frames taken that changed the picture
    std::atomic<uint64_t> m_ullPaints{0};  // paints done
};

// The scrolling front-panel view over the instrument board.
class CHaldenView final : public QScrollArea, private CInstrument::DisplayListener {
    Q_OBJECT
public:
    explicit CHaldenView(QWidget* pParent = nullptr);
    ~CHaldenView() override;
    // False when the artwork could not be loaded: the view is unusable.
    bool Created() const { return m_bCreated; }
    // The view published for the bridge (the last one created), or null.
    static CHaldenView* Current();

    // The instrument the view shows: its EEPROM file, serial port, printer
    // cable and chart recorder are wired by the application.
    CInstrument& Instrument() { return m_instrument; }

    CKeyBase* Key(uint8_t bCode) const;
    // The journal of the instrument's input since power-up (File/Record Session...).
    CSessionRecorder& Recorder() { return m_recorder; }
    // What stands in the cell, and the lid on the panel that shows it.
    CSampleCompartment& Compartment() { return m_instrument.Compartment(); }
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
    // Draws the display's current content on a page, large and sharp, under
    // a caption; returns where the picture went.
    QRect DrawDisplayPage(class QPainter& painter, const QRect& rPage, const QString& sCaption) const;

    // Keyboard shortcuts: the panel key for a keyboard key, 0 for none.
    static uint8_t KeyForShortcut(int nQtKey);
    static QString ShortcutText(uint8_t bCode);
    // After Options/Keys...: each key's tooltip names its keyboard keys.
    void UpdateKeyTooltips();
    void SetKeyFromKeyboard(uint8_t bCode, bool bDown);
    void ReleaseKeyboardKeys();

    // Hands bytes to the firmware's serial receive path (Send Message).
    void InjectSerial(const QByteArray& abBytes);

    // Pace of firmware time: 1 real time (the default), N times real time,
    // 0 as fast as possible.
    void SetSpeed(double dSpeed) { m_instrument.SetSpeed(dSpeed); }
    double Speed() const { return m_instrument.Speed(); }
    // Firmware time run since the previous call, as a percentage of the wall
    // time that passed meanwhile; -1 on the first call.
    double SampleAchievedSpeed() { return m_instrument.SampleAchievedSpeed(); }

signals:
    void ZoomChanged(int nZoom);
    // Bytes the instrument transmitted, delivered on the UI thread.
    void SerialReceived(const QByteArray& abBytes);
    // Bytes the instrument received (Send Message, a PC client), likewise.
    void SerialInjected(const QByteArray& abBytes);

private:
    // Collects the serial line's bytes, both ways, for the UI thread.
    class CSerialTap final : public CInstrument::SerialTap {
    public:
        explicit CSerialTap(CHaldenView* pView) : m_pView(pView) {}
        void Transmitted(uint8_t b) override;
        void Received(std::string_view sBytes) override;

    private:
        CHaldenView* m_pView;
    };

    bool Paint() override;
    void PaintLcdNow();
    std::atomic<bool> m_bPaintPosted{false};  // a PaintLcdNow is queued on the UI thread
    void DrainSerial();
    void QueueSerial(bool bInjected, const char* pBytes, size_t nCount);
    void PlaceChildren();

    static constexpr int SERIAL_BACKLOG_MAX = 1 << 20;  // bytes held for the UI before new ones are dropped

    CSessionRecorder m_recorder;          // before the instrument, which reports to it
    CInstrument m_instrument;             // the instrument this view shows, free-running
    bool m_bCreated = false;
    QWidget* m_pCanvas = nullptr;         // carries the panel picture, the keys and the LCD
    QPixmap m_bmpPanel;                   // panel picture, bitmap 139
    double m_dScale = 1.0;                // scale of the panel and child positions: the zoom, 1..4
    CSampleLid* m_pLid = nullptr;
    CLcdWnd* m_pLcd = nullptr;
    std::array<CKeyBase*, 13> m_apKeys{};  // by key code 1..12
    std::array<bool, 13> m_abKeyboardHeld{};  // keys held down through a keyboard shortcut

    // Serial traffic on its way to the UI thread, in order, each run of
    // bytes marked received (true) or transmitted (false).
    CSerialTap m_serialTap{this};
    std::mutex m_mtxSerial;
    std::vector<std::pair<bool, QByteArray>> m_serialPending;
    qsizetype m_nSerialPendingBytes = 0;
    bool m_bSerialPosted = false;  // a drain is queued on the UI thread
};
