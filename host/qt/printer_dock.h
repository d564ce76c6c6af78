// The "Printer" dock: the paper of the printer on the instrument's serial
// port (output device "PR1" or "PR2"), shown as it is printed, newest line
// in view, with a zoom, saving as PNG or PDF, and Clear (tear off).
#pragma once

#include <QDockWidget>
#include <QImage>
#include <QString>
#include <QWidget>

#include <vector>

#include "printer.h"
#include "printer_tap.h"

class QComboBox;
class QScrollArea;

// The paper at a whole number of pixels a dot, margin included. It holds no
// picture of its own: a paint draws the exposed dot rows from the printer,
// so its memory follows the part of the paper shown, not the roll's length.
class CPaperView final : public QWidget {
    Q_OBJECT
public:
    explicit CPaperView(const CPrinter& printer, QWidget* pParent = nullptr);
    // The printer has printed or torn off: the new size, and the rows from
    // paper row nFirstRow down repainted.
    void PaperChanged(int nFirstRow);
    void SetZoom(int nZoom);
    int Zoom() const { return m_nZoom; }
    QSize sizeHint() const override;
    // Paper rows (margin included) nFirst .. nFirst + nRows - 1 at nScale
    // pixels a dot, in colour (Format_RGB32) or two colours (Format_Mono).
    static QImage Band(const CPrinter& printer, int nFirst, int nRows, int nScale,
                       QImage::Format format = QImage::Format_RGB32);
    // Bytes held by the pictures of the last paint: what showing the paper costs.
    qsizetype LastPaintBytes() const { return m_nLastPaintBytes; }

protected:
    void paintEvent(QPaintEvent* pEvent) override;

private:
    const CPrinter& m_printer;
    int m_nZoom = 2;
    qsizetype m_nLastPaintBytes = 0;
};

// Where a PDF printout's pages end (dot rows, each the first of the next
// page): at most nRowsPerPage rows a page, never inside a line of text.
std::vector<int> PdfPageBreaks(const CPrinter& printer, int nRowsPerPage);

class CPrinterDock final : public QDockWidget {
    Q_OBJECT
public:
    static constexpr int ZOOM_MIN = 1;
    static constexpr int ZOOM_MAX = 4;

    // cable: the instrument's printer cable, which collects what the
    // firmware sends to the printer on the firmware thread.
    explicit CPrinterDock(CPrinterTap& cable, QWidget* pParent = nullptr);
    // Prints what has come down the cable since the last call.
    void TakeCable();
    // Prints bytes as if they had come down the cable.
    void Feed(const QByteArray& abBytes);
    // Tears the paper off.
    void Clear();
    const CPrinter& Printer() const { return m_printer; }
    CPaperView* Paper() const { return m_pPaper; }
    QScrollArea* Scroller() const { return m_pScroll; }
    // The zoom the user chose: it stays whatever the dock's width.
    void SetZoom(int nZoom);
    // The largest zoom at which the paper fits the dock's width (1 at least).
    int FittingZoom() const;
    // ".png" (two pixels a dot) or ".pdf" (a dot a point, A4-long pages);
    // false with a reason.
    bool SavePrintout(const QString& sPath, QString* psError) const;
    void OnSavePrintout();

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    void Refresh(int nFirstRow);
    void ApplyZoom(int nZoom);

    CPrinterTap& m_tap;
    CPrinter m_printer;
    CPaperView* m_pPaper;
    QScrollArea* m_pScroll;
    QComboBox* m_pZoom;
    bool m_bZoomChosen = false;  // the user chose a zoom: it no longer follows the dock's width
};
