// plotframes: draws the recorded frame sets and the absorbance spectra that
// the firmware computes from them, as a PNG for the documentation.
//
//   plotframes OUTPUT.png
//
// Top: the per-frame signal (light - dark) / frames of the five sets against
// pixel, on a logarithmic scale. Bottom: the absorbance of the sample, the
// holmium filter and the UV cut-off filter against wavelength, read through
// the firmware's own reading path (linearity, three-pixel means, both
// offsets 0, no defective pixels, no stray-light term).

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "display_image.h"
#include "measure/frame_sets.h"
#include "measure/reading.h"

namespace {

constexpr int WIDTH = 1100;
constexpr int HEIGHT = 900;

struct Colour {
    uint8_t r, g, b;
};
const Colour WHITE{255, 255, 255}, BLACK{0, 0, 0}, GRID{225, 225, 225};
const Colour REFERENCE{30, 30, 30}, SAMPLE{200, 40, 160}, HOLMIUM{40, 110, 220}, STRAY{230, 120, 0},
    LED{40, 160, 60};

// A 5 x 7 font of the characters the labels use; '#' is a dot.
struct Glyph {
    char c;
    const char* rows[7];
};
const Glyph FONT[] = {
    {'0', {" ### ", "#   #", "#  ##", "# # #", "##  #", "#   #", " ### "}},
    {'1', {"  #  ", " ##  ", "  #  ", "  #  ", "  #  ", "  #  ", " ### "}},
    {'2', {" ### ", "#   #", "    #", "   # ", "  #  ", " #   ", "#####"}},
    {'3', {"#####", "   # ", "  #  ", "   # ", "    #", "#   #", " ### "}},
    {'4', {"   # ", "  ## ", " # # ", "#  # ", "#####", "   # ", "   # "}},
    {'5', {"#####", "#    ", "#### ", "    #", "    #", "#   #", " ### "}},
    {'6', {"  ## ", " #   ", "#    ", "#### ", "#   #", "#   #", " ### "}},
    {'7', {"#####", "    #", "   # ", "  #  ", " #   ", " #   ", " #   "}},
    {'8', {" ### ", "#   #", "#   #", " ### ", "#   #", "#   #", " ### "}},
    {'9', {" ### ", "#   #", "#   #", " ####", "    #", "   # ", " ##  "}},
    {'.', {"     ", "     ", "     ", "     ", "     ", " ##  ", " ##  "}},
    {':', {"     ", " ##  ", " ##  ", "     ", " ##  ", " ##  ", "     "}},
    {'-', {"     ", "     ", "     ", "#####", "     ", "     ", "     "}},
    {'/', {"     ", "    #", "   # ", "  #  ", " #   ", "#    ", "     "}},
    {'(', {"   # ", "  #  ", " #   ", " #   ", " #   ", "  #  ", "   # "}},
    {')', {" #   ", "  #  ", "   # ", "   # ", "   # ", "  #  ", " #   "}},
    {'A', {" ### ", "#   #", "#   #", "#####", "#   #", "#   #", "#   #"}},
    {'B', {"#### ", "#   #", "#   #", "#### ", "#   #", "#   #", "#### "}},
    {'C', {" ### ", "#   #", "#    ", "#    ", "#    ", "#   #", " ### "}},
    {'D', {"#### ", "#   #", "#   #", "#   #", "#   #", "#   #", "#### "}},
    {'E', {"#####", "#    ", "#    ", "#### ", "#    ", "#    ", "#####"}},
    {'F', {"#####", "#    ", "#    ", "#### ", "#    ", "#    ", "#    "}},
    {'G', {" ### ", "#   #", "#    ", "# ###", "#   #", "#   #", " ####"}},
    {'H', {"#   #", "#   #", "#   #", "#####", "#   #", "#   #", "#   #"}},
    {'I', {" ### ", "  #  ", "  #  ", "  #  ", "  #  ", "  #  ", " ### "}},
    {'K', {"#   #", "#  # ", "# #  ", "##   ", "# #  ", "#  # ", "#   #"}},
    {'L', {"#    ", "#    ", "#    ", "#    ", "#    ", "#    ", "#####"}},
    {'M', {"#   #", "## ##", "# # #", "# # #", "#   #", "#   #", "#   #"}},
    {'N', {"#   #", "#   #", "##  #", "# # #", "#  ##", "#   #", "#   #"}},
    {'O', {" ### ", "#   #", "#   #", "#   #", "#   #", "#   #", " ### "}},
    {'P', {"#### ", "#   #", "#   #", "#### ", "#    ", "#    ", "#    "}},
    {'R', {"#### ", "#   #", "#   #", "#### ", "# #  ", "#  # ", "#   #"}},
    {'S', {" ####", "#    ", "#    ", " ### ", "    #", "    #", "#### "}},
    {'T', {"#####", "  #  ", "  #  ", "  #  ", "  #  ", "  #  ", "  #  "}},
    {'U', {"#   #", "#   #", "#   #", "#   #", "#   #", "#   #", " ### "}},
    {'V', {"#   #", "#   #", "#   #", "#   #", "#   #", " # # ", "  #  "}},
    {'W', {"#   #", "#   #", "#   #", "# # #", "# # #", "## ##", "#   #"}},
    {'X', {"#   #", "#   #", " # # ", "  #  ", " # # ", "#   #", "#   #"}},
    {'Y', {"#   #", "#   #", " # # ", "  #  ", "  #  ", "  #  ", "  #  "}},
};

class CCanvas {
public:
    CCanvas() : m_abPixels(WIDTH * HEIGHT * 3, 255) {}

    void Set(int x, int y, Colour c)
    {
        if (x < 0 || y < 0 || x >= WIDTH || y >= HEIGHT)
            return;
        uint8_t* p = &m_abPixels[(y * WIDTH + x) * 3];
        p[0] = c.r;
        p[1] = c.g;
        p[2] = c.b;
    }
    void Line(double x0, double y0, double x1, double y1, Colour c, int nThick = 1)
    {
        int n = static_cast<int>(std::ceil(std::max(std::fabs(x1 - x0), std::fabs(y1 - y0)))) + 1;
        for (int i = 0; i <= n; i++) {
            double t = static_cast<double>(i) / n;
            int x = static_cast<int>(std::lround(x0 + t * (x1 - x0)));
            int y = static_cast<int>(std::lround(y0 + t * (y1 - y0)));
            for (int dx = 0; dx < nThick; dx++)
                for (int dy = 0; dy < nThick; dy++)
                    Set(x + dx, y + dy, c);
        }
    }
    // Text at a scale of 2 screen pixels per font dot.
    void Text(int x, int y, const std::string& s, Colour c)
    {
        for (char ch : s) {
            for (const Glyph& g : FONT)
                if (g.c == ch)
                    for (int row = 0; row < 7; row++)
                        for (int col = 0; col < 5; col++)
                            if (g.rows[row][col] == '#')
                                for (int k = 0; k < 4; k++)
                                    Set(x + 2 * col + k % 2, y + 2 * row + k / 2, c);
            x += 12;
        }
    }
    int TextWidth(const std::string& s) const { return static_cast<int>(s.size()) * 12; }

    bool WritePng(const char* pszPath) const { return WriteRgbPng(pszPath, WIDTH, HEIGHT, m_abPixels.data()); }

private:
    std::vector<uint8_t> m_abPixels;
};

// A plot area with linear x and linear or logarithmic y.
struct Panel {
    int nLeft, nTop, nWidth, nHeight;
    double fX0, fX1, fY0, fY1;
    bool bLogY;

    double X(double x) const { return nLeft + (x - fX0) / (fX1 - fX0) * nWidth; }
    double Y(double y) const
    {
        double t = bLogY ? (std::log10(std::max(y, fY0)) - std::log10(fY0)) / (std::log10(fY1) - std::log10(fY0))
                         : (y - fY0) / (fY1 - fY0);
        t = std::min(std::max(t, 0.0), 1.0);
        return nTop + nHeight - t * nHeight;
    }
};

void Frame(CCanvas& canvas, const Panel& panel, const std::vector<double>& xTicks, const std::vector<double>& yTicks,
           const char* pszXFormat, const char* pszYFormat)
{
    char sz[32];
    for (double x : xTicks) {
        canvas.Line(panel.X(x), panel.nTop, panel.X(x), panel.nTop + panel.nHeight, GRID);
        std::snprintf(sz, sizeof(sz), pszXFormat, x);
        canvas.Text(static_cast<int>(panel.X(x)) - canvas.TextWidth(sz) / 2, panel.nTop + panel.nHeight + 8, sz, BLACK);
    }
    for (double y : yTicks) {
        canvas.Line(panel.nLeft, panel.Y(y), panel.nLeft + panel.nWidth, panel.Y(y), GRID);
        std::snprintf(sz, sizeof(sz), pszYFormat, y);
        canvas.Text(panel.nLeft - 10 - canvas.TextWidth(sz), static_cast<int>(panel.Y(y)) - 7, sz, BLACK);
    }
    int l = panel.nLeft, t = panel.nTop, r = panel.nLeft + panel.nWidth, b = panel.nTop + panel.nHeight;
    canvas.Line(l, t, r, t, BLACK);
    canvas.Line(l, b, r, b, BLACK);
    canvas.Line(l, t, l, b, BLACK);
    canvas.Line(r, t, r, b, BLACK);
}

double Signal(const FrameRecord* pSet, int p)
{
    return (static_cast<int>(pSet[p].unLight) - static_cast<int>(pSet[p].unDark)) / static_cast<double>(pSet[p].bFrames);
}

void Legend(CCanvas& canvas, int x, int y, Colour c, const char* pszName)
{
    canvas.Line(x, y + 6, x + 30, y + 6, c, 3);
    canvas.Text(x + 40, y, pszName, BLACK);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: plotframes OUTPUT.png\n");
        return 2;
    }
    CCanvas canvas;

    // Frame sets against pixel.
    Panel top{110, 60, 960, 330, 0, 1023, 1, 100000, true};
    Frame(canvas, top, {0, 100, 200, 300, 400, 500, 600, 700, 800, 900, 1000}, {1, 10, 100, 1000, 10000, 100000},
          "%.0f", "%.0f");
    canvas.Text(110, 20, "RECORDED FRAME SETS: (LIGHT - DARK) / FRAMES, COUNTS PER FRAME", BLACK);
    canvas.Text(540, 420, "PIXEL", BLACK);
    struct Curve {
        const FrameRecord* pSet;
        Colour c;
        const char* pszName;
    };
    const Curve CURVES[] = {{gReferenceFrames, REFERENCE, "REFERENCE"},
                            {gSampleFrames, SAMPLE, "SAMPLE"},
                            {gHolmiumFrames, HOLMIUM, "HOLMIUM"},
                            {gStrayFrames, STRAY, "UV CUT-OFF"},
                            {gLedFrames, LED, "LED"}};
    for (const Curve& curve : CURVES)
        for (int p = 1; p < FRAME_SET_PIXELS; p++)
            canvas.Line(top.X(p - 1), top.Y(Signal(curve.pSet, p - 1)), top.X(p), top.Y(Signal(curve.pSet, p)), curve.c);
    for (int i = 0; i < 5; i++)
        Legend(canvas, 140 + i * 190, 440, CURVES[i].c, CURVES[i].pszName);

    // Absorbance spectra against wavelength, through the firmware's reading path.
    Panel bottom{110, 510, 960, 320, 330, 830, -0.5, 2.5, false};
    Frame(canvas, bottom, {350, 400, 450, 500, 550, 600, 650, 700, 750, 800}, {-0.5, 0, 0.5, 1, 1.5, 2, 2.5}, "%.0f",
          "%.1f");
    canvas.Text(110, 480, "ABSORBANCE AGAINST THE REFERENCE", BLACK);
    canvas.Text(500, 868, "WAVELENGTH (NM)", BLACK);
    ResetReadingCorrections();
    const struct {
        uint8_t bKind;
        Colour c;
    } SPECTRA[] = {{READ_SAMPLE, SAMPLE}, {READ_DIODE_TEST, HOLMIUM}, {READ_STRAY_TEST, STRAY}};
    for (const auto& spectrum : SPECTRA) {
        CompleteReading(READ_REFERENCE);
        CompleteReading(spectrum.bKind);
        for (int nm = 331; nm <= 830; nm++)
            canvas.Line(bottom.X(nm - 1), bottom.Y(Absorbance(nm - 1)), bottom.X(nm), bottom.Y(Absorbance(nm)),
                        spectrum.c, 2);
    }

    if (!canvas.WritePng(argv[1])) {
        std::fprintf(stderr, "plotframes: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
