// The analogue-output log of halden-cli: the firmware's per-tick trace of the
// chart-recorder output ("%d\n" on every millisecond tick), kept compact.
//
// File format (text, one entry per line):
//   # halden analogue output: ms value
//   0 65535
//   5312 41203
//   ...
// Lines starting with '#' are comments. Every other line is "MS VALUE": from
// firmware millisecond MS (counted from power-up, one per engine tick) the
// output is VALUE (0..65535; 65535 stands for A = -1 or 0 %T, 52428 for A = 0
// or 100 %T, 0 for A = 4; 13107 counts per absorbance unit). A line is written
// only when the value changes; Close() adds a last line at the final
// millisecond, so the log also tells how long the run was. A ramp changes the
// value on most ticks, so a reader drawing a chart joins the points.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "core/bridge.h"

class CAnalogueLog final : public SerialSink {
public:
    CAnalogueLog() = default;
    ~CAnalogueLog() override;
    CAnalogueLog(const CAnalogueLog&) = delete;
    CAnalogueLog& operator=(const CAnalogueLog&) = delete;

    // Creates the file and writes the comment line; false when it cannot be written.
    bool Open(const std::string& sPath);
    // Writes the closing line and closes the file.
    void Close();
    // SerialSink: one byte of the firmware's trace.
    void Write(uint8_t b) override;

private:
    std::FILE* m_pFile = nullptr;
    uint64_t m_ullTick = 0;       // trace lines received: the millisecond of the next one
    uint32_t m_unDigits = 0;      // value being assembled from digits
    int64_t m_llLast = -1;        // value of the last line written, -1 before the first
    uint64_t m_ullLastTick = 0;   // millisecond of the last line written
};
