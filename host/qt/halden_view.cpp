// The front-panel view, its keys and display window, and the host bridge
// operations that the firmware thread calls.
#include "halden_view.h"

#include <QMouseEvent>
#include <QPrinter>
#include <QPainter>
#include <QThread>

#include <algorithm>
#include <chrono>

#include "core/serial.h"
#include "core/runtime.h"
#include "eeprom_bus.h"
#include "panel_layout.h"
#include "sample_dialog.h"
#include "serial_endpoint.h"

namespace {

CHaldenView* gpView = nullptr;  // the view published for the bridge

// A firmware yield with nothing to do waits this long at most, so the
// firmware thread does not spin a core; ticks, keys, serial input and the
// stop request end the wait early.
constexpr auto IDLE_WAIT = std::chrono::milliseconds(4);

QImage LoadBitmap(int nId)
{
    QImage image(QStringLiteral(":/bitmap/%1").arg(nId));
    return image.convertToFormat(QImage::Format_RGB32);
}

// The widget that the view scrolls: draws the panel picture and carries the
// keys and the display window. The picture is scaled by whole pixels
// without smoothing, so every zoom stays sharp.
class CPanelCanvas final : public QWidget {
public:
    CPanelCanvas(const QPixmap& bmpPanel, double dScale) : m_bmpPanel(bmpPanel) { SetScale(dScale); }
    void SetScale(double dScale)
    {
        m_sizePanel = QSize(qRound(m_bmpPanel.width() * dScale), qRound(m_bmpPanel.height() * dScale));
        setFixedSize(m_sizePanel + QSize(2 * panel::ORIGIN, 2 * panel::ORIGIN));
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter.drawPixmap(QRect(QPoint(panel::ORIGIN, panel::ORIGIN), m_sizePanel), m_bmpPanel);
    }

private:
    QPixmap m_bmpPanel;
    QSize m_sizePanel;
};

}  // namespace

// The artwork resource lives in this static library; registering it here
// keeps the linker from dropping it.
static void RegisterArtwork()
{
    Q_INIT_RESOURCE(halden);
}

// CMaskedBitmap

void CMaskedBitmap::SetImage(const QImage& image, bool bTransparent, QRgb crTransparent)
{
    m_image = image.convertToFormat(QImage::Format_RGB32);
    m_nWidth = m_image.width();
    m_nHeight = m_image.height();
    m_bTransparent = bTransparent;
    m_crTransparent = crTransparent;
    m_sizeStretched = QSize();
    m_mask = QImage();
    m_pixmap = QPixmap();
    Prepare(m_image.size());
}

// Makes the copy at the given size, its mask, and the drawable pixmap.
void CMaskedBitmap::Prepare(const QSize& size)
{
    if (size == m_sizeStretched || m_image.isNull())
        return;
    QImage stretched = size == m_image.size() ? m_image : m_image.scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    const QRgb crKey = m_bTransparent ? m_crTransparent : stretched.pixel(0, 0);
    m_mask = QImage(size, QImage::Format_Mono);
    m_mask.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    QImage drawable = stretched.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < size.height(); y++) {
        const QRgb* pRow = reinterpret_cast<const QRgb*>(stretched.constScanLine(y));
        QRgb* pOut = reinterpret_cast<QRgb*>(drawable.scanLine(y));
        for (int x = 0; x < size.width(); x++) {
            const bool bClear = (pRow[x] & 0xFFFFFF) == (crKey & 0xFFFFFF);
            m_mask.setPixel(x, y, bClear ? 1 : 0);
            if (bClear && m_bTransparent)
                pOut[x] = 0;
        }
    }
    m_pixmap = QPixmap::fromImage(drawable);
    m_sizeStretched = size;
}

void CMaskedBitmap::Draw(QPainter& painter, const QRect& rTarget)
{
    Prepare(rTarget.size());
    painter.drawPixmap(rTarget.topLeft(), m_pixmap);
}

bool CMaskedBitmap::HitTest(const QPoint& pt, const QSize& sizeTarget)
{
    if (!m_bTransparent)
        return true;
    Prepare(sizeTarget);
    if (!m_mask.rect().contains(pt))
        return true;
    return m_mask.pixelIndex(pt) == 0;
}

// CKeyBase

QPointer<CKeyBase> CKeyBase::s_pCapture;

CKeyBase::CKeyBase(uint8_t bCode, QWidget* pParent) : QWidget(pParent), m_bCode(bCode) {}

CKeyBase* CKeyBase::CaptureHolder() { return s_pCapture.data(); }
void CKeyBase::SetCapture() { s_pCapture = this; }
bool CKeyBase::HasCapture() const { return s_pCapture.data() == this; }

void CKeyBase::ReleaseCapture()
{
    if (HasCapture())
        s_pCapture = nullptr;
}

// Mouse messages go to the key holding the capture when there is one, so a
// key keeps its state while the pressed pointer wanders off it, and a press
// forwarded to the key beneath ends there too.
void CKeyBase::Dispatch(Mouse msg, QMouseEvent* pEvent)
{
    const QPoint pt = pEvent->position().toPoint();
    CKeyBase* pHolder = CaptureHolder();
    if (pHolder && pHolder != this && pHolder->parentWidget() == parentWidget()) {
        pHolder->HandleMouse(msg, pHolder->mapFromParent(mapToParent(pt)));
    } else {
        HandleMouse(msg, pt);
    }
    pEvent->accept();
}

void CKeyBase::mousePressEvent(QMouseEvent* pEvent)
{
    if (pEvent->button() == Qt::LeftButton)
        Dispatch(Mouse::LeftDown, pEvent);
    else if (pEvent->button() == Qt::RightButton)
        Dispatch(Mouse::RightDown, pEvent);
}

void CKeyBase::mouseDoubleClickEvent(QMouseEvent* pEvent) { mousePressEvent(pEvent); }

void CKeyBase::mouseReleaseEvent(QMouseEvent* pEvent)
{
    if (pEvent->button() == Qt::LeftButton)
        Dispatch(Mouse::LeftUp, pEvent);
    else if (pEvent->button() == Qt::RightButton)
        Dispatch(Mouse::RightUp, pEvent);
}

// CPanelKey

CPanelKey::CPanelKey(uint8_t bCode, const QImage& imgUp, const QImage& imgDown, QWidget* pParent)
    : CKeyBase(bCode, pParent), m_imgUp(imgUp), m_imgDown(imgDown)
{
    resize(m_imgUp.size());
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CPanelKey::SetState(int nState)
{
    if (m_nState.exchange(nState) == nState)
        return;
    update();
    emit StateChanged();
}

void CPanelKey::SetDown(bool bDown) { SetState(bDown ? 1 : 0); }

void CPanelKey::HandleMouse(Mouse msg, const QPoint&)
{
    switch (msg) {
    case Mouse::LeftDown:
        SetCapture();
        SetState(1);
        break;
    case Mouse::LeftUp:
        ReleaseCapture();
        SetState(0);
        break;
    case Mouse::RightDown:
        SetCapture();
        SetState(IsDown() ? 0 : 1);
        break;
    case Mouse::RightUp:
        ReleaseCapture();
        break;
    }
}

// The image fills the key, stretched by whole pixels at a zoom above 1x.
void CPanelKey::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(rect(), IsDown() ? m_imgDown : m_imgUp);
}

// CShapedKey

CShapedKey::CShapedKey(uint8_t bCode, const QImage& imgUp, const QImage& imgDown, QRgb crTransparent, QWidget* pParent)
    : CKeyBase(bCode, pParent)
{
    m_bmpUp.SetImage(imgUp, true, crTransparent);
    m_bmpDown.SetImage(imgDown, true, crTransparent);
    resize(imgUp.size());
}

void CShapedKey::SetPressed(int bPressed)
{
    if (m_bPressed.exchange(bPressed) == bPressed)
        return;
    update();
    emit StateChanged();
}

void CShapedKey::SetDown(bool bDown) { SetPressed(bDown ? 1 : 0); }

bool CShapedKey::HitTest(const QPoint& pt) { return (IsDown() ? m_bmpDown : m_bmpUp).HitTest(pt, size()); }

void CShapedKey::HandleMouse(Mouse msg, const QPoint& pt)
{
    switch (msg) {
    case Mouse::LeftDown:
        if (!HitTest(pt)) {
            Forward(msg, pt);
            return;
        }
        SetCapture();
        SetPressed(1);
        break;
    case Mouse::LeftUp:
        if (HasCapture()) {
            ReleaseCapture();
            SetPressed(0);
        }
        break;
    case Mouse::RightDown:
        if (!HitTest(pt)) {
            Forward(msg, pt);
            return;
        }
        SetCapture();
        SetPressed(IsDown() ? 0 : 1);
        break;
    case Mouse::RightUp:
        ReleaseCapture();
        break;
    }
}

// Hands the message to the nearest key below this one in stacking order whose
// rectangle contains the point; that key hit-tests again, so a transparent
// corner falls through to whatever key is really there. Dropped when no
// key lies beneath.
void CShapedKey::Forward(Mouse msg, const QPoint& pt)
{
    QWidget* pParent = parentWidget();
    if (!pParent)
        return;
    const QPoint ptParent = mapToParent(pt);
    const QObjectList& children = pParent->children();
    for (qsizetype i = children.indexOf(this) - 1; i >= 0; i--) {
        auto* pKey = qobject_cast<CKeyBase*>(children[i]);
        if (!pKey || !pKey->isVisibleTo(pParent) || !pKey->geometry().contains(ptParent))
            continue;
        pKey->HandleMouse(msg, pKey->mapFromParent(ptParent));
        return;
    }
}

void CShapedKey::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    (IsDown() ? m_bmpDown : m_bmpUp).Draw(painter, rect());
}

// CLcdWnd

CLcdWnd::CLcdWnd(QWidget* pParent) : QWidget(pParent)
{
    resize(240, 128);
    // The paint covers the whole window, so the background is never erased
    // and a repaint does not flicker.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
}

void CLcdWnd::Write(uint16_t unAddress, uint8_t bValue)
{
    if (unAddress >= BASE && unAddress < BASE + MIRROR_BYTES)
        m_abData[unAddress - BASE].store(bValue, std::memory_order_relaxed);
}

uint8_t CLcdWnd::Read(uint16_t unAddress) const
{
    if (unAddress >= BASE && unAddress < BASE + MIRROR_BYTES)
        return m_abData[unAddress - BASE].load(std::memory_order_relaxed);
    return 0;
}

// 128 rows of 30 bytes, most significant bit leftmost: the layout of a
// one-bit image, so each row is copied as it stands.
QImage CLcdWnd::Frame() const
{
    QImage image(240, 128, QImage::Format_Mono);
    image.setColorTable({LIGHT, DARK});
    for (int y = 0; y < 128; y++) {
        uchar* pbRow = image.scanLine(y);
        for (int i = 0; i < 30; i++)
            pbRow[i] = m_abData[30 * y + i].load(std::memory_order_relaxed);
    }
    return image;
}

// Each display pixel becomes a square block of window pixels at a zoom above
// 1x, never smoothed.
void CLcdWnd::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(rect(), Frame());
    m_ullPaints.fetch_add(1, std::memory_order_relaxed);
}

// CHaldenView

CHaldenView* CHaldenView::Current() { return gpView; }

CHaldenView::CHaldenView(QWidget* pParent) : QScrollArea(pParent)
{
    gpView = this;
    FirmwareAttachHost(this);
    RegisterArtwork();

    m_bmpPanel = QPixmap(QStringLiteral(":/bitmap/%1").arg(panel::PANEL_BITMAP));
    if (m_bmpPanel.isNull())
        return;

    // The canvas carries the picture at (ORIGIN, ORIGIN) with a margin of the
    // same width on every side, so the whole panel can be scrolled into view.
    m_pCanvas = new CPanelCanvas(m_bmpPanel, m_dScale);
    setWidget(m_pCanvas);
    setAlignment(Qt::AlignCenter);

    SetSpeed(1.0);

    for (const panel::KeyLayout& layout : panel::KEYS) {
        QImage imgUp = LoadBitmap(layout.nUpImage);
        QImage imgDown = LoadBitmap(layout.nDownImage);
        if (imgUp.isNull() || imgDown.isNull())
            return;
        CKeyBase* pKey = nullptr;
        if (layout.bShaped)
            pKey = new CShapedKey(layout.bCode, imgUp, imgDown, qRgb(panel::MAGENTA_R, panel::MAGENTA_G, panel::MAGENTA_B), m_pCanvas);
        else
            pKey = new CPanelKey(layout.bCode, imgUp, imgDown, m_pCanvas);
        pKey->setToolTip(QStringLiteral("%1 (key %2)").arg(QString::fromLatin1(layout.pszLabel), ShortcutText(layout.bCode)));
        connect(pKey, &CKeyBase::StateChanged, this, &CHaldenView::Wake);
        m_apKeys[layout.bCode] = pKey;
    }

    m_pLcd = new CLcdWnd(m_pCanvas);
    m_pLid = new CSampleLid(m_compartment, m_pCanvas);
    PlaceChildren();
    m_bCreated = true;
}

CHaldenView::~CHaldenView()
{
    // A view that goes away while the firmware still runs (a test, or a
    // frame that never closed properly) stops it first: the firmware thread
    // must never call into a destroyed host.
    if (FirmwareThreadActive() && FirmwareHost() == this)
        FirmwareStop();
    if (FirmwareHost() == this)
        FirmwareAttachHost(nullptr);
    if (gpView == this)
        gpView = nullptr;
}

// The picture stays at (ORIGIN, ORIGIN) and grows with the scale; so does
// every child's offset from that corner and its size, rounded.
void CHaldenView::PlaceChildren()
{
    auto scaled = [this](int n) { return static_cast<int>(n * m_dScale + 0.5); };
    auto placed = [&](int n) { return panel::ORIGIN + scaled(n - panel::ORIGIN); };
    for (const panel::KeyLayout& layout : panel::KEYS) {
        if (CKeyBase* pKey = m_apKeys[layout.bCode])
            pKey->setGeometry(placed(layout.x), placed(layout.y), scaled(layout.nWidth), scaled(layout.nHeight));
    }
    m_pLcd->setGeometry(placed(panel::LCD_LEFT), placed(panel::LCD_TOP), scaled(CLcdWnd::WIDTH),
                        scaled(CLcdWnd::HEIGHT));
    m_pLid->setGeometry(placed(panel::ORIGIN + panel::LID_X), placed(panel::ORIGIN + panel::LID_Y),
                        scaled(panel::LID_WIDTH), scaled(panel::LID_HEIGHT));
}

void CHaldenView::SetZoom(int nZoom)
{
    nZoom = std::clamp(nZoom, ZOOM_MIN, ZOOM_MAX);
    if (!m_bCreated || nZoom == Zoom())
        return;
    m_dScale = nZoom;
    static_cast<CPanelCanvas*>(m_pCanvas)->SetScale(m_dScale);
    PlaceChildren();
    emit ZoomChanged(nZoom);
}

QImage CHaldenView::DisplayImage() const
{
    const int nZoom = Zoom();
    return m_pLcd->Frame().convertToFormat(QImage::Format_RGB32)
        .scaled(CLcdWnd::WIDTH * nZoom, CLcdWnd::HEIGHT * nZoom, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

// The panel as the view draws it, picture, keys and display, fitted to the
// page with its proportions kept.
void CHaldenView::PrintPanel(QPrinter* pPrinter)
{
    const QPixmap panelImage = m_pCanvas->grab();
    QPainter painter(pPrinter);
    const QRect rPage = painter.viewport();
    QSize size = panelImage.size();
    size.scale(rPage.size(), Qt::KeepAspectRatio);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawPixmap(QRect(rPage.topLeft(), size), panelImage);
}

CKeyBase* CHaldenView::Key(uint8_t bCode) const { return bCode >= 1 && bCode <= 12 ? m_apKeys[bCode] : nullptr; }

namespace {
struct Shortcut {
    int nQtKey;
    uint8_t bCode;
    const char* pszText;  // shown in tooltips; null for second keys of a code
};
constexpr Shortcut SHORTCUTS[] = {
    {Qt::Key_R, 1, "R"},        {Qt::Key_T, 5, "T or Enter"}, {Qt::Key_Return, 5, nullptr},
    {Qt::Key_Enter, 5, nullptr}, {Qt::Key_Escape, 4, "Esc"},  {Qt::Key_Up, 2, "Up arrow"},
    {Qt::Key_Down, 3, "Down arrow"}, {Qt::Key_Left, 6, "Left arrow"}, {Qt::Key_Right, 7, "Right arrow"},
    {Qt::Key_1, 8, "1"},        {Qt::Key_2, 9, "2"},          {Qt::Key_3, 10, "3"},
    {Qt::Key_4, 11, "4"},       {Qt::Key_S, 12, "S"},
};
}  // namespace

uint8_t CHaldenView::KeyForShortcut(int nQtKey)
{
    for (const Shortcut& s : SHORTCUTS)
        if (s.nQtKey == nQtKey)
            return s.bCode;
    return 0;
}

QString CHaldenView::ShortcutText(uint8_t bCode)
{
    for (const Shortcut& s : SHORTCUTS)
        if (s.bCode == bCode && s.pszText)
            return QString::fromLatin1(s.pszText);
    return QString();
}

void CHaldenView::SetKeyFromKeyboard(uint8_t bCode, bool bDown)
{
    CKeyBase* pKey = Key(bCode);
    if (!pKey)
        return;
    m_abKeyboardHeld[bCode] = bDown;
    pKey->SetDown(bDown);
}

// A key held through the keyboard would stay down for ever if the window
// lost the focus before the key came up.
void CHaldenView::ReleaseKeyboardKeys()
{
    for (uint8_t b = 1; b <= 12; b++)
        if (m_abKeyboardHeld[b])
            SetKeyFromKeyboard(b, false);
}

void CHaldenView::InjectSerial(const QByteArray& abBytes)
{
    if (abBytes.isEmpty())
        return;
    {
        // The firmware may hold its lock while it waits for a paint; tell it
        // not to wait, so that taking the lock here cannot deadlock.
        std::lock_guard<std::mutex> lock(m_mtxSync);
        m_nUiWantsLock++;
        m_cvSync.notify_all();
    }
    NoteInjected(abBytes.constData(), static_cast<size_t>(abBytes.size()));
    for (char c : abBytes)
        SerialInjectByte(static_cast<uint8_t>(c));
    std::lock_guard<std::mutex> lock(m_mtxSync);
    m_nUiWantsLock--;
    m_ullWakes++;
    m_cvSync.notify_all();
}

void CHaldenView::NoteInjected(const char* pBytes, size_t nCount) { QueueSerial(true, pBytes, nCount); }

void CHaldenView::ConsumePendingTick()
{
    m_nPendingTicks.fetch_sub(1);
    m_ullTicksRun.fetch_add(1, std::memory_order_relaxed);
    if (m_pSerialEndpoint)
        m_pSerialEndpoint->TickConsumed();
}

void CHaldenView::Wake()
{
    std::lock_guard<std::mutex> lock(m_mtxSync);
    m_ullWakes++;
    m_cvSync.notify_all();
}

void CHaldenView::SetSpeed(double dSpeed)
{
    m_dSpeed = dSpeed > 0 ? dSpeed : 0;
    m_clockPace.start();
    m_ullTicksDelivered = 0;
    m_bFlatOut.store(m_dSpeed == 0);
    if (m_dSpeed == 0) {
        m_tickTimer.stop();
    } else {
        // At real time one tick per 50 ms timer message; faster, a shorter
        // period, and the ticks due by the wall clock on each message.
        const int nPeriod = std::max(MIN_TIMER_MS, static_cast<int>(TICK_PERIOD_MS / m_dSpeed + 0.5));
        m_tickTimer.start(nPeriod, Qt::PreciseTimer, this);
    }
    Wake();
}

double CHaldenView::SampleAchievedSpeed()
{
    const uint64_t ullRun = m_ullTicksRun.load(std::memory_order_relaxed);
    double dPercent = -1;
    if (m_clockSample.isValid() && m_clockSample.nsecsElapsed() > 0)
        dPercent = 100.0 * static_cast<double>(ullRun - m_ullTicksSampled) * TICK_PERIOD_MS * 1e6 /
                   static_cast<double>(m_clockSample.nsecsElapsed());
    m_clockSample.start();
    m_ullTicksSampled = ullRun;
    return dPercent;
}

// Adds the host ticks that the wall clock says are due at the chosen speed.
// After a long stall (a suspended machine) at most one second of them comes
// at once: the firmware does not race to catch up.
void CHaldenView::DeliverDueTicks()
{
    const double dDue = static_cast<double>(m_clockPace.nsecsElapsed()) * m_dSpeed / (TICK_PERIOD_MS * 1e6);
    const uint64_t ullDue = static_cast<uint64_t>(dDue);
    if (ullDue <= m_ullTicksDelivered)
        return;
    const uint64_t ullMax = std::max<uint64_t>(1, static_cast<uint64_t>(1000.0 / TICK_PERIOD_MS * m_dSpeed));
    const uint64_t ullNew = std::min(ullDue - m_ullTicksDelivered, ullMax);
    m_ullTicksDelivered = ullDue;
    m_nPendingTicks.fetch_add(static_cast<int32_t>(ullNew));
    Wake();
}

void CHaldenView::timerEvent(QTimerEvent* pEvent)
{
    if (pEvent->timerId() != m_tickTimer.timerId()) {
        QScrollArea::timerEvent(pEvent);
        return;
    }
    DeliverDueTicks();
}

// Bridge operations, called on the firmware thread.

int CHaldenView::KeyIsDown(uint8_t bKey)
{
    CKeyBase* pKey = Key(bKey);
    return pKey && pKey->IsDown() ? 1 : 0;
}

void CHaldenView::LcdWrite(uint16_t unAddress, uint8_t bValue)
{
    if (m_pLcd)
        m_pLcd->Write(unAddress, bValue);
    m_bActivity.store(true, std::memory_order_relaxed);
}

uint8_t CHaldenView::LcdRead(uint16_t unAddress) { return m_pLcd ? m_pLcd->Read(unAddress) : 0; }

// Has the UI thread repaint the display window and waits until it has. The
// wait also ends when the firmware is asked to stop (the UI thread may be
// about to join the firmware thread and will never paint) and while the UI
// thread wants the firmware lock; the stop flag is set under the same mutex
// as the wait, so a stop request between the caller's check and this wait
// is never missed.
void CHaldenView::LcdRefresh()
{
    if (!m_pLcd)
        return;
    if (QThread::currentThread() == thread()) {
        m_pLcd->repaint();
        return;
    }
    std::unique_lock<std::mutex> lock(m_mtxSync);
    if (m_bStopping)
        return;
    const uint64_t ullRequest = ++m_ullRefreshRequested;
    QMetaObject::invokeMethod(this, &CHaldenView::PaintLcdNow, Qt::QueuedConnection);
    m_bRefreshWaiting.store(true);
    m_cvSync.wait(lock, [&] { return m_ullRefreshDone >= ullRequest || m_bStopping || m_nUiWantsLock > 0; });
    m_bRefreshWaiting.store(false);
    m_bActivity.store(true, std::memory_order_relaxed);
}

void CHaldenView::PaintLcdNow()
{
    uint64_t ullRequested;
    {
        std::lock_guard<std::mutex> lock(m_mtxSync);
        ullRequested = m_ullRefreshRequested;
    }
    m_pLcd->repaint();
    std::lock_guard<std::mutex> lock(m_mtxSync);
    if (ullRequested > m_ullRefreshDone)
        m_ullRefreshDone = ullRequested;
    m_cvSync.notify_all();
}

// Returns at once while there is work (a pending tick, a wake-up since the
// last yield, or drawing and output in the pass just ended); otherwise waits
// a few milliseconds for one. Firmware time comes only from the pending
// ticks, so the wait changes no firmware timing.
void CHaldenView::Yield()
{
    // A PC client's bytes enter the receive queue here, between passes, at
    // the line's pace; the next pass takes them at once.
    if (m_pSerialEndpoint && m_pSerialEndpoint->Pump() > 0)
        return;
    if (m_bFlatOut.load(std::memory_order_relaxed)) {
        // As fast as possible: the next pass has a tick to run, whenever the
        // last one is used up, and nothing waits. A step waiting for a key
        // inside its own loop leaves that one tick pending.
        if (m_nPendingTicks.load() <= 0)
            m_nPendingTicks.fetch_add(1);
        m_bActivity.store(false, std::memory_order_relaxed);
        return;
    }
    if (m_bActivity.exchange(false, std::memory_order_relaxed))
        return;
    std::unique_lock<std::mutex> lock(m_mtxSync);
    if (m_bStopping || m_nPendingTicks.load() > 0)
        return;
    if (m_ullWakes == m_ullWakesSeen)
        m_cvSync.wait_for(lock, IDLE_WAIT, [this] { return m_bStopping || m_ullWakes != m_ullWakesSeen; });
    m_ullWakesSeen = m_ullWakes;
}

void CHaldenView::StopRequested()
{
    std::lock_guard<std::mutex> lock(m_mtxSync);
    m_bStopping = true;
    m_cvSync.notify_all();
}

void CHaldenView::I2cSetScl(int nLevel)
{
    if (m_pBus)
        m_pBus->SetScl(nLevel);
}

void CHaldenView::I2cSetSda(int nLevel)
{
    if (m_pBus)
        m_pBus->SetSda(nLevel);
}

int CHaldenView::I2cGetScl() { return m_pBus ? m_pBus->GetScl() : 1; }
int CHaldenView::I2cGetSda() { return m_pBus ? m_pBus->GetSda() : 1; }

void CHaldenView::CSerialTap::Write(uint8_t b)
{
    CHaldenView* pView = m_pView;
    pView->m_bActivity.store(true, std::memory_order_relaxed);
    if (pView->m_pSerialEndpoint)
        pView->m_pSerialEndpoint->Transmit(b);
    if (pView->m_pPrinterSink)
        pView->m_pPrinterSink->Write(b);
    const char c = static_cast<char>(b);
    pView->QueueSerial(false, &c, 1);
}

void CHaldenView::QueueSerial(bool bInjected, const char* pBytes, size_t nCount)
{
    std::lock_guard<std::mutex> lock(m_mtxSerial);
    if (m_nSerialPendingBytes >= SERIAL_BACKLOG_MAX)
        return;
    if (m_serialPending.empty() || m_serialPending.back().first != bInjected)
        m_serialPending.emplace_back(bInjected, QByteArray());
    m_serialPending.back().second.append(pBytes, static_cast<qsizetype>(nCount));
    m_nSerialPendingBytes += static_cast<qsizetype>(nCount);
    if (!m_bSerialPosted) {
        m_bSerialPosted = true;
        QMetaObject::invokeMethod(this, &CHaldenView::DrainSerial, Qt::QueuedConnection);
    }
}

void CHaldenView::DrainSerial()
{
    std::vector<std::pair<bool, QByteArray>> chunks;
    {
        std::lock_guard<std::mutex> lock(m_mtxSerial);
        chunks.swap(m_serialPending);
        m_nSerialPendingBytes = 0;
        m_bSerialPosted = false;
    }
    for (const auto& [bInjected, abBytes] : chunks) {
        if (bInjected)
            emit SerialInjected(abBytes);
        else
            emit SerialReceived(abBytes);
    }
}
