// Printout and chart files: PNG through libpng, PDF over zlib, text.
#include "printout_file.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "display_image.h"

namespace {

struct Rgb {
    uint8_t r, g, b;
};
constexpr int PDF_PAGE_HEIGHT = 842;  // points: an A4 page's length; a longer roll goes on over pages

bool WriteText(const std::string& sPath, const std::string& sText, std::string* psError)
{
    std::ofstream file(sPath, std::ios::binary);
    file << sText;
    file.close();
    if (!file) {
        *psError = "cannot write " + sPath + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool WritePicture(const std::string& sPath, int nWidth, int nHeight, const std::vector<uint8_t>& abRgb,
                  std::string* psError)
{
    if (WriteRgbPng(sPath, nWidth, nHeight, abRgb.data()))
        return true;
    *psError = "cannot write " + sPath;
    return false;
}

// A PDF file of whole objects: each added at its byte offset, then the
// cross-reference table that lists them and the trailer.
class CPdfFile {
public:
    CPdfFile() { m_sBytes = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n"; }
    // The next object's number (1 and up).
    int NextObject() const { return static_cast<int>(m_anOffsets.size()) + 1; }
    void AddObject(const std::string& sBody)
    {
        m_anOffsets.push_back(m_sBytes.size());
        m_sBytes += std::to_string(NextObject() - 1) + " 0 obj\n" + sBody + "\nendobj\n";
    }
    void AddStream(const std::string& sDictionary, const std::string& sData)
    {
        AddObject("<< " + sDictionary + " /Length " + std::to_string(sData.size()) + " >>\nstream\n" + sData +
                  "\nendstream");
    }
    // The finished file, object 1 the root.
    std::string Finish()
    {
        const size_t nXref = m_sBytes.size();
        char szEntry[32];
        m_sBytes += "xref\n0 " + std::to_string(m_anOffsets.size() + 1) + "\n0000000000 65535 f \n";
        for (size_t nOffset : m_anOffsets) {
            std::snprintf(szEntry, sizeof szEntry, "%010zu 00000 n \n", nOffset);
            m_sBytes += szEntry;
        }
        m_sBytes += "trailer\n<< /Size " + std::to_string(m_anOffsets.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
                    std::to_string(nXref) + "\n%%EOF\n";
        return m_sBytes;
    }

private:
    std::string m_sBytes;
    std::vector<size_t> m_anOffsets;  // byte offset of each object, from object 1
};

// The roll in pages of at most an A4 length, each an image of the dots in
// the printer's own size (one dot is one point), a byte a dot (DeviceGray:
// 0 ink, 255 paper), compressed. halden-cli is linked statically, so the
// file is put together here over zlib.
bool WritePdf(const CPrinter& printer, const std::string& sPath, std::string* psError)
{
    const int nPageWidth = CPrinter::WIDTH + 2 * PAPER_MARGIN_DOTS;
    const int nRowsPerPage = PDF_PAGE_HEIGHT - 2 * PAPER_MARGIN_DOTS;
    const int nHeight = printer.Height();
    const int nPages = std::max(1, (nHeight + nRowsPerPage - 1) / nRowsPerPage);
    CPdfFile pdf;
    pdf.AddObject("<< /Type /Catalog /Pages 2 0 R >>");
    std::string sKids;
    for (int i = 0; i < nPages; i++)
        sKids += std::to_string(3 + 3 * i) + " 0 R ";
    pdf.AddObject("<< /Type /Pages /Kids [" + sKids + "] /Count " + std::to_string(nPages) + " >>");
    for (int nPage = 0; nPage < nPages; nPage++) {
        const int nFirst = nPage * nRowsPerPage;
        const int nRows = std::max(0, std::min(nRowsPerPage, nHeight - nFirst));
        const int nPageObject = pdf.NextObject();
        pdf.AddObject("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + std::to_string(nPageWidth) + " " +
                      std::to_string(PDF_PAGE_HEIGHT) + "] /Resources << /XObject << /Paper " +
                      std::to_string(nPageObject + 2) + " 0 R >> >> /Contents " + std::to_string(nPageObject + 1) +
                      " 0 R >>");
        char szDraw[96];
        std::snprintf(szDraw, sizeof szDraw, "q %d 0 0 %d %d %d cm /Paper Do Q", CPrinter::WIDTH, nRows,
                      PAPER_MARGIN_DOTS, PDF_PAGE_HEIGHT - PAPER_MARGIN_DOTS - nRows);
        pdf.AddStream("", nRows > 0 ? szDraw : "");
        std::string sGray(static_cast<size_t>(CPrinter::WIDTH) * std::max(nRows, 1), '\xFF');  // blank paper
        for (int y = 0; y < nRows; y++)
            for (int x = 0; x < CPrinter::WIDTH; x++)
                if (printer.Dot(x, nFirst + y))
                    sGray[static_cast<size_t>(y) * CPrinter::WIDTH + x] = '\0';
        std::string sPacked(compressBound(static_cast<uLong>(sGray.size())), '\0');
        uLongf nPacked = sPacked.size();
        if (compress2(reinterpret_cast<Bytef*>(sPacked.data()), &nPacked, reinterpret_cast<const Bytef*>(sGray.data()),
                      sGray.size(), Z_BEST_COMPRESSION) != Z_OK) {
            *psError = "cannot compress the printout";
            return false;
        }
        sPacked.resize(nPacked);
        pdf.AddStream("/Type /XObject /Subtype /Image /Width " + std::to_string(CPrinter::WIDTH) + " /Height " +
                          std::to_string(std::max(nRows, 1)) +
                          " /ColorSpace /DeviceGray /BitsPerComponent 8 /Filter /FlateDecode",
                      sPacked);
    }
    return WriteText(sPath, pdf.Finish(), psError);
}

// ---------------------------------------------------------------- chart picture

constexpr int CHART_WIDTH = 960;
constexpr int CHART_HEIGHT = 400;
constexpr int PLOT_LEFT = 64;
constexpr int PLOT_RIGHT = CHART_WIDTH - 24;
constexpr int PLOT_TOP = 28;
constexpr int PLOT_BOTTOM = CHART_HEIGHT - 36;
constexpr Rgb CHART_PAPER = {255, 255, 250};
constexpr Rgb GRID = {200, 220, 200};
constexpr Rgb LABEL = {40, 40, 40};
constexpr Rgb PEN = {200, 20, 20};

class CCanvas {
public:
    CCanvas(int nWidth, int nHeight, Rgb fill)
        : m_nWidth(nWidth), m_nHeight(nHeight), m_abRgb(static_cast<size_t>(3) * nWidth * nHeight)
    {
        for (size_t i = 0; i < m_abRgb.size(); i += 3) {
            m_abRgb[i] = fill.r;
            m_abRgb[i + 1] = fill.g;
            m_abRgb[i + 2] = fill.b;
        }
    }
    void Set(int x, int y, Rgb c)
    {
        if (x < 0 || y < 0 || x >= m_nWidth || y >= m_nHeight)
            return;
        uint8_t* pb = &m_abRgb[3 * (static_cast<size_t>(y) * m_nWidth + x)];
        pb[0] = c.r;
        pb[1] = c.g;
        pb[2] = c.b;
    }
    // A straight line, both ends included.
    void Line(int x0, int y0, int x1, int y1, Rgb c)
    {
        const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
        const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
        int nError = dx + dy;
        for (;;) {
            Set(x0, y0, c);
            if (x0 == x1 && y0 == y1)
                return;
            const int n2 = 2 * nError;
            if (n2 >= dy) {
                nError += dy;
                x0 += sx;
            }
            if (n2 <= dx) {
                nError += dx;
                y0 += sy;
            }
        }
    }
    // Text in the small font, the cell's top left at (x, y).
    void Text(int x, int y, const std::string& sText, Rgb c)
    {
        for (char ch : sText) {
            ForEachGlyphDot(static_cast<uint8_t>(ch), [&](int nCol, int nRow) { Set(x + nCol, y + nRow, c); });
            x += CPrinter::CELL_WIDTH;
        }
    }
    int Width() const { return m_nWidth; }
    int Height() const { return m_nHeight; }
    const std::vector<uint8_t>& Pixels() const { return m_abRgb; }

private:
    int m_nWidth;
    int m_nHeight;
    std::vector<uint8_t> m_abRgb;
};

int ValueY(uint16_t unValue)
{
    return PLOT_TOP + static_cast<int>(static_cast<int64_t>(unValue) * (PLOT_BOTTOM - PLOT_TOP) / 65535);
}

int MsX(uint64_t ullMs, uint64_t ullEndMs)
{
    return PLOT_LEFT + static_cast<int>(static_cast<double>(ullMs) * (PLOT_RIGHT - PLOT_LEFT) /
                                        static_cast<double>(std::max<uint64_t>(ullEndMs, 1)));
}

// A time-axis step that gives at most ten divisions: 1 s, 2 s, 5 s ... 1 h.
uint64_t TimeStep(uint64_t ullEndMs)
{
    static constexpr uint64_t kaullSteps[] = {1000,   2000,   5000,    10000,   15000,   30000,  60000,
                                              120000, 300000, 600000,  900000,  1800000, 3600000};
    for (uint64_t ull : kaullSteps)
        if (ullEndMs / ull <= 10)
            return ull;
    return (ullEndMs / 10 / 3600000 + 1) * 3600000;
}

std::string TimeLabel(uint64_t ullMs)
{
    const uint64_t ullSeconds = ullMs / 1000;
    char sz[32];
    if (ullSeconds % 60 == 0 && ullSeconds > 0)
        std::snprintf(sz, sizeof sz, "%llum", static_cast<unsigned long long>(ullSeconds / 60));
    else if (ullSeconds >= 60)
        std::snprintf(sz, sizeof sz, "%llum%02llus", static_cast<unsigned long long>(ullSeconds / 60),
                      static_cast<unsigned long long>(ullSeconds % 60));
    else
        std::snprintf(sz, sizeof sz, "%llus", static_cast<unsigned long long>(ullSeconds));
    return sz;
}

CCanvas DrawChart(const std::vector<ChartPoint>& points, uint64_t ullEndMs)
{
    CCanvas canvas(CHART_WIDTH, CHART_HEIGHT, CHART_PAPER);
    // One grid line an absorbance unit, 4 A at the top to -1 A at the bottom.
    for (int nA = 4; nA >= -1; nA--) {
        const int y = ValueY(static_cast<uint16_t>((4 - nA) * CChartRecorder::COUNTS_PER_ABSORBANCE));
        canvas.Line(PLOT_LEFT, y, PLOT_RIGHT, y, GRID);
        canvas.Text(PLOT_LEFT - 8 - 6 * (nA < 0 ? 5 : 4), y - 4, std::to_string(nA) + ".0", LABEL);
    }
    const uint64_t ullStep = TimeStep(ullEndMs);
    for (uint64_t ull = 0; ull <= ullEndMs; ull += ullStep) {
        const int x = MsX(ull, ullEndMs);
        canvas.Line(x, PLOT_TOP, x, PLOT_BOTTOM, GRID);
        const std::string sLabel = TimeLabel(ull);
        canvas.Text(x - 3 * static_cast<int>(sLabel.size()), PLOT_BOTTOM + 8, sLabel, LABEL);
    }
    canvas.Text(PLOT_LEFT, 10, "Chart recorder: absorbance, full scale 5.0 A (-1.0 to 4.0 A)", LABEL);
    canvas.Text(PLOT_RIGHT - 6 * 13, PLOT_BOTTOM + 22, "firmware time", LABEL);
    for (size_t i = 0; i < points.size(); i++) {
        const ChartPoint& p = points[i];
        // Each value holds until the next corner; the pen joins the corners.
        const ChartPoint& q = i + 1 < points.size() ? points[i + 1] : ChartPoint{ullEndMs, p.unValue};
        canvas.Line(MsX(p.ullMs, ullEndMs), ValueY(p.unValue), MsX(q.ullMs, ullEndMs), ValueY(q.unValue), PEN);
    }
    return canvas;
}

}  // namespace

std::string FileExtension(const std::string& sPath)
{
    const size_t nSlash = sPath.find_last_of('/');
    const size_t nDot = sPath.find_last_of('.');
    if (nDot == std::string::npos || (nSlash != std::string::npos && nDot < nSlash))
        return "";
    std::string sExt = sPath.substr(nDot);
    for (char& c : sExt)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return sExt;
}

bool WritePrintout(const CPrinter& printer, const std::string& sPath, std::string* psError)
{
    const std::string sExt = FileExtension(sPath);
    if (sExt == ".png") {
        const PaperPicture picture = RenderPaper(printer, 2);
        return WritePicture(sPath, picture.nWidth, picture.nHeight, picture.abRgb, psError);
    }
    if (sExt == ".pdf")
        return WritePdf(printer, sPath, psError);
    if (sExt == ".txt")
        return WriteText(sPath, printer.Text(), psError);
    *psError = sPath + ": a printout is written as .png, .pdf or .txt";
    return false;
}

bool WriteChart(const std::vector<ChartPoint>& points, uint64_t ullEndMs, const std::string& sPath,
                std::string* psError)
{
    const std::string sExt = FileExtension(sPath);
    if (sExt == ".csv")
        return WriteText(sPath, ChartCsv(points), psError);
    if (sExt == ".png") {
        const CCanvas canvas = DrawChart(points, ullEndMs);
        return WritePicture(sPath, canvas.Width(), canvas.Height(), canvas.Pixels(), psError);
    }
    *psError = sPath + ": a chart is written as .png or .csv";
    return false;
}
