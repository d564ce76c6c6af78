// The chart recorder dock: the strip chart, its speeds, clearing and saving.
#include "chart_dock.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>

#include "dock_tools.h"

namespace {

constexpr int REPAINT_MS = 100;          // the paper moves on this often
constexpr double COUNTS_FULL_SCALE = 65535.0;
const QColor CHART_PAPER(255, 255, 250);
const QColor GRID(200, 220, 200);
const QColor PEN(200, 20, 20);
constexpr double SCALE_INSET = 4;  // pixels between the paper's edge and the end of the scale

}  // namespace

double CStripChart::LabelStepMs(double dMinMs)
{
    static constexpr double STEPS_MS[] = {100,    200,     500,     1000,    2000,    5000,     10000,
                                          15000,  30000,   60000,   120000,  300000,  600000,   900000,
                                          1800000, 3600000, 7200000, 10800000, 21600000, 43200000, 86400000};
    for (double dStep : STEPS_MS)
        if (dStep >= dMinMs)
            return dStep;
    return std::ceil(dMinMs / 86400000.0) * 86400000.0;
}

std::vector<CStripChart::AxisLabel> CStripChart::TimeAxis(double dNowMs, double dSpanMs, int nPlotWidth,
                                                          const QFontMetrics& metrics)
{
    std::vector<AxisLabel> labels;
    if (nPlotWidth <= 0 || dSpanMs <= 0)
        return labels;
    const int nWidth = metrics.horizontalAdvance(TimeLabel(dNowMs, 100.0)) + 12;
    const double dStepMs = LabelStepMs(nWidth * dSpanMs / nPlotWidth);
    const double dStart = dNowMs - dSpanMs;
    for (double dMs = std::ceil(std::max(0.0, dStart) / dStepMs) * dStepMs; dMs <= dNowMs; dMs += dStepMs)
        labels.push_back({(dMs - dStart) * nPlotWidth / dSpanMs, nWidth, TimeLabel(dMs, dStepMs)});
    return labels;
}

// "m:ss" under an hour, "h:mm:ss" from then on, with tenths of a second
// when the step is shorter than a second.
QString CStripChart::TimeLabel(double dMs, double dStepMs)
{
    const bool bTenths = dStepMs < 1000;
    const long long llTenths = std::llround(dMs / 100.0);
    const long long llSeconds = bTenths ? llTenths / 10 : std::llround(dMs / 1000.0);
    const long long llHours = llSeconds / 3600;
    const int nMinutes = static_cast<int>(llSeconds / 60 % 60);
    const int nSecs = static_cast<int>(llSeconds % 60);
    QString sText = llHours > 0 ? QStringLiteral("%1:%2:%3")
                                      .arg(llHours)
                                      .arg(nMinutes, 2, 10, QLatin1Char('0'))
                                      .arg(nSecs, 2, 10, QLatin1Char('0'))
                                : QStringLiteral("%1:%2").arg(nMinutes).arg(nSecs, 2, 10, QLatin1Char('0'));
    if (bTenths)
        sText += QStringLiteral(".%1").arg(llTenths % 10);
    return sText;
}

const std::vector<CChartDock::SpeedChoice>& CChartDock::Speeds()
{
    static const std::vector<SpeedChoice> kSpeeds = {
        {"6 mm/min", 6}, {"30 mm/min", 30}, {"60 mm/min", 60}, {"120 mm/min", 120},
        {"300 mm/min", 300}, {"600 mm/min", 600}, {"1200 mm/min", 1200}};
    return kSpeeds;
}

CStripChart::CStripChart(const CChartRecorder& recorder, QWidget* pParent) : QWidget(pParent), m_recorder(recorder)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(240, 140);
}

void CStripChart::SetSpeed(double dMmPerMinute)
{
    m_dMmPerMinute = dMmPerMinute;
    update();
}

QRect CStripChart::PlotRect() const
{
    const QFontMetrics metrics(font());
    const int nLeft = metrics.horizontalAdvance(QStringLiteral("-1.0 A")) + 10;
    const int nTop = metrics.height() + 8;
    return QRect(nLeft, nTop, std::max(10, width() - nLeft - 8), std::max(10, height() - nTop - metrics.height() - 10));
}

double CStripChart::SpanMs() const
{
    const double dPixelsPerMm = logicalDpiX() / 25.4;
    return PlotRect().width() / (m_dMmPerMinute * dPixelsPerMm) * 60000.0;
}

void CStripChart::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    const QRect plot = PlotRect();
    painter.fillRect(plot, CHART_PAPER);
    const QFontMetrics metrics(font());
    // The full scale lies a pen's width inside the paper, so a trace at either
    // end of it stays in sight.
    const QRectF scale = QRectF(plot).adjusted(0, SCALE_INSET, 0, -SCALE_INSET);
    auto valueY = [&](double dValue) { return scale.top() + dValue * scale.height() / COUNTS_FULL_SCALE; };

    // One line an absorbance unit: 4 A at the top, -1 A at the bottom.
    for (int nA = 4; nA >= -1; nA--) {
        const double y = valueY((4 - nA) * static_cast<double>(CChartRecorder::COUNTS_PER_ABSORBANCE));
        painter.setPen(GRID);
        painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        painter.setPen(palette().windowText().color());
        const QString sLabel = QStringLiteral("%1 A").arg(static_cast<double>(nA), 0, 'f', 1);
        painter.drawText(QRectF(0, y - metrics.height() / 2.0, plot.left() - 6, metrics.height()),
                         Qt::AlignRight | Qt::AlignVCenter, sLabel);
    }
    painter.drawText(QRect(plot.left(), 2, plot.width(), metrics.height()), Qt::AlignLeft,
                     QStringLiteral("Full scale 5.0 A (-1.0 to 4.0 A)"));

    const uint64_t ullNow = m_recorder.Ms();
    const double dSpan = SpanMs();
    const double dStart = static_cast<double>(ullNow) - dSpan;
    auto msX = [&](double dMs) { return plot.left() + (dMs - dStart) * plot.width() / dSpan; };
    // A grid line every ten millimetres of paper; time labels at a round
    // step of firmware time wide enough for the labels not to touch.
    const double dLineMs = 10.0 / m_dMmPerMinute * 60000.0;
    painter.setPen(GRID);
    for (double dMs = std::ceil(std::max(0.0, dStart) / dLineMs) * dLineMs; dMs <= ullNow; dMs += dLineMs) {
        const double x = msX(dMs);
        painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
    }
    painter.setPen(palette().windowText().color());
    for (const AxisLabel& label : TimeAxis(static_cast<double>(ullNow), dSpan, plot.width(), metrics)) {
        const double x = plot.left() + label.dX;
        painter.drawLine(QPointF(x, plot.bottom()), QPointF(x, plot.bottom() + 3));
        painter.drawText(QRectF(x - label.nWidth / 2.0, plot.bottom() + 4, label.nWidth, metrics.height()),
                         Qt::AlignHCenter, label.sText);
    }

    // The pen: each value holds until the next corner, the corners joined.
    const std::vector<ChartPoint> points = m_recorder.Points();
    QPainterPath path;
    bool bStarted = false;
    for (size_t i = 0; i < points.size(); i++) {
        const double dNext = i + 1 < points.size() ? static_cast<double>(points[i + 1].ullMs) : static_cast<double>(ullNow);
        if (dNext < dStart && i + 1 < points.size())
            continue;  // off the left edge
        const QPointF pt(msX(static_cast<double>(points[i].ullMs)), valueY(points[i].unValue));
        if (!bStarted) {
            path.moveTo(pt);
            bStarted = true;
        } else
            path.lineTo(pt);
    }
    if (bStarted)
        path.lineTo(msX(static_cast<double>(ullNow)), valueY(points.back().unValue));
    painter.setClipRect(plot);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(PEN, 1.5));
    painter.drawPath(path);
}

CChartDock::CChartDock(CChartRecorder& recorder, QWidget* pParent)
    : QDockWidget(QStringLiteral("Chart Recorder"), pParent), m_recorder(recorder)
{
    setObjectName(QStringLiteral("chartRecorder"));
    auto* pBody = new QWidget;
    m_pChart = new CStripChart(m_recorder);
    m_pChart->setToolTip(QStringLiteral("The analogue output: the measured absorbance or transmittance as a chart recorder draws it"));
    m_pSpeed = new QComboBox;
    for (const SpeedChoice& choice : Speeds())
        m_pSpeed->addItem(QString::fromLatin1(choice.pszText), choice.dMmPerMinute);
    m_pSpeed->setFocusPolicy(Qt::NoFocus);
    m_pSpeed->setToolTip(QStringLiteral("Chart speed: paper moved a minute of firmware time"));
    connect(m_pSpeed, &QComboBox::activated, this,
            [this](int nIndex) { SetSpeed(m_pSpeed->itemData(nIndex).toDouble()); });
    QHBoxLayout* pButtons =
        DockButtonRow(QStringLiteral("Chart speed"), m_pSpeed, QStringLiteral("Start a fresh chart"),
                      QStringLiteral("Save the chart as a PNG picture or its corners as CSV"), [this] { Clear(); },
                      [this] { OnSave(); });
    auto* pLayout = new QVBoxLayout(pBody);
    pLayout->setContentsMargins(4, 4, 4, 4);
    pLayout->addWidget(m_pChart, 1);
    pLayout->addLayout(pButtons);
    setWidget(pBody);
    SetSpeed(60);

    // The paper moves while firmware time runs, changes or not.
    m_pTimer = new QTimer(this);
    connect(m_pTimer, &QTimer::timeout, this, [this] {
        if (isVisible())
            m_pChart->update();
    });
    m_pTimer->start(REPAINT_MS);
}

void CChartDock::SetSpeed(double dMmPerMinute)
{
    const int nIndex = m_pSpeed->findData(dMmPerMinute);
    if (nIndex >= 0)
        m_pSpeed->setCurrentIndex(nIndex);
    m_pChart->SetSpeed(dMmPerMinute);
}

void CChartDock::Clear()
{
    m_recorder.Clear();
    m_pChart->update();
}

bool CChartDock::SaveChart(const QString& sPath, QString* psError) const
{
    const QString sSuffix = QFileInfo(sPath).suffix().toLower();
    const QString sShown = QDir::toNativeSeparators(sPath);
    if (sSuffix == QLatin1String("png")) {
        if (m_pChart->grab().save(sPath, "PNG"))
            return true;
    } else if (sSuffix == QLatin1String("csv")) {
        QFile file(sPath);
        const std::string sCsv = ChartCsv(m_recorder.Points());
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
            file.write(sCsv.data(), static_cast<qint64>(sCsv.size())) == static_cast<qint64>(sCsv.size()) &&
            file.flush())
            return true;
    } else {
        *psError = QStringLiteral("%1: a chart is saved as a .png picture or .csv.").arg(sShown);
        return false;
    }
    *psError = QStringLiteral("Cannot write %1.").arg(sShown);
    return false;
}

void CChartDock::OnSave()
{
    SaveAsWithWarning(this, QStringLiteral("Save Chart"), QStringLiteral("chart.png"),
                      QStringLiteral("PNG pictures (*.png);;CSV files (*.csv)"),
                      [this](const QString& sPath, QString* psError) { return SaveChart(sPath, psError); });
}
