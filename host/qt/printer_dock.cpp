// The printer dock: the paper roll, its zoom, saving and tearing off.
#include "printer_dock.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPageSize>
#include <QPaintEvent>
#include <QPainter>
#include <QPdfWriter>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cstring>

#include "dock_tools.h"

namespace {

constexpr int PDF_PAGE_HEIGHT = 842;  // points: an A4 page's length; a longer roll goes on over pages
constexpr int DOCK_ZOOM_DEFAULT = 2;  // zoom when the dock is wide enough for it

}  // namespace

QImage CPaperView::Band(const CPrinter& printer, int nFirst, int nRows, int nScale, QImage::Format format)
{
    const int nWidth = (CPrinter::WIDTH + 2 * PAPER_MARGIN_DOTS) * nScale;
    const QRgb crPaper = qRgb(PAPER_RGB[0], PAPER_RGB[1], PAPER_RGB[2]);
    const QRgb crInk = qRgb(INK_RGB[0], INK_RGB[1], INK_RGB[2]);
    const bool bMono = format == QImage::Format_Mono;
    QImage band(nWidth, std::max(0, nRows) * nScale, bMono ? QImage::Format_Mono : QImage::Format_RGB32);
    if (bMono) {
        band.setColorTable({crPaper, crInk});
        band.fill(0);
    } else {
        band.fill(crPaper);
    }
    const int nPrinted = printer.Height();
    for (int r = 0; r < nRows; r++) {
        const int y = nFirst + r - PAPER_MARGIN_DOTS;  // dot row on the printer
        if (y < 0 || y >= nPrinted)
            continue;
        const uint8_t* pbRow = printer.Row(y);
        const int nTop = r * nScale;
        bool bInk = false;
        for (int x = 0; x < CPrinter::WIDTH; x++) {
            if (!(pbRow[x / 8] & (0x80 >> (x % 8))))
                continue;
            bInk = true;
            const int nLeft = (PAPER_MARGIN_DOTS + x) * nScale;
            if (bMono) {
                for (int k = 0; k < nScale; k++)
                    band.setPixel(nLeft + k, nTop, 1);
            } else {
                std::fill_n(reinterpret_cast<QRgb*>(band.scanLine(nTop)) + nLeft, nScale, crInk);
            }
        }
        if (bInk)
            for (int k = 1; k < nScale; k++)
                std::memcpy(band.scanLine(nTop + k), band.constScanLine(nTop), static_cast<size_t>(band.bytesPerLine()));
    }
    return band;
}

CPaperView::CPaperView(const CPrinter& printer, QWidget* pParent) : QWidget(pParent), m_printer(printer)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(sizeHint());
}

void CPaperView::PaperChanged(int nFirstRow)
{
    const QSize size = sizeHint();
    if (size != this->size())
        resize(size);
    update(QRect(0, nFirstRow * m_nZoom, width(), std::max(0, height() - nFirstRow * m_nZoom)));
}

void CPaperView::SetZoom(int nZoom)
{
    m_nZoom = nZoom;
    resize(sizeHint());
    update();
}

QSize CPaperView::sizeHint() const
{
    return QSize(CPrinter::WIDTH + 2 * PAPER_MARGIN_DOTS, m_printer.Height() + 2 * PAPER_MARGIN_DOTS) * m_nZoom;
}

// Only the dot rows the paint exposes are drawn.
void CPaperView::paintEvent(QPaintEvent* pEvent)
{
    QPainter painter(this);
    const QRect rExposed = pEvent->rect();
    const int nFirst = rExposed.top() / m_nZoom;
    const int nLast = rExposed.bottom() / m_nZoom;
    const QImage band = Band(m_printer, nFirst, nLast - nFirst + 1, m_nZoom);
    m_nLastPaintBytes = band.sizeInBytes();
    painter.drawImage(QPoint(0, nFirst * m_nZoom), band);
    if (rExposed.right() >= band.width())
        painter.fillRect(QRect(band.width(), rExposed.top(), rExposed.right() - band.width() + 1, rExposed.height()),
                         QColor(PAPER_RGB[0], PAPER_RGB[1], PAPER_RGB[2]));
}

CPrinterDock::CPrinterDock(CPrinterTap& cable, QWidget* pParent)
    : QDockWidget(QStringLiteral("Printer"), pParent), m_tap(cable)
{
    setObjectName(QStringLiteral("printer"));
    auto* pBody = new QWidget;
    m_pPaper = new CPaperView(m_printer);
    m_pScroll = new QScrollArea;
    m_pScroll->setWidget(m_pPaper);
    m_pScroll->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_pScroll->setBackgroundRole(QPalette::Dark);
    m_pScroll->setToolTip(QStringLiteral("What a printer on the serial port prints while the output device is PR1 or PR2"));

    m_pZoom = new QComboBox;
    for (int nZoom = ZOOM_MIN; nZoom <= ZOOM_MAX; nZoom++)
        m_pZoom->addItem(QStringLiteral("%1x").arg(nZoom), nZoom);
    m_pZoom->setFocusPolicy(Qt::NoFocus);
    m_pZoom->setToolTip(QStringLiteral("Zoom: screen pixels a printer dot"));
    connect(m_pZoom, &QComboBox::activated, this, [this](int nIndex) { SetZoom(m_pZoom->itemData(nIndex).toInt()); });
    QHBoxLayout* pButtons =
        DockButtonRow(QStringLiteral("Zoom"), m_pZoom, QStringLiteral("Tear off the paper"),
                      QStringLiteral("Save the printout as a PNG picture or a PDF document"), [this] { Clear(); },
                      [this] { OnSavePrintout(); });
    auto* pLayout = new QVBoxLayout(pBody);
    pLayout->setContentsMargins(4, 4, 4, 4);
    pLayout->addWidget(m_pScroll);
    pLayout->addLayout(pButtons);
    setWidget(pBody);
    ApplyZoom(DOCK_ZOOM_DEFAULT);
    m_pScroll->viewport()->installEventFilter(this);
    Refresh(0);
}

void CPrinterDock::TakeCable()
{
    const int nBefore = m_printer.Height();
    if (m_tap.DrainInto(m_printer))
        Refresh(std::max(0, nBefore + PAPER_MARGIN_DOTS - CPrinter::LINE_PITCH));
}

void CPrinterDock::Feed(const QByteArray& abBytes)
{
    const int nBefore = m_printer.Height();
    m_printer.Feed(std::string_view(abBytes.constData(), static_cast<size_t>(abBytes.size())));
    Refresh(std::max(0, nBefore + PAPER_MARGIN_DOTS - CPrinter::LINE_PITCH));
}

void CPrinterDock::Clear()
{
    m_printer.Clear();
    Refresh(0);
}

void CPrinterDock::SetZoom(int nZoom)
{
    m_bZoomChosen = true;
    ApplyZoom(nZoom);
}

void CPrinterDock::ApplyZoom(int nZoom)
{
    nZoom = std::clamp(nZoom, ZOOM_MIN, ZOOM_MAX);
    m_pZoom->setCurrentIndex(m_pZoom->findData(nZoom));
    m_pPaper->SetZoom(nZoom);
    m_pScroll->verticalScrollBar()->setValue(m_pScroll->verticalScrollBar()->maximum());
}

int CPrinterDock::FittingZoom() const
{
    const int nRoom = m_pScroll->viewport()->width();
    const int nPaper = CPrinter::WIDTH + 2 * PAPER_MARGIN_DOTS;
    return std::clamp(nRoom / nPaper, ZOOM_MIN, DOCK_ZOOM_DEFAULT);
}

// Until the user picks a zoom, the paper follows the dock's width: the
// largest zoom whose paper fits, up to the default.
bool CPrinterDock::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    if (pWatched == m_pScroll->viewport() && pEvent->type() == QEvent::Resize && !m_bZoomChosen &&
        FittingZoom() != m_pPaper->Zoom())
        ApplyZoom(FittingZoom());
    return QDockWidget::eventFilter(pWatched, pEvent);
}

// The paper again from row nFirstRow down, scrolled so that the newest line shows.
void CPrinterDock::Refresh(int nFirstRow)
{
    m_pPaper->PaperChanged(nFirstRow);
    QScrollBar* pBar = m_pScroll->verticalScrollBar();
    pBar->setMaximum(std::max(0, m_pPaper->height() - m_pScroll->viewport()->height()));
    pBar->setValue(pBar->maximum());
}

// Where the PDF's pages end: at most nRowsPerPage dot rows a page, each page
// ending on a blank dot row outside every text line, so that no line of text
// is cut in two; a picture too dense for that is cut at the page's length.
std::vector<int> PdfPageBreaks(const CPrinter& printer, int nRowsPerPage)
{
    const int nPrinted = printer.Height();
    std::vector<bool> abInText(static_cast<size_t>(std::max(0, nPrinted)), false);
    for (const CPrinter::TextLine& line : printer.TextLines())
        for (int y = line.nRow; y < line.nRow + CPrinter::CELL_HEIGHT && y < nPrinted; y++)
            if (y >= 0)
                abInText[static_cast<size_t>(y)] = true;
    auto blank = [&](int y) {
        if (abInText[static_cast<size_t>(y)])
            return false;
        const uint8_t* pbRow = printer.Row(y);
        return std::all_of(pbRow, pbRow + CPrinter::ROW_BYTES, [](uint8_t b) { return b == 0; });
    };
    std::vector<int> breaks;
    int nFirst = 0;
    while (nPrinted - nFirst > nRowsPerPage) {
        int nEnd = nFirst + nRowsPerPage;  // the page would hold rows nFirst .. nEnd - 1
        for (int y = nEnd; y > nFirst + nRowsPerPage / 2; y--) {
            if (blank(y)) {
                nEnd = y;
                break;
            }
        }
        breaks.push_back(nEnd);
        nFirst = nEnd;
    }
    return breaks;
}

bool CPrinterDock::SavePrintout(const QString& sPath, QString* psError) const
{
    const QString sSuffix = QFileInfo(sPath).suffix().toLower();
    const QString sShown = QDir::toNativeSeparators(sPath);
    if (sSuffix == QLatin1String("png")) {
        const int nRows = m_printer.Height() + 2 * PAPER_MARGIN_DOTS;
        if (CPaperView::Band(m_printer, 0, nRows, 2, QImage::Format_Mono).save(sPath, "PNG"))
            return true;
        *psError = QStringLiteral("Cannot write %1.").arg(sShown);
        return false;
    }
    if (sSuffix != QLatin1String("pdf")) {
        *psError = QStringLiteral("%1: a printout is saved as a .png picture or a .pdf document.").arg(sShown);
        return false;
    }
    // One dot a point: the paper's own size, on pages an A4 page long.
    QPdfWriter writer(sPath);
    writer.setResolution(72);
    writer.setPageSize(QPageSize(QSizeF(CPrinter::WIDTH + 2 * PAPER_MARGIN_DOTS, PDF_PAGE_HEIGHT), QPageSize::Point));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setTitle(QStringLiteral("Printout"));
    QPainter painter;
    if (!painter.begin(&writer)) {
        *psError = QStringLiteral("Cannot write %1.").arg(sShown);
        return false;
    }
    std::vector<int> breaks = PdfPageBreaks(m_printer, PDF_PAGE_HEIGHT - 2 * PAPER_MARGIN_DOTS);
    breaks.push_back(m_printer.Height());
    int nFirst = 0;
    for (size_t i = 0; i < breaks.size(); i++) {
        if (i > 0)
            writer.newPage();
        const int nRows = breaks[i] - nFirst;
        if (nRows > 0)
            painter.drawImage(QPoint(0, PAPER_MARGIN_DOTS), CPaperView::Band(m_printer, PAPER_MARGIN_DOTS + nFirst, nRows, 1));
        nFirst = breaks[i];
    }
    painter.end();
    if (QFileInfo(sPath).size() > 0)
        return true;
    *psError = QStringLiteral("Cannot write %1.").arg(sShown);
    return false;
}

void CPrinterDock::OnSavePrintout()
{
    SaveAsWithWarning(this, QStringLiteral("Save Printout"), QStringLiteral("printout.png"),
                      QStringLiteral("PNG pictures (*.png);;PDF documents (*.pdf)"),
                      [this](const QString& sPath, QString* psError) { return SavePrintout(sPath, psError); });
}
