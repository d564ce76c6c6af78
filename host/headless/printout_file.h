// Files of what the printer and the chart recorder produced: the paper roll
// as a PNG picture, a PDF document or plain text, and the strip chart as a
// PNG picture or CSV, each chosen by the file name's extension.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "chart.h"
#include "printer.h"

// The paper in colour: a margin of blank paper round the printed width,
// every printer dot a square of nScale x nScale pixels (3 bytes a pixel,
// rows top first).
struct PaperPicture {
    int nWidth = 0;
    int nHeight = 0;
    std::vector<uint8_t> abRgb;
};
constexpr int PAPER_MARGIN_DOTS = 16;  // blank paper left, right, above and below the print
PaperPicture RenderPaper(const CPrinter& printer, int nScale);

// The lowercase extension of a file name, with its dot ("" when none).
std::string FileExtension(const std::string& sPath);

// ".png", ".pdf" or ".txt"; false with a reason otherwise or on a write error.
bool WritePrintout(const CPrinter& printer, const std::string& sPath, std::string* psError);
// ".png" or ".csv"; the chart runs from 0 to ullEndMs; false with a reason.
bool WriteChart(const std::vector<ChartPoint>& points, uint64_t ullEndMs, const std::string& sPath,
                std::string* psError);
