// The "Chart Recorder" dock: a strip chart of the instrument's analogue
// output against firmware time, the newest at the right edge, at a chosen
// chart speed, scaled in absorbance from -1 A at the bottom to 4 A at the
// top (the output's full scale); Clear starts a fresh chart, Save writes it
// as a PNG picture or CSV.
#pragma once

#include <QDockWidget>
#include <QString>
#include <QWidget>

#include <vector>

#include "chart.h"

class QComboBox;
class QFontMetrics;
class QTimer;

// The chart paper and the pen's line.
class CStripChart final : public QWidget {
    Q_OBJECT
public:
    explicit CStripChart(const CChartRecorder& recorder, QWidget* pParent = nullptr);
    // Chart speed in millimetres of paper a minute.
    void SetSpeed(double dMmPerMinute);
    double Speed() const { return m_dMmPerMinute; }
    // Milliseconds of firmware time across the plot at this speed and size.
    double SpanMs() const;
    QSize sizeHint() const override { return {480, 240}; }
    // The time axis: the shortest round step (tenths of a second up to
    // days) of at least dMinMs, and a time's label at that step.
    static double LabelStepMs(double dMinMs);
    static QString TimeLabel(double dMs, double dStepMs);
    // The labels under a plot nPlotWidth pixels wide that ends at dNowMs and
    // spans dSpanMs: x from the plot's left edge, the room each takes.
    struct AxisLabel {
        double dX;
        int nWidth;
        QString sText;
    };
    static std::vector<AxisLabel> TimeAxis(double dNowMs, double dSpanMs, int nPlotWidth, const QFontMetrics& metrics);

protected:
    void paintEvent(QPaintEvent* pEvent) override;

private:
    QRect PlotRect() const;

    const CChartRecorder& m_recorder;
    double m_dMmPerMinute = 60;
};

class CChartDock final : public QDockWidget {
    Q_OBJECT
public:
    struct SpeedChoice {
        const char* pszText;
        double dMmPerMinute;
    };
    static const std::vector<SpeedChoice>& Speeds();

    // recorder: the instrument's chart recorder, which the firmware's
    // analogue trace feeds on the firmware thread.
    explicit CChartDock(CChartRecorder& recorder, QWidget* pParent = nullptr);
    const CChartRecorder& Recorder() const { return m_recorder; }
    CStripChart* Chart() const { return m_pChart; }
    void SetSpeed(double dMmPerMinute);
    void Clear();
    // ".png" (the chart as shown) or ".csv" (the corners); false with a reason.
    bool SaveChart(const QString& sPath, QString* psError) const;

private:
    void OnSave();

    CChartRecorder& m_recorder;
    CStripChart* m_pChart;
    QComboBox* m_pSpeed;
    QTimer* m_pTimer;
};
