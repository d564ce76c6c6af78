// The chart recorder: trace lines in, the corners of the pen's line out.
#include "chart.h"

#include <algorithm>
#include <cstdio>

double ChartAbsorbance(uint16_t unValue)
{
    return 4.0 - static_cast<double>(unValue) / CChartRecorder::COUNTS_PER_ABSORBANCE;
}

void CChartRecorder::EndLine()
{
    std::lock_guard<std::mutex> lock(m_mtx);
    AddSample(m_ullMs++, static_cast<uint16_t>(m_unDigits > 65535 ? 65535 : m_unDigits));
    m_unDigits = 0;
}

// A sample extends the open segment while a straight line from its anchor
// through the sample passes within tolerance of every sample since the
// anchor; otherwise the previous sample becomes a corner and anchors the next.
void CChartRecorder::AddSample(uint64_t ullMs, uint16_t unValue)
{
    if (m_points.empty()) {
        m_points.push_back({ullMs, unValue});
        m_bHaveLast = false;
        return;
    }
    const ChartPoint& anchor = m_points.back();
    // A level line from the anchor (an output at rest, most of the time)
    // narrows the slopes' window to the latest sample's tolerance: the
    // window is worked out once the line leaves the level.
    if (unValue == anchor.unValue && (!m_bHaveLast || m_bLevel)) {
        m_last = {ullMs, unValue};
        m_bHaveLast = true;
        m_bLevel = true;
        return;
    }
    if (m_bHaveLast && m_bLevel) {
        const double dSpan = static_cast<double>(m_last.ullMs - anchor.ullMs);
        m_dSlopeLow = -TOLERANCE / dSpan;
        m_dSlopeHigh = TOLERANCE / dSpan;
        m_bLevel = false;
    }
    auto slope = [&](double dValue) {
        return (dValue - anchor.unValue) / static_cast<double>(ullMs - anchor.ullMs);
    };
    const double dExact = slope(unValue);
    if (m_bHaveLast && (dExact < m_dSlopeLow || dExact > m_dSlopeHigh)) {
        m_points.push_back(m_last);
        m_bHaveLast = false;
        AddSample(ullMs, unValue);
        return;
    }
    const double dLow = slope(static_cast<double>(unValue) - TOLERANCE);
    const double dHigh = slope(static_cast<double>(unValue) + TOLERANCE);
    if (!m_bHaveLast) {
        m_dSlopeLow = dLow;
        m_dSlopeHigh = dHigh;
    } else {
        m_dSlopeLow = std::max(m_dSlopeLow, dLow);
        m_dSlopeHigh = std::min(m_dSlopeHigh, dHigh);
    }
    m_last = {ullMs, unValue};
    m_bHaveLast = true;
    m_bLevel = false;
}

std::vector<ChartPoint> CChartRecorder::Points() const
{
    std::lock_guard<std::mutex> lock(m_mtx);
    std::vector<ChartPoint> points = m_points;
    if (m_bHaveLast)
        points.push_back(m_last);
    return points;
}

uint64_t CChartRecorder::Ms() const
{
    std::lock_guard<std::mutex> lock(m_mtx);
    return m_ullMs;
}

void CChartRecorder::Clear()
{
    std::lock_guard<std::mutex> lock(m_mtx);
    if (m_points.empty())
        return;
    const ChartPoint now = m_bHaveLast ? m_last : m_points.back();
    m_points.assign(1, now);
    m_bHaveLast = false;
}

std::string ChartCsv(const std::vector<ChartPoint>& points)
{
    std::string sCsv = "ms,value,absorbance\n";
    char szLine[64];
    for (const ChartPoint& point : points) {
        std::snprintf(szLine, sizeof szLine, "%llu,%u,%.4f\n", static_cast<unsigned long long>(point.ullMs),
                      static_cast<unsigned>(point.unValue), ChartAbsorbance(point.unValue));
        sCsv += szLine;
    }
    return sCsv;
}
