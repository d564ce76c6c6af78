// The printer dock: the paper roll, its zoom, saving and tearing off.
#include "printer_dock.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include "dock_tools.h"

namespace {

constexpr int PDF_PAGE_HEIGHT = 842;  // points: an A4 page's length; a longer roll goes on over pages

QImage PaperImage(const CPrinter& printer, int nScale)
{
    const PaperPicture picture = RenderPaper(printer, nScale);
    return QImage(picture.abRgb.data(), picture.nWidth, picture.nHeight, 3 * picture.nWidth, QImage::Format_RGB888)
        .copy();
}

}  // namespace

CPaperView::CPaperView(QWidget* pParent) : QWidget(pParent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CPaperView::SetPaper(const QImage& image)
{
    m_image = image;
    resize(sizeHint());
    update();
}

void CPaperView::SetZoom(int nZoom)
{
    m_nZoom = nZoom;
    resize(sizeHint());
    update();
}

QSize CPaperView::sizeHint() const { return m_image.size() * m_nZoom; }

void CPaperView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(PAPER_RGB[0], PAPER_RGB[1], PAPER_RGB[2]));
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(QRect(QPoint(0, 0), m_image.size() * m_nZoom), m_image);
}

CPrinterDock::CPrinterDock(CPrinterTap& cable, QWidget* pParent)
    : QDockWidget(QStringLiteral("Printer"), pParent), m_tap(cable)
{
    setObjectName(QStringLiteral("printer"));
    auto* pBody = new QWidget;
    m_pPaper = new CPaperView;
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
    SetZoom(2);
    Refresh();
}

void CPrinterDock::TakeCable()
{
    if (m_tap.DrainInto(m_printer))
        Refresh();
}

void CPrinterDock::Feed(const QByteArray& abBytes)
{
    m_printer.Feed(std::string_view(abBytes.constData(), static_cast<size_t>(abBytes.size())));
    Refresh();
}

void CPrinterDock::Clear()
{
    m_printer.Clear();
    Refresh();
}

void CPrinterDock::SetZoom(int nZoom)
{
    nZoom = std::clamp(nZoom, ZOOM_MIN, ZOOM_MAX);
    m_pZoom->setCurrentIndex(m_pZoom->findData(nZoom));
    m_pPaper->SetZoom(nZoom);
    m_pScroll->verticalScrollBar()->setValue(m_pScroll->verticalScrollBar()->maximum());
}

// The paper again, scrolled so that the newest line shows.
void CPrinterDock::Refresh()
{
    m_pPaper->SetPaper(PaperImage(m_printer, 1));
    QScrollBar* pBar = m_pScroll->verticalScrollBar();
    pBar->setMaximum(std::max(0, m_pPaper->height() - m_pScroll->viewport()->height()));
    pBar->setValue(pBar->maximum());
}

bool CPrinterDock::SavePrintout(const QString& sPath, QString* psError) const
{
    const QString sSuffix = QFileInfo(sPath).suffix().toLower();
    const QString sShown = QDir::toNativeSeparators(sPath);
    if (sSuffix == QLatin1String("png")) {
        if (PaperImage(m_printer, 2).save(sPath, "PNG"))
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
    const QImage paper = PaperImage(m_printer, 1);
    const int nRowsPerPage = PDF_PAGE_HEIGHT - 2 * PAPER_MARGIN_DOTS;
    const int nPrinted = m_printer.Height();
    for (int nFirst = 0; nFirst == 0 || nFirst < nPrinted; nFirst += nRowsPerPage) {
        if (nFirst > 0)
            writer.newPage();
        const int nRows = std::min(nRowsPerPage, nPrinted - nFirst);
        if (nRows > 0)
            painter.drawImage(QPoint(0, PAPER_MARGIN_DOTS),
                              paper.copy(0, PAPER_MARGIN_DOTS + nFirst, paper.width(), nRows));
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
