// The front-panel view, its keys and display window over the instrument
// board.
#include "halden_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <QElapsedTimer>
#include <QPaintEvent>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "key_map.h"
#include "panel_layout.h"
#include "sample_dialog.h"

namespace {

CHaldenView* gpView = nullptr;  // the view published last

// The desktop's instrument runs on its own at real time until the
// application opens its EEPROM file; the monitor, not the board, keeps the
// transmitted bytes.
CInstrument::Options ViewInstrumentOptions()
{
    CInstrument::Options options;
    options.sEepromPath.clear();
    options.dSpeed = 1;
    options.bFreeRunning = true;
    options.bKeepSerialText = false;
    options.bTickAlignedInput = true;  // a recorded session replays exactly
    return options;
}

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

CLcdWnd::CLcdWnd(const CDisplayMemory& memory, QWidget* pParent)
    : QWidget(pParent), m_memory(memory), m_pFrameTimer(new QTimer(this)), m_pSinceRepaint(new QElapsedTimer)
{
    resize(WIDTH, HEIGHT);
    // The paint covers the whole window, so the background is never erased
    // and a repaint does not flicker.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    m_pFrameTimer->setSingleShot(true);
    connect(m_pFrameTimer, &QTimer::timeout, this, &CLcdWnd::FlushDirty);
    m_pSinceRepaint->start();
    Rescale();
}

CLcdWnd::~CLcdWnd() { delete m_pSinceRepaint; }

// 128 rows of 30 bytes, most significant bit leftmost: the layout of a
// one-bit image, so each row is copied as it stands.
QImage CLcdWnd::Frame() const
{
    QImage image(WIDTH, HEIGHT, QImage::Format_Mono);
    image.setColorTable({LIGHT, DARK});
    for (int y = 0; y < HEIGHT; y++) {
        uchar* pbRow = image.scanLine(y);
        for (int i = 0; i < CDisplayMemory::ROW_BYTES; i++)
            pbRow[i] = m_memory.ShownByte(y, i);
    }
    return image;
}

void CLcdWnd::ReadMemory(Shown& abOut) const
{
    for (int y = 0; y < HEIGHT; y++)
        for (int i = 0; i < CDisplayMemory::ROW_BYTES; i++)
            abOut[static_cast<size_t>(y * CDisplayMemory::ROW_BYTES + i)] = m_memory.ShownByte(y, i);
}

bool CLcdWnd::ShowsMemory() const
{
    Shown abNow;
    ReadMemory(abNow);
    std::lock_guard<std::mutex> lock(m_mtxShown);
    return abNow == m_abShown;
}

// Each display pixel becomes a square block of device pixels: one row of
// blocks is drawn, then copied down the block's height.
void CLcdWnd::RenderRows(int nFirst, int nLast)
{
    const int nPixel = m_nPixel;
    for (int y = nFirst; y <= nLast; y++) {
        auto* pTop = reinterpret_cast<QRgb*>(m_imgScaled.scanLine(y * nPixel));
        QRgb* pOut = pTop;
        const uint8_t* pbRow = &m_abShown[static_cast<size_t>(y * CDisplayMemory::ROW_BYTES)];
        for (int i = 0; i < CDisplayMemory::ROW_BYTES; i++) {
            for (int nBit = 7; nBit >= 0; nBit--) {
                const QRgb cr = (pbRow[i] >> nBit) & 1 ? DARK : LIGHT;
                for (int k = 0; k < nPixel; k++)
                    *pOut++ = cr;
            }
        }
        const size_t nBytes = static_cast<size_t>(WIDTH * nPixel) * sizeof(QRgb);
        for (int k = 1; k < nPixel; k++)
            std::memcpy(m_imgScaled.scanLine(y * nPixel + k), pTop, nBytes);
    }
}

// The picture is made for the window's size at its screen's pixel ratio,
// whole device pixels a display pixel, so that painting copies it unscaled.
void CLcdWnd::Rescale()
{
    const double dRatio = devicePixelRatioF();
    const int nPixel = std::max(1, qRound(width() * dRatio / WIDTH));
    if (nPixel == m_nPixel && !m_imgScaled.isNull())
        return;
    m_nPixel = nPixel;
    m_imgScaled = QImage(WIDTH * nPixel, HEIGHT * nPixel, QImage::Format_RGB32);
    m_imgScaled.setDevicePixelRatio(static_cast<double>(nPixel) * WIDTH / std::max(1, width()));
    std::lock_guard<std::mutex> lock(m_mtxShown);
    if (m_bPowered)
        RenderRows(0, HEIGHT - 1);
    else
        m_imgScaled.fill(UNLIT);
}

void CLcdWnd::resizeEvent(QResizeEvent*) { Rescale(); }

void CLcdWnd::SetPowered(bool bPowered)
{
    m_bPowered = bPowered;
    if (bPowered) {
        std::lock_guard<std::mutex> lock(m_mtxShown);
        RenderRows(0, HEIGHT - 1);
    } else {
        m_imgScaled.fill(UNLIT);
    }
    update();
}

bool CLcdWnd::TakeFrame(bool bNow)
{
    if (!m_bPowered)
        return false;
    Shown abNow;
    ReadMemory(abNow);
    int nFirst = HEIGHT, nLast = -1;
    {
        std::lock_guard<std::mutex> lock(m_mtxShown);
        for (int y = 0; y < HEIGHT; y++) {
            const size_t nAt = static_cast<size_t>(y * CDisplayMemory::ROW_BYTES);
            if (std::memcmp(&abNow[nAt], &m_abShown[nAt], CDisplayMemory::ROW_BYTES) != 0) {
                nFirst = std::min(nFirst, y);
                nLast = y;
            }
        }
        if (nLast < 0)
            return false;
        m_abShown = abNow;
        RenderRows(nFirst, nLast);
    }
    m_ullFrames.fetch_add(1, std::memory_order_relaxed);
    m_rDirty |= QRect(0, nFirst, WIDTH, nLast - nFirst + 1);
    if (bNow || m_pSinceRepaint->elapsed() >= FRAME_MS) {
        m_pFrameTimer->stop();
        FlushDirty();
        if (bNow)
            repaint();
    } else if (!m_pFrameTimer->isActive()) {
        m_pFrameTimer->start(static_cast<int>(FRAME_MS - m_pSinceRepaint->elapsed()));
    }
    return true;
}

// The changed rows, in window coordinates.
void CLcdWnd::FlushDirty()
{
    if (m_rDirty.isEmpty())
        return;
    const double dX = static_cast<double>(width()) / WIDTH;
    const double dY = static_cast<double>(height()) / HEIGHT;
    update(QRectF(m_rDirty.x() * dX, m_rDirty.y() * dY, m_rDirty.width() * dX, m_rDirty.height() * dY)
               .toAlignedRect());
    m_rDirty = QRect();
    m_pSinceRepaint->restart();
}

// Copies the exposed part of the picture, never scaled or smoothed. Any
// repaint shows the memory as it stands: a change not yet taken is taken
// first (its rows outside this paint follow in the next).
void CLcdWnd::paintEvent(QPaintEvent* pEvent)
{
    TakeFrame();
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    const QRect rTarget = pEvent->rect();
    const double dRatio = m_imgScaled.devicePixelRatio();
    const QRect rSource = QRectF(rTarget.x() * dRatio, rTarget.y() * dRatio, rTarget.width() * dRatio,
                                 rTarget.height() * dRatio)
                              .toAlignedRect()
                              .intersected(m_imgScaled.rect());
    painter.drawImage(QRectF(rSource.x() / dRatio, rSource.y() / dRatio, rSource.width() / dRatio,
                             rSource.height() / dRatio),
                      m_imgScaled, rSource);
    m_ullPaints.fetch_add(1, std::memory_order_relaxed);
}

// CHaldenView

CHaldenView* CHaldenView::Current() { return gpView; }

CHaldenView::CHaldenView(QWidget* pParent) : QScrollArea(pParent), m_instrument(ViewInstrumentOptions())
{
    gpView = this;
    m_instrument.SetDisplayListener(this);
    m_instrument.AddSerialTap(&m_serialTap);
    RegisterArtwork();

    m_bmpPanel = QPixmap(QStringLiteral(":/bitmap/%1").arg(panel::PANEL_BITMAP));
    if (m_bmpPanel.isNull())
        return;

    // The canvas carries the picture at (ORIGIN, ORIGIN) with a margin of the
    // same width on every side, so the whole panel can be scrolled into view.
    m_pCanvas = new CPanelCanvas(m_bmpPanel, m_dScale);
    setWidget(m_pCanvas);
    setAlignment(Qt::AlignCenter);

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
        connect(pKey, &CKeyBase::StateChanged, this, [this, pKey] { m_instrument.SetKey(pKey->Code(), pKey->IsDown()); });
        m_apKeys[layout.bCode] = pKey;
    }

    m_pLcd = new CLcdWnd(m_instrument.Display(), m_pCanvas);
    m_pLid = new CSampleLid(m_instrument.Compartment(), m_pCanvas);
    PlaceChildren();
    m_bCreated = true;
}

CHaldenView::~CHaldenView()
{
    // A view that goes away while the firmware still runs (a test, or a
    // frame that never closed properly) stops it first: the firmware thread
    // must never paint into a destroyed window.
    m_instrument.Shutdown();
    m_instrument.SetDisplayListener(nullptr);
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

// The display on a page: a caption, then the picture at whole device pixels
// a display pixel, as wide as the page allows up to 160 mm, outlined.
QRect CHaldenView::DrawDisplayPage(QPainter& painter, const QRect& rPage, const QString& sCaption) const
{
    const QImage frame = m_pLcd->Frame().convertToFormat(QImage::Format_RGB32);
    const double dPerMm = painter.device()->logicalDpiX() / 25.4;
    const int nMaxWidth = std::min(rPage.width(), static_cast<int>(160 * dPerMm));
    const int nPixel = std::max(1, nMaxWidth / CLcdWnd::WIDTH);
    const QFontMetrics metrics(painter.font(), painter.device());
    painter.setPen(Qt::black);
    painter.drawText(QRect(rPage.left(), rPage.top(), rPage.width(), metrics.height()), Qt::AlignLeft, sCaption);
    const QRect rDisplay(rPage.left(), rPage.top() + 2 * metrics.height(), CLcdWnd::WIDTH * nPixel, CLcdWnd::HEIGHT * nPixel);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(rDisplay, frame);
    painter.setPen(QPen(Qt::black, std::max(1, nPixel / 2)));
    painter.drawRect(rDisplay.adjusted(-nPixel, -nPixel, nPixel, nPixel));
    return rDisplay;
}

CKeyBase* CHaldenView::Key(uint8_t bCode) const { return bCode >= 1 && bCode <= 12 ? m_apKeys[bCode] : nullptr; }

uint8_t CHaldenView::KeyForShortcut(int nQtKey) { return PanelKeyFor(nQtKey); }

QString CHaldenView::ShortcutText(uint8_t bCode) { return KeyMapText(bCode); }

void CHaldenView::UpdateKeyTooltips()
{
    for (const panel::KeyLayout& layout : panel::KEYS)
        if (CKeyBase* pKey = Key(layout.bCode))
            pKey->setToolTip(QStringLiteral("%1 (key %2)").arg(QString::fromLatin1(layout.pszLabel), ShortcutText(layout.bCode)));
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
    m_instrument.Inject(std::string_view(abBytes.constData(), static_cast<size_t>(abBytes.size())));
}

// A refresh on the UI thread takes the frame and paints at once. From the
// firmware thread, a refresh of a screen the window already shows is done
// at once; otherwise the frame is taken on the UI thread (one queued call
// serves every request made before it runs) and the firmware waits for it.
bool CHaldenView::Paint()
{
    if (QThread::currentThread() == thread()) {
        m_pLcd->TakeFrame(true);
        return true;
    }
    if (!m_bPaintPosted.load() && m_pLcd->ShowsMemory())
        return true;
    if (!m_bPaintPosted.exchange(true))
        QMetaObject::invokeMethod(this, &CHaldenView::PaintLcdNow, Qt::QueuedConnection);
    return false;
}

void CHaldenView::PaintLcdNow()
{
    m_bPaintPosted.store(false);
    const uint64_t ullRequests = m_instrument.RefreshRequests();
    m_pLcd->TakeFrame();
    m_instrument.PaintDone(ullRequests);
}

void CHaldenView::CSerialTap::Transmitted(uint8_t b)
{
    const char c = static_cast<char>(b);
    m_pView->QueueSerial(false, &c, 1);
}

void CHaldenView::CSerialTap::Received(std::string_view sBytes)
{
    m_pView->QueueSerial(true, sBytes.data(), sBytes.size());
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
