// The "Printer" dock: the paper of the printer on the instrument's serial
// port (output device "PR1" or "PR2"), shown as it is printed, newest line
// in view, with a zoom, saving as PNG or PDF, and Clear (tear off).
#pragma once

#include <QDockWidget>
#include <QImage>
#include <QString>
#include <QWidget>

#include "printer.h"
#include "printer_tap.h"

class QComboBox;
class QScrollArea;

// The paper at a whole number of pixels a dot.
class CPaperView final : public QWidget {
    Q_OBJECT
public:
    explicit CPaperView(QWidget* pParent = nullptr);
    void SetPaper(const QImage& image);  // one pixel a dot, margin included
    void SetZoom(int nZoom);
    int Zoom() const { return m_nZoom; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* pEvent) override;

private:
    QImage m_image;
    int m_nZoom = 2;
};

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
    void SetZoom(int nZoom);
    // ".png" (two pixels a dot) or ".pdf" (a dot a point, A4-long pages);
    // false with a reason.
    bool SavePrintout(const QString& sPath, QString* psError) const;
    void OnSavePrintout();

private:
    void Refresh();

    CPrinterTap& m_tap;
    CPrinter m_printer;
    CPaperView* m_pPaper;
    QScrollArea* m_pScroll;
    QComboBox* m_pZoom;
};
