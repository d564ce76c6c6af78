// The chart recorder on the analogue output: the firmware's per-tick trace
// of the 16-bit output value ("%d\n" every millisecond, Write on the firmware
// thread) kept as the corners of the line a recorder pen would draw against
// firmware time. Readers on other threads take copies.
//
// The output moves in straight ramps, so a point is kept only where the pen
// changes direction: the line joining the kept points stays within one
// count (1/13107 A) of every millisecond's value, and every kept point is a
// value the output really had at that millisecond.
//
// The scale is the output's own: 0 is the top of the chart (A = 4), 65535
// the bottom (A = -1, or 0 %T); 52428 is A = 0 (100 %T); 13107 counts an
// absorbance unit.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "core/bridge.h"

struct ChartPoint {
    uint64_t ullMs;    // firmware millisecond since power-up
    uint16_t unValue;  // output value from then on
};

// Absorbance of an output value: 4 at 0, -1 at 65535.
double ChartAbsorbance(uint16_t unValue);

class CChartRecorder final : public SerialSink {
public:
    static constexpr uint16_t COUNTS_PER_ABSORBANCE = 13107;
    static constexpr int TOLERANCE = 1;  // counts the drawn line may stray from a value

    // A digit only adds to the value being read (inline: the trace is five
    // or six bytes a millisecond); the line's end takes the sample.
    void Write(uint8_t b) override
    {
        if (b >= '0' && b <= '9')
            m_unDigits = m_unDigits * 10 + static_cast<uint32_t>(b - '0');
        else if (b == '\n')
            EndLine();
    }
    // The pen's corners from the start (or the last Clear) up to the latest
    // millisecond, which always ends the list; empty before the first value.
    std::vector<ChartPoint> Points() const;
    // Milliseconds of trace received so far (the time of the next value).
    uint64_t Ms() const;
    // Starts a fresh chart at the current value; the clock keeps running.
    void Clear();

private:
    void EndLine();
    void AddSample(uint64_t ullMs, uint16_t unValue);

    mutable std::mutex m_mtx;
    uint32_t m_unDigits = 0;          // value being read from the trace
    uint64_t m_ullMs = 0;             // millisecond of the next value
    std::vector<ChartPoint> m_points; // corners kept, the anchor of the open segment last
    bool m_bHaveLast = false;         // m_last holds the latest sample
    ChartPoint m_last{};              // the latest sample, the end of the open segment
    double m_dSlopeLow = 0;           // slopes from the anchor that pass within tolerance
    double m_dSlopeHigh = 0;          //   of every sample since it
    bool m_bLevel = false;            // every sample since the anchor has its value (the slopes not yet worked out)
};

// The chart as CSV: "ms,value,absorbance" then one line per point.
std::string ChartCsv(const std::vector<ChartPoint>& points);
