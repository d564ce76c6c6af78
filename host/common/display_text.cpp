// The display as text art.
#include "display_text.h"

#include "instrument.h"

// Each character cell shows two by two pixels with the quadrant block
// characters, so the 240 x 128 screen takes 120 columns and 64 lines.
std::string DisplayTextArt(const CInstrument& host)
{
    // Indexed by the lit quadrants: 1 upper left, 2 upper right, 4 lower left, 8 lower right.
    static const char* const kapszCell[16] = {
        " ",      "\u2598", "\u259D", "\u2580", "\u2596", "\u258C", "\u259E", "\u259B",
        "\u2597", "\u259A", "\u2590", "\u259C", "\u2584", "\u2599", "\u259F", "\u2588"};
    std::string s;
    for (int y = 0; y < 128; y += 2) {
        for (int x = 0; x < 240; x += 2)
            s += kapszCell[(host.Pixel(x, y) ? 1 : 0) | (host.Pixel(x + 1, y) ? 2 : 0) |
                           (host.Pixel(x, y + 1) ? 4 : 0) | (host.Pixel(x + 1, y + 1) ? 8 : 0)];
        s += '\n';
    }
    return s;
}
