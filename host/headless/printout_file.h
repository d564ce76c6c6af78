// Files of what the printer and the chart recorder produced: the paper roll
// as a PNG picture, a PDF document or plain text, and the strip chart as a
// PNG picture or CSV, each chosen by the file name's extension.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "chart.h"
#include "printer.h"

// The lowercase extension of a file name, with its dot ("" when none).
std::string FileExtension(const std::string& sPath);

// ".png", ".pdf" or ".txt"; false with a reason otherwise or on a write error.
bool WritePrintout(const CPrinter& printer, const std::string& sPath, std::string* psError);
// ".png" or ".csv"; the chart runs from 0 to ullEndMs; false with a reason.
bool WriteChart(const std::vector<ChartPoint>& points, uint64_t ullEndMs, const std::string& sPath,
                std::string* psError);
